#include "controls/track_bar_rules.h"

#include <gtest/gtest.h>

namespace {

using track_bar::Positions;

TEST(TrackBarRules, GeometryOfThePagesBarGivesA360PixelSlot)
{
    const track_bar::Geometry geometry = track_bar::ComputeGeometry(377, 8, 1, 8);
    EXPECT_EQ(geometry.BarRect, (track_bar::PixelRect { 8, 13, 370, 28 }));
    EXPECT_EQ(geometry.MainSlot, (track_bar::PixelRect { 9, 1, 369, 20 }));
    EXPECT_EQ(geometry.RangeSlot, (track_bar::PixelRect { 9, 12, 369, 31 }));
    EXPECT_EQ(geometry.SlotWidth, 360);
}

TEST(TrackBarRules, PixelToValueEndsRoundingAndClamps)
{
    struct Case {
        int pixel, min, max, slotWidth, value;
    };
    const Case cases[] = {
        { 0, 1, 100, 360, 1 }, // the left end reads as min, not 0
        { 359, 1, 100, 360, 100 }, // SW - 1 is max
        { 360, 1, 100, 360, 99 }, // SW itself is scaled: 99 * 360 / 359
        { 180, 1, 100, 360, 50 }, // 49.64
        { 1, 1, 100, 360, 1 }, // 0.28 rounds to 0, clamped up to min
        { 1, 0, 5, 3, 2 }, // 2.5: half to even, down
        { 1, 0, 3, 3, 2 }, // 1.5: half to even, up
        { -10, 1, 100, 360, 1 },
        { 5000, 1, 100, 360, 100 },
        { 5, 1, 100, 1, 100 }, // a one-pixel slot has no scale to divide by
        { -5, 1, 100, 1, 1 },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track_bar::PixelToValue(c.pixel, c.min, c.max, c.slotWidth), c.value)
            << "pixel " << c.pixel << " in [" << c.min << ", " << c.max << "] over " << c.slotWidth;
    }
}

TEST(TrackBarRules, ValueToPixelEndsTruncationAndClamps)
{
    struct Case {
        int value, min, max, slotWidth, pixel;
    };
    const Case cases[] = {
        { 1, 1, 100, 360, 0 }, // min
        { 100, 1, 100, 360, 360 }, // max gives SW, one beyond a drag's reach
        { 0, 1, 100, 360, 0 }, // below min, unscaled: 0
        { 99, 1, 100, 360, 359 }, { 11, 1, 100, 360, 39 }, // 39.89 truncates
        { 50, 1, 100, 360, 181 }, // 181.31
        { -5, 1, 100, 360, 0 }, // -18.13 clamps to 0
        { 1000, 1, 100, 360, 360 }, { 7, 5, 5, 360, 360 }, // an empty range has no scale to divide by
        { 3, 5, 5, 360, 0 }, { 2'000'000'000, 0, 2'100'000'000, 360, 341 }, // no overflow in the product
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track_bar::ValueToPixel(c.value, c.min, c.max, c.slotWidth), c.pixel)
            << "value " << c.value << " in [" << c.min << ", " << c.max << "] over " << c.slotWidth;
    }
}

TEST(TrackBarRules, SetPositionKeepsSlider1NotBeyondSlider2WithoutClamping)
{
    struct Case {
        Positions before;
        TSliderNumber slider;
        int pixel;
        Positions after;
    };
    const Case cases[] = {
        { { 0, 10, 50 }, SliderNumber_1, 80, { 0, 80, 80 } },
        { { 0, 10, 50 }, SliderNumber_2, 5, { 0, 5, 5 } },
        { { 0, 10, 50 }, SliderNumber_1, 20, { 0, 20, 50 } },
        { { 0, 10, 50 }, SliderNumber_2, 50, { 0, 10, 50 } },
        { { 0, 10, 50 }, SliderNumber_1, -7, { 0, -7, 50 } },
        { { 0, 10, 50 }, SliderNumber_2, 361, { 0, 10, 361 } },
        { { 0, 10, 50 }, SliderNumber_Main, 400, { 400, 10, 50 } },
        { { 0, 10, 50 }, SliderNumber_Main, -3, { -3, 10, 50 } },
    };
    for (const Case& c : cases) {
        Positions positions = c.before;
        track_bar::SetPosition(positions, c.slider, c.pixel);
        EXPECT_EQ(positions, c.after) << "slider " << c.slider << " to " << c.pixel;
    }
}

TEST(TrackBarRules, DragPushesOnlyTheRangeSliderItRunsInto)
{
    struct Case {
        Positions before;
        TSliderNumber slider;
        int to;
        Positions after;
        std::optional<TSliderNumber> pushed;
    };
    const Case cases[] = {
        { { 0, 10, 50 }, SliderNumber_1, 70, { 0, 70, 70 }, SliderNumber_2 },
        { { 0, 10, 50 }, SliderNumber_1, 50, { 0, 50, 50 }, std::nullopt }, // level, not past
        { { 0, 70, 70 }, SliderNumber_1, 20, { 0, 20, 70 }, std::nullopt },
        { { 0, 10, 50 }, SliderNumber_2, 5, { 0, 5, 5 }, SliderNumber_1 },
        { { 0, 10, 50 }, SliderNumber_2, 90, { 0, 10, 90 }, std::nullopt },
        { { 0, 10, 50 }, SliderNumber_Main, 200, { 200, 10, 50 }, std::nullopt },
        { { 80, 10, 50 }, SliderNumber_Main, 0, { 0, 10, 50 }, std::nullopt },
        { { 0, 10, 50 }, SliderNumber_1, 10, { 0, 10, 50 }, std::nullopt },
    };
    for (const Case& c : cases) {
        Positions positions = c.before;
        EXPECT_EQ(track_bar::Drag(positions, c.slider, c.to), c.pushed)
            << "slider " << c.slider << " to " << c.to;
        EXPECT_EQ(positions, c.after) << "slider " << c.slider << " to " << c.to;
    }
}

TEST(TrackBarRules, DragPositionKeepsTheGrabPointAndStaysInsideTheSlot)
{
    const track_bar::PixelRect slot { 9, 12, 369, 31 }; // SW 360
    struct Case {
        int x, imageWidth, grabOffset, position;
    };
    const Case cases[] = {
        { 109, 16, 8, 100 }, // grabbed at the centre column
        { 109, 16, 2, 106 }, // grabbed near the left edge: the image follows, no jump
        { 109, 17, 8, 100 }, // odd width: half truncates
        { -50, 16, 8, 0 },
        { 368, 16, 8, 359 }, // SW - 1
        { 369, 16, 8, 359 },
        { 10000, 16, 8, 359 },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track_bar::DragPosition(c.x, slot, c.imageWidth, c.grabOffset), c.position) << "x " << c.x;
        // The grab offset a press records puts a drag to the same x back where it was.
        const int offset = c.x - track_bar::ImageLeft(slot, c.position, c.imageWidth);
        if (c.position > 0 && c.position < 359) {
            EXPECT_EQ(track_bar::DragPosition(c.x, slot, c.imageWidth, offset), c.position) << "x " << c.x;
        }
    }
}

TEST(TrackBarRules, HitsFollowTheOrderMainSlider2Slider1)
{
    const track_bar::PixelRect slot { 9, 12, 369, 31 };
    const track_bar::PixelRect mainSlot { 9, 1, 369, 20 };
    // Main and slider 2 overlap at rows 12..16; sliders 1 and 2 overlap at columns 101..106.
    const track_bar::SliderRects images {
        track_bar::ImageRect(mainSlot, 100, 16, 16),
        track_bar::ImageRect(slot, 90, 16, 16),
        track_bar::ImageRect(slot, 100, 16, 16),
    };
    EXPECT_EQ(images[SliderNumber_1], (track_bar::PixelRect { 91, 12, 107, 28 }));
    struct Case {
        int x, y;
        track_bar::SliderFlags visible;
        std::optional<TSliderNumber> grabbed;
        bool hand;
    };
    const Case cases[] = {
        { 109, 14, { true, true, true }, SliderNumber_Main, true },
        { 109, 20, { true, true, true }, SliderNumber_2, true },
        { 95, 20, { true, true, true }, SliderNumber_1, true },
        { 104, 20, { true, true, true }, SliderNumber_2, true }, // 2 wins over 1
        { 104, 20, { true, true, false }, SliderNumber_1, false }, // falls through; hover shows the arrow
        { 104, 20, { true, false, false }, std::nullopt, false },
        { 90, 20, { true, true, true }, std::nullopt, false }, // left of slider 1's image
        { 107, 20, { true, true, false }, std::nullopt, false }, // slider 1's right edge is exclusive
        { 116, 20, { true, true, true }, SliderNumber_2, true },
        { 117, 20, { true, true, true }, std::nullopt, false },
        { 109, 28, { true, true, true }, std::nullopt, false }, // below the 16-pixel hit height
        { 200, 5, { true, true, true }, std::nullopt, false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track_bar::SliderToGrab(images, c.visible, c.x, c.y), c.grabbed) << c.x << ", " << c.y;
        EXPECT_EQ(track_bar::HoverShowsHand(images, c.visible, c.x, c.y), c.hand) << c.x << ", " << c.y;
    }
}

} // namespace
