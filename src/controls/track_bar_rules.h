#pragma once
// The pixel arithmetic of the three-slider track bar: geometry, the mapping
// between pixels and values, where sliders may go and which slider a point
// hits. Plain functions so every boundary can be pinned by a table test; the
// widget only paints and forwards the mouse to these.

#include "controls/slider_number.h"

#include <array>
#include <optional>

namespace track_bar {

// Right and bottom are exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    bool operator==(const PixelRect&) const = default;
};

struct Geometry {
    PixelRect BarRect;
    PixelRect MainSlot; // the main slider moves in it
    PixelRect RangeSlot; // shared by sliders 1 and 2, so their positions compare directly
    int SlotWidth = 0; // W - ML - MR - 1
};

Geometry ComputeGeometry(int width, int marginLeft, int marginTop, int marginRight);

// Pixel 0 reads as min and pixel slotWidth - 1 as max; in between the range
// is scaled without offsetting by min, rounded half to even and clamped.
int PixelToValue(int pixel, int min, int max, int slotWidth);
// Value min gives 0 and max gives slotWidth (one pixel beyond where a drag
// reaches); in between scaled without offsetting by min, truncated, clamped
// to [0, slotWidth].
int ValueToPixel(int value, int min, int max, int slotWidth);

// Pixels from the left edge of each slider's slot, indexed by TSliderNumber.
using Positions = std::array<int, 3>;

// Moves a slider without clamping. Slider 1 set beyond slider 2 takes slider
// 2 along; slider 2 set below slider 1 takes slider 1 along.
void SetPosition(Positions& positions, TSliderNumber slider, int pixel);

// Where a slider's image starts: its position falls on column imageWidth / 2.
int ImageLeft(const PixelRect& slot, int position, int imageWidth);
PixelRect ImageRect(const PixelRect& slot, int position, int imageWidth, int imageHeight);

// The position a drag gives for mouse x, keeping the point where the image
// was grabbed under the mouse; clamped to [0, slot width - 1].
int DragPosition(int x, const PixelRect& slot, int imageWidth, int grabOffset);

// Moves the dragged slider to newPosition. Slider 1 moving right past slider
// 2 pushes slider 2, slider 2 moving left past slider 1 pushes slider 1;
// returns the pushed slider, whose change is announced before the dragged one's.
std::optional<TSliderNumber> Drag(Positions& positions, TSliderNumber slider, int newPosition);

// Every hit test and every drag loop walks the sliders in this order, so
// where images overlap the main slider wins over slider 2, and 2 over 1.
inline constexpr std::array<TSliderNumber, 3> HitOrder { SliderNumber_Main, SliderNumber_2, SliderNumber_1 };

using SliderRects = std::array<PixelRect, 3>; // image rectangles, indexed by TSliderNumber
using SliderFlags = std::array<bool, 3>;

// The slider a press at (x, y) grabs: the first visible one in HitOrder
// whose image contains the point.
std::optional<TSliderNumber> SliderToGrab(
    const SliderRects& images, const SliderFlags& visible, int x, int y);

// Hover: the first slider in HitOrder under the point decides, visible or
// not, so an invisible slider over a visible one shows no pointing hand.
bool HoverShowsHand(const SliderRects& images, const SliderFlags& visible, int x, int y);

} // namespace track_bar
