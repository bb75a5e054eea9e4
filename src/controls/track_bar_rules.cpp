#include "controls/track_bar_rules.h"

#include <cmath>
#include <cstdint>

namespace track_bar {
namespace {

// Upper bound first, so an empty range [lo > hi] still gives a defined answer.
template <typename T> T ClampTo(T value, T lo, T hi)
{
    if (value > hi)
        value = hi;
    if (value < lo)
        value = lo;
    return value;
}

} // namespace

Geometry ComputeGeometry(int width, int marginLeft, int marginTop, int marginRight)
{
    Geometry geometry;
    geometry.BarRect = { marginLeft, marginTop + 12, width - marginRight + 1, marginTop + 27 };
    geometry.MainSlot = { marginLeft + 1, marginTop, width - marginRight, marginTop + 19 };
    geometry.RangeSlot = { marginLeft + 1, marginTop + 11, width - marginRight, marginTop + 30 };
    geometry.SlotWidth = geometry.BarRect.right - geometry.BarRect.left - 2;
    return geometry;
}

int PixelToValue(int pixel, int min, int max, int slotWidth)
{
    if (pixel == 0)
        return min;
    if (pixel == slotWidth - 1)
        return max;
    const int steps = slotWidth - 1;
    // A one-pixel slot has no scale: any other pixel lies beyond one end.
    if (steps == 0)
        return ClampTo(pixel > 0 ? max : min, min, max);
    // The default rounding mode rounds halves to even; a quotient that is an
    // exact half is exact in double, as the product is below 2^53.
    const double value = std::nearbyint((double(max) - min) * pixel / steps);
    return int(ClampTo(value, double(min), double(max)));
}

int ValueToPixel(int value, int min, int max, int slotWidth)
{
    if (value == min)
        return 0;
    if (value == max)
        return slotWidth;
    const std::int64_t span = std::int64_t(max) - min;
    // An empty range has no scale: a value off it lies beyond one end.
    if (span == 0)
        return value > max ? slotWidth : 0;
    // Integer division truncates toward zero, exactly.
    const std::int64_t pixel = (std::int64_t(slotWidth) - 1) * value / span;
    return int(ClampTo<std::int64_t>(pixel, 0, slotWidth));
}

void SetPosition(Positions& positions, TSliderNumber slider, int pixel)
{
    positions[slider] = pixel;
    if (slider == SliderNumber_1 && pixel > positions[SliderNumber_2])
        positions[SliderNumber_2] = pixel;
    else if (slider == SliderNumber_2 && pixel < positions[SliderNumber_1])
        positions[SliderNumber_1] = pixel;
}

int ImageLeft(const PixelRect& slot, int position, int imageWidth)
{
    return slot.left + position - imageWidth / 2;
}

PixelRect ImageRect(const PixelRect& slot, int position, int imageWidth, int imageHeight)
{
    const int left = ImageLeft(slot, position, imageWidth);
    return { left, slot.top, left + imageWidth, slot.top + imageHeight };
}

int DragPosition(int x, const PixelRect& slot, int imageWidth, int grabOffset)
{
    return ClampTo(x - slot.left + imageWidth / 2 - grabOffset, 0, slot.right - slot.left - 1);
}

std::optional<TSliderNumber> Drag(Positions& positions, TSliderNumber slider, int newPosition)
{
    const int old = positions[slider];
    positions[slider] = newPosition;
    if (newPosition > old && slider == SliderNumber_1 && positions[SliderNumber_2] < newPosition) {
        positions[SliderNumber_2] = newPosition;
        return SliderNumber_2;
    }
    if (newPosition < old && slider == SliderNumber_2 && newPosition < positions[SliderNumber_1]) {
        positions[SliderNumber_1] = newPosition;
        return SliderNumber_1;
    }
    return std::nullopt;
}

std::optional<TSliderNumber> SliderToGrab(const SliderRects& images, const SliderFlags& visible, int x, int y)
{
    for (TSliderNumber slider : HitOrder) {
        if (visible[slider] && images[slider].Contains(x, y))
            return slider;
    }
    return std::nullopt;
}

bool HoverShowsHand(const SliderRects& images, const SliderFlags& visible, int x, int y)
{
    for (TSliderNumber slider : HitOrder) {
        if (images[slider].Contains(x, y))
            return visible[slider];
    }
    return false;
}

} // namespace track_bar
