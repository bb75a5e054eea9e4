#include "cli/cli_fixture.h"

#include "support/file_checks.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>

using namespace zvtest;

namespace {

// Effects are measured on the decoded output against a cut without effects
// of the same segment, so the codec's own changes cancel out.
class CliEffectsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<TempDir>();
        writeWav(s_dir->file("tone.wav"), sine(440, 32.0, 44100, 2, 0.25));
        Signal twoTones = sine(100, 8.0, 44100, 2, 0.1);
        const Signal high = sine(1000, 8.0, 44100, 2, 0.1);
        for (std::size_t i = 0; i < twoTones.samples.size(); ++i)
            twoTones.samples[i] += high.samples[i];
        writeWav(s_dir->file("two.wav"), twoTones);
        s_plainTone = cut("tone.wav", "plain-tone.mp3", {});
        s_plainTwo = cut("two.wav", "plain-two.mp3", {});
    }
    static void TearDownTestSuite()
    {
        s_plainTone.reset();
        s_plainTwo.reset();
        s_dir.reset();
    }

    // Cuts 00:01.000-00:07.000 with the given options at 320 kbit/s.
    static Signal cut(const std::string& source, const std::string& output, std::vector<std::string> options,
        const std::string& end = "00:07.000")
    {
        std::vector<std::string> args { "cut", s_dir->file(source), "-o", s_dir->file(output), "--start",
            "00:01.000", "--end", end, "--bitrate", "320", "--force" };
        args.insert(args.end(), options.begin(), options.end());
        const CommandResult r = runCli(args);
        if (r.exitCode != 0)
            throw std::runtime_error("cut failed: " + r.err);
        return decodeWithEngine(s_dir->file(output));
    }
    static std::string file(const std::string& name) { return s_dir->file(name); }

    static inline std::optional<Signal> s_plainTone; // the same cuts without effects
    static inline std::optional<Signal> s_plainTwo;

private:
    static inline std::unique_ptr<TempDir> s_dir;
};

double levelDb(const Signal& s, double from, double to)
{
    return rmsDb(s.mono(from, to));
}

// Level of one frequency component, in dB of an arbitrary reference.
double toneDb(const Signal& s, double hz)
{
    const std::vector<float> x = s.mono(1.0, 5.0);
    const double coeff = 2.0 * std::cos(2.0 * std::numbers::pi * hz / s.rate);
    double s1 = 0, s2 = 0;
    for (float v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 10.0 * std::log10(s1 * s1 + s2 * s2 - coeff * s1 * s2);
}

// Where a linear fade of the 10 ms levels between from and to (seconds)
// reaches the steady level: a least-squares line through linear amplitudes.
double fadeReachesSteadyAt(const Signal& s, double from, double to, double steadyDb)
{
    double n = 0, st = 0, sa = 0, stt = 0, sta = 0;
    for (double t = from; t < to; t += 0.01) {
        const double a = std::pow(10.0, (levelDb(s, t, t + 0.01) - steadyDb) / 20.0);
        const double mid = t + 0.005;
        n += 1;
        st += mid;
        sa += a;
        stt += mid * mid;
        sta += mid * a;
    }
    const double slope = (n * sta - st * sa) / (n * stt - st * st);
    const double offset = (sa - slope * st) / n;
    return (1.0 - offset) / slope;
}

TEST_F(CliEffectsTest, GainRaisesTheLevel)
{
    const Signal out = cut("tone.wav", "gain.mp3", { "--gain", "5" });
    EXPECT_NEAR(levelDb(out, 1, 5) - levelDb(*s_plainTone, 1, 5), 5.0, 0.2);
}

TEST_F(CliEffectsTest, TempoShortensAndKeepsThePitch)
{
    const Signal out = cut("tone.wav", "tempo.mp3", { "--tempo", "20" }, "00:31.000");
    EXPECT_NEAR(out.seconds(), 25.0, 0.005);
    EXPECT_NEAR(dominantHz(out.mono(10, 11), out.rate, 300, 600), 440, 2);
}

TEST_F(CliEffectsTest, FadeInRisesFromFloorToSteadyInItsLength)
{
    const Signal out = cut("tone.wav", "fade-in.mp3", { "--fade-in", "2.0" });
    const double steady = levelDb(*s_plainTone, 3, 5);
    EXPECT_NEAR(levelDb(out, 0, 0.01) - steady, -38, 4);
    EXPECT_NEAR(fadeReachesSteadyAt(out, 0.3, 1.7, steady), 2.0, 0.05);
    EXPECT_NEAR(levelDb(out, 2.1, 5) - steady, 0, 0.2);
}

TEST_F(CliEffectsTest, FadeOutFallsToFloorAtTheEnd)
{
    const Signal out = cut("tone.wav", "fade-out.mp3", { "--fade-out", "2.0" });
    const double steady = levelDb(*s_plainTone, 1, 3);
    EXPECT_NEAR(levelDb(out, 1, 3.9) - steady, 0, 0.2);
    EXPECT_NEAR(fadeReachesSteadyAt(out, 4.3, 5.7, steady), 4.0, 0.05);
    EXPECT_NEAR(levelDb(out, 5.99, 6.0) - steady, -40, 4);
}

TEST_F(CliEffectsTest, EqualizerBandRaisesOnlyItsTone)
{
    writeBytes(file("loud-1k.zveq"), "[EQ]\nF1000 = 12\nf70=20\n[desc]\nname=Loud 1k\n");
    const Signal byBands = cut("two.wav", "eq.mp3", { "--eq", "0,0,0,0,12,0,0,0,0,0" });
    const Signal byPreset = cut("two.wav", "eq-preset.mp3", { "--eq-preset", file("loud-1k.zveq") });
    for (const Signal* out : { &byBands, &byPreset }) {
        EXPECT_NEAR(toneDb(*out, 1000) - toneDb(*s_plainTwo, 1000), 12, 1);
        EXPECT_NEAR(toneDb(*out, 100) - toneDb(*s_plainTwo, 100), 0, 1);
    }
}

} // namespace
