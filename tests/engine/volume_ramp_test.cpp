#include "engine/volume_ramp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zv::engine::VolumeRamp;

// The levels the ramp gives to frames frames of a full-scale signal.
std::vector<float> mixFrames(VolumeRamp& ramp, std::size_t frames, int rate = 1000)
{
    const std::vector<float> ones(2 * frames, 1.0f);
    std::vector<float> out(2 * frames, 0.0f);
    ramp.mixStereo(ones.data(), out.data(), frames, rate);
    std::vector<float> left;
    for (std::size_t i = 0; i < frames; ++i) {
        EXPECT_EQ(out[2 * i], out[2 * i + 1]);
        left.push_back(out[2 * i]);
    }
    return left;
}

TEST(VolumeRamp, SlidesPerMixedFrameAndSettingEndsTheSlide)
{
    VolumeRamp ramp;
    ramp.set(0.0f);
    // 4 ms at 1000 frames a second: four steps, over however many calls.
    ramp.slide(1.0f, 4);
    EXPECT_EQ(mixFrames(ramp, 1), (std::vector<float> { 0.25f }));
    EXPECT_EQ(mixFrames(ramp, 4), (std::vector<float> { 0.5f, 0.75f, 1.0f, 1.0f }));
    EXPECT_EQ(ramp.value(), 1.0f);

    ramp.slide(0.0f, 10);
    mixFrames(ramp, 2);
    ramp.set(0.5f);
    EXPECT_EQ(mixFrames(ramp, 3), (std::vector<float> { 0.5f, 0.5f, 0.5f }));

    ramp.slide(0.25f, 0);
    EXPECT_EQ(ramp.value(), 0.25f) << "a slide of no time sets the value";
}

} // namespace
