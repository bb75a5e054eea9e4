#include "controls/multi_slider_trackbar.h"

#include "controls/bgr_color.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

// Outside any namespace, as resource registration requires. The images sit in
// a static library, where nothing else would make the linker keep them.
static void InitControlsResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(controls);
        return true;
    }();
    (void)registered;
}

TMultiSliderTrackbar::TMultiSliderTrackbar(QWidget* parent)
    : QWidget(parent)
    , m_rangeColor(ColorFromBgr(8316507))
    , m_barBorderColor(ColorFromBgr(15252397))
    , m_barColor(ColorFromBgr(16442826))
    , BlinkTimer(this)
{
    InitControlsResources();
    resize(600, 130);
    // Every pixel comes from the back buffer: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button feed the hover cursor.
    setMouseTracking(true);

    // An image that fails to load stays null and draws nothing.
    m_sliders[SliderNumber_Main].Image = QPixmap(QString::fromLatin1(DefaultSliderMainImage));
    m_sliders[SliderNumber_1].Image = QPixmap(QString::fromLatin1(DefaultSlider1Image));
    m_sliders[SliderNumber_2].Image = QPixmap(QString::fromLatin1(DefaultSlider2Image));

    BlinkTimer.setInterval(350);
    connect(&BlinkTimer, &QTimer::timeout, this, &TMultiSliderTrackbar::BlinkTimerTimer);
    RebuildBackground();
}

void TMultiSliderTrackbar::SetMarginLeft(int value)
{
    m_marginLeft = value;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetMarginTop(int value)
{
    m_marginTop = value;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetMarginRight(int value)
{
    m_marginRight = value;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetRangeColor(const QColor& color)
{
    m_rangeColor = color;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetBarBorderColor(const QColor& color)
{
    m_barBorderColor = color;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetBarColor(const QColor& color)
{
    m_barColor = color;
    RebuildBackground();
    update();
}

void TMultiSliderTrackbar::SetSlider1Visible(bool visible)
{
    m_slider1Visible = visible;
    update();
}

void TMultiSliderTrackbar::SetSlider2Visible(bool visible)
{
    m_slider2Visible = visible;
    update();
}

int TMultiSliderTrackbar::SlotWidth() const
{
    return Geometry().SlotWidth;
}

void TMultiSliderTrackbar::SetSliderPosition(TSliderNumber slider, int pixels)
{
    track_bar::SetPosition(m_positions, slider, pixels);
    update();
}

int TMultiSliderTrackbar::PixelToValue(int pixels) const
{
    return track_bar::PixelToValue(pixels, m_min, m_max, SlotWidth());
}

int TMultiSliderTrackbar::ValueToPixel(int value) const
{
    return track_bar::ValueToPixel(value, m_min, m_max, SlotWidth());
}

void TMultiSliderTrackbar::SetSliderBlink(TSliderNumber slider, bool on)
{
    m_sliders[slider].Blinking = on;
    const bool anyBlinking
        = std::any_of(m_sliders.begin(), m_sliders.end(), [](const TSliderState& s) { return s.Blinking; });
    // Starting a running timer would restart its period.
    if (!anyBlinking)
        BlinkTimer.stop();
    else if (!BlinkTimer.isActive())
        BlinkTimer.start();
    update();
}

void TMultiSliderTrackbar::paintEvent(QPaintEvent*)
{
    // A widget resized while hidden gets its resize event only when shown.
    if (BackBuffer.size() != size())
        RebuildBackground();

    QPainter painter(this);
    painter.drawImage(0, 0, BackBuffer);

    const track_bar::Geometry geometry = Geometry();
    const int a = geometry.RangeSlot.left + m_positions[SliderNumber_2];
    const int b = geometry.RangeSlot.left + m_positions[SliderNumber_1];
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    if (lo != hi) {
        painter.fillRect(QRect(lo, geometry.BarRect.top + 2, hi + 1 - lo,
                             geometry.BarRect.bottom - 2 - (geometry.BarRect.top + 2)),
            m_rangeColor);
    }

    // The main slider last, so it lies on top.
    const bool blinkOn = BlinkTimer.isActive();
    for (TSliderNumber number : { SliderNumber_1, SliderNumber_2, SliderNumber_Main }) {
        if (!Visibility()[number])
            continue;
        const TSliderState& slider = m_sliders[number];
        const track_bar::PixelRect& slot = Slot(geometry, number);
        const QPixmap& image = blinkOn && slider.Blinking && slider.BlinkPhase ? slider.Blink1 : slider.Image;
        if (!image.isNull())
            painter.drawPixmap(
                track_bar::ImageLeft(slot, m_positions[number], slider.ImageWidth), slot.top, image);
    }
}

void TMultiSliderTrackbar::resizeEvent(QResizeEvent*)
{
    RebuildBackground();
}

void TMultiSliderTrackbar::changeEvent(QEvent* event)
{
    // The background outside the bar follows the palette, i.e. the parent's colour.
    if (event->type() == QEvent::PaletteChange) {
        RebuildBackground();
        update();
    }
    QWidget::changeEvent(event);
}

void TMultiSliderTrackbar::mousePressEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    for (TSliderState& slider : m_sliders)
        slider.Dragging = false;

    const QPoint point = event->position().toPoint();
    const track_bar::SliderRects images = ImageRects();
    const std::optional<TSliderNumber> grabbed
        = track_bar::SliderToGrab(images, Visibility(), point.x(), point.y());
    if (!grabbed)
        return; // no click-to-jump
    // Qt holds the mouse for this widget while the button stays down.
    TSliderState& slider = m_sliders[*grabbed];
    slider.Dragging = true;
    slider.GrabOffset = point.x() - images[*grabbed].left;
    try {
        emit OnSliderBeforeDrag(this, *grabbed, m_positions[*grabbed], SlotWidth());
    } catch (...) {
        // The press has grabbed the slider whatever the handler thinks of it.
    }
}

void TMultiSliderTrackbar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) {
        for (TSliderNumber number : track_bar::HitOrder) {
            const TSliderState& slider = m_sliders[number];
            if (!slider.Dragging)
                continue;
            const int position = track_bar::DragPosition(
                point.x(), Slot(Geometry(), number), slider.ImageWidth, slider.GrabOffset);
            if (const std::optional<TSliderNumber> pushed = track_bar::Drag(m_positions, number, position))
                RaiseChange(*pushed);
            update();
            RaiseChange(number);
            return;
        }
    }
    const bool hand = track_bar::HoverShowsHand(ImageRects(), Visibility(), point.x(), point.y());
    setCursor(hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TMultiSliderTrackbar::mouseReleaseEvent(QMouseEvent*)
{
    const auto endDrags = [this] {
        for (TSliderState& slider : m_sliders)
            slider.Dragging = false;
    };
    try {
        for (TSliderNumber number : track_bar::HitOrder) {
            if (m_sliders[number].Dragging)
                emit OnSliderAfterDrag(this, number, m_positions[number], SlotWidth());
        }
    } catch (...) {
        endDrags();
        throw;
    }
    endDrags();
}

track_bar::Geometry TMultiSliderTrackbar::Geometry() const
{
    return track_bar::ComputeGeometry(width(), m_marginLeft, m_marginTop, m_marginRight);
}

const track_bar::PixelRect& TMultiSliderTrackbar::Slot(
    const track_bar::Geometry& geometry, TSliderNumber slider) const
{
    return slider == SliderNumber_Main ? geometry.MainSlot : geometry.RangeSlot;
}

track_bar::SliderRects TMultiSliderTrackbar::ImageRects() const
{
    const track_bar::Geometry geometry = Geometry();
    track_bar::SliderRects rects;
    for (TSliderNumber number : track_bar::HitOrder) {
        const TSliderState& slider = m_sliders[number];
        rects[number] = track_bar::ImageRect(
            Slot(geometry, number), m_positions[number], slider.ImageWidth, slider.ImageHeight);
    }
    return rects;
}

track_bar::SliderFlags TMultiSliderTrackbar::Visibility() const
{
    return { true, m_slider1Visible, m_slider2Visible };
}

void TMultiSliderTrackbar::SetImage(TSliderNumber slider, const QPixmap& image)
{
    m_sliders[slider].Image = image;
    m_sliders[slider].ImageWidth = image.width();
    m_sliders[slider].ImageHeight = image.height();
    update();
}

void TMultiSliderTrackbar::RebuildBackground()
{
    if (size().isEmpty()) {
        BackBuffer = QImage();
        return;
    }
    BackBuffer = QImage(size(), QImage::Format_RGB32);
    BackBuffer.fill(palette().color(backgroundRole()));

    const track_bar::PixelRect bar = Geometry().BarRect;
    QPainter painter(&BackBuffer);
    painter.setPen(QPen(m_barBorderColor, 1));
    painter.setBrush(m_barColor);
    // Unantialiased, a 1-pixel outline of (x, y, w, h) covers w + 1 by h + 1
    // pixels; the bar's right and bottom are exclusive. Corner ellipse 6 x 6.
    painter.drawRoundedRect(
        QRect(bar.left, bar.top, bar.right - bar.left - 1, bar.bottom - bar.top - 1), 3, 3);
}

void TMultiSliderTrackbar::BlinkTimerTimer()
{
    for (TSliderState& slider : m_sliders) {
        if (slider.Blinking)
            slider.BlinkPhase = !slider.BlinkPhase;
    }
    update();
}

void TMultiSliderTrackbar::RaiseChange(TSliderNumber slider)
{
    const int slotWidth = SlotWidth();
    switch (slider) {
    case SliderNumber_Main:
        emit OnSliderMainChange(this, m_positions[slider], slotWidth);
        break;
    case SliderNumber_1:
        emit OnSlider1Change(this, m_positions[slider], slotWidth);
        break;
    case SliderNumber_2:
        emit OnSlider2Change(this, m_positions[slider], slotWidth);
        break;
    }
}
