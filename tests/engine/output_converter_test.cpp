#include "engine/output_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using zv::engine::OutputConverter;

struct Stereo {
    float left;
    float right;
};

// Converts a steady signal of frame at the output's rate and returns one
// frame of the result, well inside it.
Stereo steadily(const std::vector<std::int16_t>& frame, std::size_t* outFrames = nullptr)
{
    const int channels = static_cast<int>(frame.size());
    OutputConverter converter(44100, channels, 44100);
    std::vector<std::int16_t> in;
    for (int i = 0; i < 256; ++i)
        in.insert(in.end(), frame.begin(), frame.end());
    std::vector<float> out;
    EXPECT_TRUE(converter.convert(in.data(), 256, out));
    converter.flush(out);
    if (outFrames)
        *outFrames = out.size() / 2;
    if (out.size() < 2 * 201)
        return { NAN, NAN };
    return { out[2 * 200], out[2 * 200 + 1] };
}

TEST(OutputConverter, MapsChannelsToStereo)
{
    std::size_t frames = 0;
    const Stereo mono = steadily({ 8192 }, &frames);
    EXPECT_EQ(mono.left, 0.25f) << "mono goes to both sides at full level";
    EXPECT_EQ(mono.right, 0.25f);
    EXPECT_EQ(frames, 256u);
    const Stereo stereo = steadily({ 8192, -4096 }, &frames);
    EXPECT_EQ(stereo.left, 0.25f);
    EXPECT_EQ(stereo.right, -0.125f);
    EXPECT_EQ(frames, 256u);

    // 5.1: front left, front right, centre, LFE, surround left and right.
    const Stereo frontLeft = steadily({ 8192, 0, 0, 0, 0, 0 });
    const Stereo centre = steadily({ 0, 0, 8192, 0, 0, 0 });
    const Stereo surroundRight = steadily({ 0, 0, 0, 0, 0, 8192 });
    EXPECT_GT(frontLeft.left, 0.1f);
    EXPECT_EQ(frontLeft.right, 0.0f);
    EXPECT_FLOAT_EQ(centre.left, centre.right);
    EXPECT_NEAR(centre.left / frontLeft.left, 1.0 / std::numbers::sqrt2, 0.01)
        << "the centre at -3 dB on both sides";
    EXPECT_EQ(surroundRight.left, 0.0f);
    EXPECT_GT(surroundRight.right, 0.1f);
}

TEST(OutputConverter, ResampledFramesStandForTheInputTimeLine)
{
    // An impulse at input frame 4800 of 48 kHz lands at output frame 4410.
    OutputConverter converter(48000, 2, 44100);
    std::vector<std::int16_t> in(2 * 9600, 0);
    in[2 * 4800] = in[2 * 4800 + 1] = 30000;
    std::vector<float> out;
    for (int at = 0; at < 9600; at += 480)
        ASSERT_TRUE(converter.convert(in.data() + 2 * at, 480, out));
    converter.flush(out);
    EXPECT_EQ(out.size(), 2u * 8820);
    std::size_t peak = 0;
    for (std::size_t i = 0; i < out.size() / 2; ++i) {
        if (std::fabs(out[2 * i]) > std::fabs(out[2 * peak]))
            peak = i;
    }
    EXPECT_EQ(peak, 4410u);
}

} // namespace
