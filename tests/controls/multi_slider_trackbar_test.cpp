#include "controls/multi_slider_trackbar.h"

#include "controls/bgr_color.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTimerEvent>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The cutter page's bar: 377 x 32 with margins 8, 1, 8 gives a 360-pixel
// slot. The main slot starts at (9, 1), the range slot at (9, 12); a slider
// at position p has its centre column at x = 9 + p.
constexpr int SlotLeft = 9;
constexpr int MainY = 4; // inside the main slider's image only
constexpr int RangeY = 20; // inside slider 1 and 2 images only
constexpr int OverlapY = 14; // inside the main image and the range sliders' images

class TrackBar : public ::testing::Test {
protected:
    TrackBar()
    {
        bar.resize(377, 32);
        const auto name = [](TSliderNumber n) {
            return std::string(n == SliderNumber_Main ? "main" : n == SliderNumber_1 ? "1" : "2");
        };
        const auto entry = [](const std::string& what, int position, int slotWidth) {
            return what + ":" + std::to_string(position) + "/" + std::to_string(slotWidth);
        };
        QObject::connect(&bar, &TMultiSliderTrackbar::OnSliderMainChange,
            [=, this](auto*, int p, int w) { log.push_back(entry("main", p, w)); });
        QObject::connect(&bar, &TMultiSliderTrackbar::OnSlider1Change,
            [=, this](auto*, int p, int w) { log.push_back(entry("1", p, w)); });
        QObject::connect(&bar, &TMultiSliderTrackbar::OnSlider2Change,
            [=, this](auto*, int p, int w) { log.push_back(entry("2", p, w)); });
        QObject::connect(
            &bar, &TMultiSliderTrackbar::OnSliderBeforeDrag, [=, this](auto*, TSliderNumber n, int p, int w) {
                log.push_back(entry("before " + name(n), p, w));
            });
        QObject::connect(
            &bar, &TMultiSliderTrackbar::OnSliderAfterDrag, [=, this](auto*, TSliderNumber n, int p, int w) {
                log.push_back(entry("after " + name(n), p, w));
            });
    }

    void Send(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        const QPointF point(x, y);
        QMouseEvent event(type, point, bar.mapToGlobal(point), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&bar, &event);
    }
    void Press(int x, int y) { Send(QEvent::MouseButtonPress, x, y, Qt::LeftButton, Qt::LeftButton); }
    void DragTo(int x, int y) { Send(QEvent::MouseMove, x, y, Qt::NoButton, Qt::LeftButton); }
    void Hover(int x, int y) { Send(QEvent::MouseMove, x, y, Qt::NoButton, Qt::NoButton); }
    void Release(int x, int y) { Send(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, Qt::NoButton); }

    std::vector<int> Positions() const
    {
        return { bar.GetSliderPosition(SliderNumber_Main), bar.GetSliderPosition(SliderNumber_1),
            bar.GetSliderPosition(SliderNumber_2) };
    }

    TMultiSliderTrackbar bar;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(TrackBar, PressWhereTheMainSliderOverlapsSlider2GrabsTheMainSlider)
{
    bar.SetSliderPosition(SliderNumber_Main, 100);
    bar.SetSliderPosition(SliderNumber_2, 100);
    Press(SlotLeft + 100, OverlapY);
    EXPECT_TRUE(bar.IsSliderDragging(SliderNumber_Main));
    EXPECT_FALSE(bar.IsSliderDragging(SliderNumber_2));
    Release(SlotLeft + 100, OverlapY);
    EXPECT_FALSE(bar.IsSliderDragging(SliderNumber_Main));
    EXPECT_EQ(log, (Log { "before main:100/360", "after main:100/360" }));
}

TEST_F(TrackBar, InvisibleSliderIsNotGrabbedAndShowsNoPointingHand)
{
    bar.SetSliderPosition(SliderNumber_1, 100);
    bar.SetSliderPosition(SliderNumber_2, 100);
    Hover(SlotLeft + 100, RangeY);
    EXPECT_EQ(bar.cursor().shape(), Qt::PointingHandCursor);

    bar.SetSlider2Visible(false);
    Hover(SlotLeft + 100, RangeY);
    EXPECT_EQ(bar.cursor().shape(), Qt::ArrowCursor);
    Press(SlotLeft + 100, RangeY);
    EXPECT_TRUE(bar.IsSliderDragging(SliderNumber_1));
    EXPECT_EQ(log, (Log { "before 1:100/360" }));
}

TEST_F(TrackBar, PressOutsideTheSlidersGrabsNothingAndMovesOnlyUpdateTheCursor)
{
    bar.SetSliderPosition(SliderNumber_1, 100);
    Press(SlotLeft + 200, RangeY); // no click-to-jump
    DragTo(SlotLeft + 100, RangeY);
    EXPECT_EQ(bar.cursor().shape(), Qt::PointingHandCursor);
    DragTo(SlotLeft + 300, RangeY);
    EXPECT_EQ(bar.cursor().shape(), Qt::ArrowCursor);
    Release(SlotLeft + 300, RangeY);
    EXPECT_EQ(Positions(), (std::vector<int> { 0, 100, 100 }));
    EXPECT_TRUE(log.empty());
}

TEST_F(TrackBar, DraggingSlider1PastSlider2CarriesItAndAnnouncesSlider2First)
{
    bar.SetSliderPosition(SliderNumber_1, 10);
    bar.SetSliderPosition(SliderNumber_2, 50);
    // Grabbed 6 pixels left of its position: the image keeps that offset to the mouse.
    Press(SlotLeft + 10 - 6, RangeY);
    DragTo(SlotLeft + 70 - 6, RangeY);
    EXPECT_EQ(Positions(), (std::vector<int> { 0, 70, 70 }));
    DragTo(SlotLeft + 20 - 6, RangeY); // back left: slider 2 stays
    DragTo(SlotLeft + 20 - 6, RangeY); // no change still announces
    DragTo(-100, RangeY);
    EXPECT_EQ(Positions(), (std::vector<int> { 0, 0, 70 }));
    DragTo(1000, RangeY);
    EXPECT_EQ(Positions(), (std::vector<int> { 0, 359, 359 }));
    Release(1000, RangeY);
    EXPECT_FALSE(bar.IsSliderDragging(SliderNumber_1));
    DragTo(SlotLeft, RangeY); // the drag has ended
    EXPECT_EQ(log,
        (Log { "before 1:10/360", "2:70/360", "1:70/360", "1:20/360", "1:20/360", "1:0/360", "2:359/360",
            "1:359/360", "after 1:359/360" }));
}

TEST_F(TrackBar, DraggingSlider2LeftPastSlider1CarriesIt)
{
    bar.SetSliderPosition(SliderNumber_2, 50);
    bar.SetSliderPosition(SliderNumber_1, 40);
    Press(SlotLeft + 50, RangeY);
    DragTo(SlotLeft + 30, RangeY);
    Release(SlotLeft + 30, RangeY);
    EXPECT_EQ(Positions(), (std::vector<int> { 0, 30, 30 }));
    EXPECT_EQ(log, (Log { "before 2:50/360", "1:30/360", "2:30/360", "after 2:30/360" }));
}

TEST_F(TrackBar, FailingBeforeDragHandlerDoesNotStopTheDrag)
{
    QObject::connect(
        &bar, &TMultiSliderTrackbar::OnSliderBeforeDrag, [] { throw std::runtime_error("handler"); });
    Press(SlotLeft, MainY);
    EXPECT_TRUE(bar.IsSliderDragging(SliderNumber_Main));
    DragTo(SlotLeft + 5, MainY);
    EXPECT_EQ(bar.GetSliderPosition(SliderNumber_Main), 5);
}

TEST_F(TrackBar, SetSliderPositionAndBoundsRaiseNothingAndLeaveSlidersInPlace)
{
    bar.SetSliderPosition(SliderNumber_2, 50);
    bar.SetSliderPosition(SliderNumber_1, 80); // pushes slider 2
    bar.SetSliderPosition(SliderNumber_Main, bar.ValueToPixel(bar.Max()));
    EXPECT_EQ(Positions(), (std::vector<int> { 360, 80, 80 })); // one beyond a drag's reach

    bar.SetMin(0);
    bar.SetMax(1000);
    EXPECT_EQ(Positions(), (std::vector<int> { 360, 80, 80 }));
    EXPECT_EQ(bar.PixelToValue(359), 1000);
    EXPECT_EQ(bar.PixelToValue(180), 501);
    EXPECT_TRUE(log.empty());
}

TEST_F(TrackBar, ImageSetThroughThePropertySizesTheHitArea)
{
    QPixmap wide(40, 16);
    wide.fill(Qt::black);
    bar.SetImageSlider1(wide);
    bar.SetSliderPosition(SliderNumber_1, 100);
    Press(SlotLeft + 100 + 19, RangeY); // the default 16-pixel hit area ends 8 pixels right of the position
    EXPECT_TRUE(bar.IsSliderDragging(SliderNumber_1));
}

// Painting: the few pixels that show the bar, the range and the sliders.

std::string Hex(const QColor& color)
{
    return color.name(QColor::HexArgb).toStdString();
}

std::string At(const QImage& image, int x, int y)
{
    return Hex(image.pixelColor(x, y));
}

std::string ImagePixel(const char* resource, int x, int y)
{
    const QImage image(QString::fromLatin1(resource));
    EXPECT_FALSE(image.isNull()) << resource;
    return Hex(image.pixelColor(x, y));
}

void TickBlinkTimer(TMultiSliderTrackbar& bar)
{
    QTimer* timer = bar.findChild<QTimer*>();
    ASSERT_TRUE(timer && timer->isActive());
    EXPECT_EQ(timer->interval(), 350);
    QTimerEvent tick(timer->timerId());
    QCoreApplication::sendEvent(timer, &tick);
}

class TrackBarPaint : public TrackBar {
protected:
    TrackBarPaint()
    {
        bar.SetSliderPosition(SliderNumber_1, 100);
        bar.SetSliderPosition(SliderNumber_2, 200);
        bar.SetSliderPosition(SliderNumber_Main, 300);
    }
    QImage Render() { return bar.grab().toImage(); }

    // Slider image column 8 sits on the position; range slider images start at y 12, main at y 1.
    const std::string slider1 = ImagePixel(DefaultSlider1Image, 8, 10);
    const std::string slider2 = ImagePixel(DefaultSlider2Image, 8, 10);
    const std::string range = Hex(QColor(91, 230, 126));
    const std::string barFill = Hex(QColor(202, 229, 250));
    const std::string border = Hex(QColor(173, 187, 232));
};

TEST_F(TrackBarPaint, BarOutlineAndRangeFillBetweenTheRangeSliders)
{
    const QImage image = Render();
    const std::string background = Hex(bar.palette().color(QPalette::Window));
    // Bar (8, 13)-(370, 28), right and bottom exclusive; range fill rows 15..25.
    EXPECT_EQ(At(image, 59, 20), barFill);
    EXPECT_EQ(At(image, 259, 20), barFill);
    EXPECT_EQ(At(image, 8, 20), border);
    EXPECT_EQ(At(image, 369, 20), border);
    EXPECT_EQ(At(image, 59, 13), border);
    EXPECT_EQ(At(image, 59, 27), border);
    EXPECT_EQ(At(image, 7, 20), background);
    EXPECT_EQ(At(image, 370, 20), background);
    EXPECT_EQ(At(image, 59, 28), background);
    EXPECT_EQ(At(image, 8, 13), background); // rounded corner

    EXPECT_EQ(At(image, 159, 15), range);
    EXPECT_EQ(At(image, 159, 25), range);
    EXPECT_EQ(At(image, 159, 14), barFill);
    EXPECT_EQ(At(image, 159, 26), barFill);

    EXPECT_EQ(At(image, SlotLeft + 100, 22), slider1);
    EXPECT_EQ(At(image, SlotLeft + 200, 22), slider2);
    EXPECT_EQ(At(image, SlotLeft + 300, 4), ImagePixel(DefaultSliderMainImage, 8, 3));

    bar.SetRangeColor(ColorFromBgr(15915206));
    EXPECT_EQ(At(Render(), 159, 20), Hex(QColor(198, 216, 242)));
}

TEST_F(TrackBarPaint, MainSliderLiesOnTopOfTheRangeSliders)
{
    bar.SetSliderPosition(SliderNumber_Main, 100);
    const QImage image = Render();
    EXPECT_EQ(At(image, SlotLeft + 100, 13), ImagePixel(DefaultSliderMainImage, 8, 12));
    EXPECT_NE(ImagePixel(DefaultSliderMainImage, 8, 12), ImagePixel(DefaultSlider1Image, 8, 1));
    EXPECT_EQ(At(image, SlotLeft + 100, 22), slider1);
}

TEST_F(TrackBarPaint, BlinkPhaseShowsTheBlinkImageAndAnEmptyOneHidesTheSlider)
{
    bar.SetImageSlider1_Blink1(QPixmap(QString::fromLatin1(Slider1HighlightImage)));
    const std::string highlight = ImagePixel(Slider1HighlightImage, 8, 10);
    ASSERT_NE(highlight, slider1);
    bar.SetSliderBlink(SliderNumber_1, true);
    bar.SetSliderBlink(SliderNumber_2, true);
    EXPECT_EQ(At(Render(), SlotLeft + 100, 22), slider1);

    TickBlinkTimer(bar);
    QImage image = Render();
    EXPECT_EQ(At(image, SlotLeft + 100, 22), highlight);
    EXPECT_EQ(At(image, SlotLeft + 200, 22), range); // slider 2 has no blink image

    bar.SetSliderBlink(SliderNumber_1, false); // slider 2 still blinks
    image = Render();
    EXPECT_EQ(At(image, SlotLeft + 100, 22), slider1);
    EXPECT_EQ(At(image, SlotLeft + 200, 22), range);

    TickBlinkTimer(bar);
    EXPECT_EQ(At(Render(), SlotLeft + 200, 22), slider2);
    TickBlinkTimer(bar);
    bar.SetSliderBlink(SliderNumber_2, false); // phase stays on, but the timer stops
    EXPECT_EQ(At(Render(), SlotLeft + 200, 22), slider2);
}

} // namespace
