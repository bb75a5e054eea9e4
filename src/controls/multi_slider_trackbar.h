#pragma once
// A horizontal track bar with three sliders on one bar: the main slider
// (a position) and sliders 1 and 2, which mark a range painted inside in
// RangeColor. It works in pixels of each slider's slot; values in [Min, Max]
// only come in through PixelToValue and ValueToPixel. Slider 1 never lies
// beyond slider 2 after a drag or SetSliderPosition. No keyboard handling.
// GUI thread only.

#include "controls/slider_number.h"
#include "controls/track_bar_rules.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>

// Default slider images; the highlight ones are meant as blink images.
inline constexpr const char* DefaultSliderMainImage = ":/controls/slider_main.png";
inline constexpr const char* DefaultSlider1Image = ":/controls/slider1.png";
inline constexpr const char* DefaultSlider2Image = ":/controls/slider2.png";
inline constexpr const char* SliderMainHighlightImage = ":/controls/slider_main_highlight.png";
inline constexpr const char* Slider1HighlightImage = ":/controls/slider1_highlight.png";
inline constexpr const char* Slider2HighlightImage = ":/controls/slider2_highlight.png";

class TMultiSliderTrackbar : public QWidget {
    Q_OBJECT

public:
    explicit TMultiSliderTrackbar(QWidget* parent = nullptr);

    // Margins take effect at the next paint and hit test. MarginBottom is
    // kept for the caller only; no drawing uses it.
    int MarginLeft() const { return m_marginLeft; }
    void SetMarginLeft(int value);
    int MarginTop() const { return m_marginTop; }
    void SetMarginTop(int value);
    int MarginRight() const { return m_marginRight; }
    void SetMarginRight(int value);
    int MarginBottom() const { return m_marginBottom; }
    void SetMarginBottom(int value) { m_marginBottom = value; }

    // The value range of the mappings; changing it moves no slider.
    int Min() const { return m_min; }
    void SetMin(int value) { m_min = value; }
    int Max() const { return m_max; }
    void SetMax(int value) { m_max = value; }

    // The background outside the bar is the palette's window colour.
    QColor RangeColor() const { return m_rangeColor; }
    void SetRangeColor(const QColor& color);
    QColor BarBorderColor() const { return m_barBorderColor; }
    void SetBarBorderColor(const QColor& color);
    QColor BarColor() const { return m_barColor; }
    void SetBarColor(const QColor& color);

    // Slider images, drawn with their alpha. Setting one also makes its size
    // the slider's image size, which centres it and bounds its hit area
    // (16 x 16 until then, whatever the default image's size).
    const QPixmap& ImageSliderMain() const { return m_sliders[SliderNumber_Main].Image; }
    void SetImageSliderMain(const QPixmap& image) { SetImage(SliderNumber_Main, image); }
    const QPixmap& ImageSlider1() const { return m_sliders[SliderNumber_1].Image; }
    void SetImageSlider1(const QPixmap& image) { SetImage(SliderNumber_1, image); }
    const QPixmap& ImageSlider2() const { return m_sliders[SliderNumber_2].Image; }
    void SetImageSlider2(const QPixmap& image) { SetImage(SliderNumber_2, image); }

    // Shown instead of the normal image in the "on" phase of blinking; a null
    // image (the default) makes the slider vanish in that phase.
    const QPixmap& ImageSliderMain_Blink1() const { return m_sliders[SliderNumber_Main].Blink1; }
    void SetImageSliderMain_Blink1(const QPixmap& image) { m_sliders[SliderNumber_Main].Blink1 = image; }
    const QPixmap& ImageSlider1_Blink1() const { return m_sliders[SliderNumber_1].Blink1; }
    void SetImageSlider1_Blink1(const QPixmap& image) { m_sliders[SliderNumber_1].Blink1 = image; }
    const QPixmap& ImageSlider2_Blink1() const { return m_sliders[SliderNumber_2].Blink1; }
    void SetImageSlider2_Blink1(const QPixmap& image) { m_sliders[SliderNumber_2].Blink1 = image; }

    // An invisible range slider is neither drawn nor grabbed.
    bool Slider1Visible() const { return m_slider1Visible; }
    void SetSlider1Visible(bool visible);
    bool Slider2Visible() const { return m_slider2Visible; }
    void SetSlider2Visible(bool visible);

    // W - MarginLeft - MarginRight - 1: drags reach [0, SlotWidth - 1].
    int SlotWidth() const;

    int GetSliderPosition(TSliderNumber slider) const { return m_positions[slider]; }
    // Unclamped and silent (raises no change event); keeps slider 1 <= slider 2
    // by moving the other range slider onto the new position.
    void SetSliderPosition(TSliderNumber slider, int pixels);
    bool IsSliderDragging(TSliderNumber slider) const { return m_sliders[slider].Dragging; }
    int PixelToValue(int pixels) const;
    int ValueToPixel(int value) const;
    // Blinking alternates the slider's normal and blink images every 350 ms.
    void SetSliderBlink(TSliderNumber slider, bool on);

signals:
    // Raised while the user drags, also when the position did not change. A
    // range slider pushed by the other is announced first.
    void OnSliderMainChange(TMultiSliderTrackbar* Sender, int SliderPosition, int SliderSlotWidth);
    void OnSlider1Change(TMultiSliderTrackbar* Sender, int SliderPosition, int SliderSlotWidth);
    void OnSlider2Change(TMultiSliderTrackbar* Sender, int SliderPosition, int SliderSlotWidth);
    // When a press grabs a slider; an exception thrown by a handler is swallowed.
    void OnSliderBeforeDrag(
        TMultiSliderTrackbar* Sender, TSliderNumber SliderNumber, int SliderPosition, int SliderSlotWidth);
    // At the button release that ends a drag; the drag ends even if a handler throws.
    void OnSliderAfterDrag(
        TMultiSliderTrackbar* Sender, TSliderNumber SliderNumber, int SliderPosition, int SliderSlotWidth);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct TSliderState {
        int ImageWidth = 16;
        int ImageHeight = 16;
        bool Dragging = false;
        int GrabOffset = 0;
        bool Blinking = false;
        bool BlinkPhase = false;
        QPixmap Image;
        QPixmap Blink1;
    };

    track_bar::Geometry Geometry() const;
    const track_bar::PixelRect& Slot(const track_bar::Geometry& geometry, TSliderNumber slider) const;
    track_bar::SliderRects ImageRects() const;
    track_bar::SliderFlags Visibility() const;
    void SetImage(TSliderNumber slider, const QPixmap& image);
    void RebuildBackground();
    void BlinkTimerTimer();
    void RaiseChange(TSliderNumber slider);

    int m_marginLeft = 8;
    int m_marginTop = 1;
    int m_marginRight = 8;
    int m_marginBottom = 1;
    int m_min = 1;
    int m_max = 100;
    QColor m_rangeColor;
    QColor m_barBorderColor;
    QColor m_barColor;
    bool m_slider1Visible = true;
    bool m_slider2Visible = true;
    track_bar::Positions m_positions {};
    std::array<TSliderState, 3> m_sliders;
    QImage BackBuffer; // the background and the bar, at the widget's size
    QTimer BlinkTimer;
};
