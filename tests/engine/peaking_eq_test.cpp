#include "engine/peaking_eq.h"
#include "engine/volume_effect.h"

#include "support/signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using zv::engine::Effect;
using zv::engine::EqBand;
using zv::engine::PeakingEq;
using zv::engine::VolumeEffect;

// Runs the signal through the effect in blocks of the size the cut job uses.
void run(Effect& effect, zvtest::Signal& signal, std::size_t blockFrames = 500)
{
    const auto ch = static_cast<std::size_t>(signal.channels);
    for (std::size_t at = 0; at < signal.frames(); at += blockFrames) {
        const std::size_t n = std::min(blockFrames, signal.frames() - at);
        effect.process(signal.samples.data() + at * ch, n, signal.channels, signal.rate);
    }
}

// Level change in dB of a steady tone, measured after the filter has settled.
double gainAt(Effect& effect, double hz, int rate = 44100)
{
    zvtest::Signal tone = zvtest::sine(hz, 1.0, rate, 2, 0.1);
    const double before = zvtest::rmsDb(tone.mono(0.5, 1.0));
    run(effect, tone);
    return zvtest::rmsDb(tone.mono(0.5, 1.0)) - before;
}

bool allFinite(const zvtest::Signal& s, float limit)
{
    return std::all_of(s.samples.begin(), s.samples.end(),
        [limit](float v) { return std::isfinite(v) && std::abs(v) <= limit; });
}

struct ResponseCase {
    EqBand band;
    double probeHz;
    double expectedDb;
    double toleranceDb;
};

class PeakingEqResponse : public testing::TestWithParam<ResponseCase> { };

TEST_P(PeakingEqResponse, MeasuredGainMatchesBand)
{
    const ResponseCase& c = GetParam();
    PeakingEq eq;
    eq.setBand(c.band);
    EXPECT_NEAR(gainAt(eq, c.probeHz), c.expectedDb, c.toleranceDb)
        << c.band.centreHz << " Hz, " << c.band.bandwidthOctaves << " oct, " << c.band.gainDb
        << " dB, probed at " << c.probeHz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Bands, PeakingEqResponse,
    testing::Values(ResponseCase { { 0, 1000, 1.0f, 12 }, 1000, 12, 0.5 },
        ResponseCase { { 0, 1000, 1.0f, 12 }, 100, 0, 1 },
        ResponseCase { { 0, 1000, 1.0f, 12 }, 10000, 0, 1 },
        ResponseCase { { 0, 1000, 1.0f, -12 }, 1000, -12, 0.5 },
        ResponseCase { { 0, 70, 2.5f, 6 }, 70, 6, 0.5 }, ResponseCase { { 0, 70, 2.5f, 6 }, 5000, 0, 1 },
        ResponseCase { { 0, 6000, 1.0f, -9 }, 6000, -9, 0.5 },
        ResponseCase { { 0, 16000, 0.2f, 10 }, 16000, 10, 0.5 },
        // The band's edges, half an octave either side, carry half its gain.
        ResponseCase { { 0, 1000, 1.0f, 12 }, 1414.2, 6, 0.5 },
        ResponseCase { { 0, 1000, 1.0f, 12 }, 707.1, 6, 0.5 }));

TEST(PeakingEq, BandsCombineAndIndexesAddressThem)
{
    PeakingEq eq;
    eq.setBand({ 4, 1000, 1.0f, 6 });
    eq.setBand({ 0, 70, 2.5f, -6 });
    eq.setBand({ 4, 1000, 1.0f, 12 }); // replaces band 4

    EqBand read { 4 };
    ASSERT_TRUE(eq.getBand(read));
    EXPECT_EQ(read.centreHz, 1000.0f);
    EXPECT_EQ(read.gainDb, 12.0f);
    EqBand missing { 7 };
    EXPECT_FALSE(eq.getBand(missing));

    EXPECT_NEAR(gainAt(eq, 1000), 12, 0.5);
    EXPECT_NEAR(gainAt(eq, 50), -6, 1);
}

// Channels are filtered in pairs plus a single one left over.
TEST(PeakingEq, EveryChannelIsFiltered)
{
    for (const int channels : { 1, 2, 3 }) {
        PeakingEq eq;
        eq.setBand({ 0, 1000, 1.0f, 12 });
        zvtest::Signal s = zvtest::sine(1000, 1.0, 44100, channels, 0.1);
        const zvtest::Signal original = s;
        run(eq, s);
        for (int c = 0; c < channels; ++c) {
            double in = 0, out = 0;
            for (std::size_t i = s.frames() / 2; i < s.frames(); ++i) {
                const std::size_t k = i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
                in += original.samples[k] * original.samples[k];
                out += s.samples[k] * s.samples[k];
            }
            EXPECT_NEAR(10 * std::log10(out / in), 12, 0.5) << "channel " << c << " of " << channels;
        }
    }
}

TEST(PeakingEq, ZeroGainBandsLeaveTheSoundUntouched)
{
    PeakingEq eq;
    for (int i = 0; i < 10; ++i)
        eq.setBand({ i, 100.0f * (i + 1), 1.0f, 0 });
    zvtest::Signal s = zvtest::sine(440, 0.2);
    const auto original = s.samples;
    run(eq, s);
    EXPECT_EQ(s.samples, original);
}

// The program's ten bands at full boost on files whose Nyquist is below the
// top bands: those must pass through, the rest must stay stable.
TEST(PeakingEq, BandsAtOrAboveNyquistAreHarmless)
{
    const EqBand table[] = { { 0, 70, 2.5f, 12 }, { 1, 180, 1.5f, 12 }, { 2, 320, 1.0f, 12 },
        { 3, 600, 1.0f, 12 }, { 4, 1000, 1.0f, 12 }, { 5, 3000, 1.0f, 12 }, { 6, 6000, 1.0f, 12 },
        { 7, 12000, 0.8f, 12 }, { 8, 14000, 0.3f, 12 }, { 9, 16000, 0.2f, 12 } };
    for (const int rate : { 8000, 22050, 32000, 44100 }) {
        PeakingEq eq;
        for (const EqBand& band : table)
            eq.setBand(band);
        zvtest::Signal noise = zvtest::sine(rate * 0.45, 1.0, rate, 2, 0.05);
        for (std::size_t i = 0; i < noise.samples.size(); ++i)
            noise.samples[i] += 0.05f * static_cast<float>(std::sin(i * 0.7) * std::sin(i * 0.013));
        run(eq, noise);
        EXPECT_TRUE(allFinite(noise, 8.0f)) << "at " << rate << " Hz";
    }

    PeakingEq above;
    above.setBand({ 0, 12000, 0.8f, 12 });
    above.setBand({ 1, 16000, 0.2f, 12 });
    zvtest::Signal s = zvtest::sine(1000, 0.2, 22050);
    const auto original = s.samples;
    run(above, s);
    EXPECT_EQ(s.samples, original);

    // Just below Nyquist a wide band puts its poles on the unit circle; such
    // a filter would keep whatever offset a live change leaves forever.
    PeakingEq edge;
    edge.setBand({ 0, 1000, 1.0f, 12 });
    zvtest::Signal t = zvtest::sine(3000, 0.5, 22050, 2, 0.5);
    run(edge, t);
    edge.setBand({ 0, 11000, 0.8f, 12 });
    zvtest::Signal silence { 22050, 2, std::vector<float>(22050 * 2, 0.0f) };
    run(edge, silence);
    EXPECT_LT(zvtest::rmsDb(silence.mono(0.5, 1.0)), -100);
}

// Switching a 0 dB band on in mid-stream must be no worse than changing the
// gain of a band that was running all along.
TEST(PeakingEq, ABandSwitchedOnMidStreamStartsFromTheSignalsHistory)
{
    zvtest::Signal passing = zvtest::sine(1000, 1.0, 44100, 1, 0.5);
    zvtest::Signal running = passing;
    const std::size_t half = passing.frames() / 2;
    PeakingEq off, on;
    off.setBand({ 0, 1000, 1.0f, 0 });
    on.setBand({ 0, 1000, 1.0f, 0.001f });
    off.process(passing.samples.data(), half, 1, 44100);
    on.process(running.samples.data(), half, 1, 44100);
    off.setBand({ 0, 1000, 1.0f, 12 });
    on.setBand({ 0, 1000, 1.0f, 12 });
    off.process(passing.samples.data() + half, half, 1, 44100);
    on.process(running.samples.data() + half, half, 1, 44100);
    double worst = 0;
    for (std::size_t i = half; i < passing.frames(); ++i)
        worst = std::max(worst, static_cast<double>(std::abs(passing.samples[i] - running.samples[i])));
    EXPECT_LT(worst, 0.001);
}

TEST(PeakingEq, LiveChangesStayStableAndSettleOnTheLastSetting)
{
    PeakingEq eq;
    zvtest::Signal s = zvtest::sine(1000, 2.0, 44100, 2, 0.1);
    const auto ch = static_cast<std::size_t>(s.channels);
    const std::size_t block = 500;
    for (std::size_t at = 0, n = 0; at < s.frames(); at += block, ++n) {
        // A sweep through gains and centres, as a user dragging sliders.
        if (at < s.frames() / 2)
            eq.setBand({ 0, 500.0f + 100.0f * static_cast<float>(n % 10), 1.0f, n % 2 ? 12.0f : -12.0f });
        else
            eq.setBand({ 0, 1000, 1.0f, 12 });
        eq.process(s.samples.data() + at * ch, std::min(block, s.frames() - at), s.channels, s.rate);
    }
    EXPECT_TRUE(allFinite(s, 0.5f)); // +12 dB of 0.1 is 0.4
    EXPECT_NEAR(
        zvtest::rmsDb(s.mono(1.5, 2.0)) - zvtest::rmsDb(zvtest::sine(1000, 1.0, 44100, 2, 0.1).mono(0, 1)),
        12, 0.5);
}

TEST(PeakingEq, ARateChangeRedesignsTheBands)
{
    PeakingEq eq;
    eq.setBand({ 0, 1000, 1.0f, 12 });
    EXPECT_NEAR(gainAt(eq, 1000, 44100), 12, 0.5);
    EXPECT_NEAR(gainAt(eq, 1000, 8000), 12, 0.5);
}

TEST(VolumeEffect, LevelIsALinearFactor)
{
    VolumeEffect volume;
    zvtest::Signal s = zvtest::sine(440, 0.2);
    const auto original = s.samples;
    run(volume, s);
    EXPECT_EQ(s.samples, original);

    volume.setLevel(1.778279f);
    EXPECT_NEAR(gainAt(volume, 440), 5, 0.01);
}

} // namespace
