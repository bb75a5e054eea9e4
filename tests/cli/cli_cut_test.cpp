#include "cli/cli_fixture.h"

#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"
#include "support/tone_steps.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

using namespace zvtest;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

// 70 s of MP3, a different tone every 10 s (300, 400, ... 900 Hz).
class CliCutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<TempDir>();
        writeWav(s_dir->file("long.wav"), toneSteps({ 300, 400, 500, 600, 700, 800, 900 }, 10.0));
        makeMp3(s_dir->file("long.wav"), s_dir->file("long.mp3"));
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static std::string longMp3() { return s_dir->file("long.mp3"); }

    TempDir m_dir;

private:
    static inline std::unique_ptr<TempDir> s_dir;
};

// The cut 00:30-01:00 of the long source holds 600, 700 and 800 Hz in turn.
void expectMiddleThirtySeconds(const Signal& out)
{
    for (int i = 0; i < 3; ++i) {
        const double from = 10.0 * i + 4.0;
        EXPECT_NEAR(dominantHz(out.mono(from, from + 0.5), out.rate, 250, 950), 600 + 100 * i, 2)
            << "at " << from;
    }
}

TEST_F(CliCutTest, Mp3CutIsExactAndAtTheChosenBitRate)
{
    const std::string out = m_dir.file("out.mp3");
    const CommandResult r = runCli(
        { "cut", longMp3(), "-o", out, "--start", "00:30.000", "--end", "01:00.000", "--bitrate", "192" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");

    const Signal decoded = decodeWithEngine(out);
    EXPECT_NEAR(decoded.seconds(), 30.0, 0.002);
    expectMiddleThirtySeconds(decoded);
    const Probe p = probe(out);
    EXPECT_EQ(p.formatName, "mp3");
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_EQ(p.bitRate, 192000);
    EXPECT_EQ(folderNames(m_dir.path().string()), std::vector<std::string> { "out.mp3" });
}

TEST_F(CliCutTest, M4rCutIsAacInAnIpodContainer)
{
    const CommandResult r = runCli({ "cut", longMp3(), "-o", m_dir.file("out.mp3"), "--start", "00:30.000",
        "--end", "01:00.000", "--format", "m4r" });
    const std::string out = m_dir.file("out.m4r");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");

    const Probe p = probe(out);
    EXPECT_THAT(p.formatName, HasSubstr("mp4"));
    EXPECT_EQ(p.codec, "aac");
    EXPECT_EQ(readBytes(out).substr(4, 8), "ftypM4A ");
    // AAC comes in frames of 1024 samples: the last one may be padded.
    EXPECT_GE(p.duration, 30.0 - 0.001);
    EXPECT_LE(p.duration, 30.0 + 1024.0 / 44100 + 0.001);
    EXPECT_EQ(folderNames(m_dir.path().string()), std::vector<std::string> { "out.m4r" });
}

TEST_F(CliCutTest, EveryWavLayoutAndWmaCut)
{
    struct Case {
        int bits;
        int channels;
        int rate;
    };
    std::vector<Case> cases;
    for (int bits : { 8, 16, 24 })
        for (int channels : { 1, 2 })
            for (int rate : { 22050, 44100, 48000 })
                cases.push_back({ bits, channels, rate });
    writeWav(m_dir.file("for-wma.wav"), toneSteps({ 440, 660 }, 1.0));
    makeWithFfmpeg(m_dir.file("for-wma.wav"), { "-c:a", "wmav2", "-b:a", "128k" }, m_dir.file("src.wma"));

    for (const Case& c : cases) {
        const std::string name
            = std::to_string(c.bits) + "bit-" + std::to_string(c.channels) + "ch-" + std::to_string(c.rate);
        writeWav(m_dir.file(name + ".wav"), toneSteps({ 440, 660 }, 1.0, c.rate, c.channels), c.bits);
    }
    cases.push_back({ 0, 2, 44100 }); // the WMA source
    for (const Case& c : cases) {
        const std::string name = c.bits
            ? std::to_string(c.bits) + "bit-" + std::to_string(c.channels) + "ch-" + std::to_string(c.rate)
            : "src";
        const std::string source = m_dir.file(name + (c.bits ? ".wav" : ".wma"));
        SCOPED_TRACE(source);
        const std::string out = m_dir.file(name + "-cut.mp3");
        const CommandResult r
            = runCli({ "cut", source, "-o", out, "--start", "00:00.500", "--end", "00:01.500" });
        ASSERT_EQ(r.exitCode, 0) << r.err;

        const Signal decoded = decodeWithEngine(out);
        EXPECT_EQ(decoded.rate, c.rate);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_NEAR(decoded.seconds(), 1.0, 0.002);
        EXPECT_NEAR(dominantHz(decoded.mono(0.1, 0.4), decoded.rate, 300, 800), 440, 2);
        EXPECT_NEAR(dominantHz(decoded.mono(0.6, 0.9), decoded.rate, 300, 800), 660, 2);
    }
}

// Names reach the encoders as names only: nothing in them is executed or read
// as an option or a protocol.
TEST_F(CliCutTest, StrangeNamesWorkAndExecuteNothing)
{
    const ScopedWorkingFolder workingFolder(m_dir.path().string());
    const std::string folder = fs::current_path().string();
    struct Case {
        std::string source;
        std::string output;
        std::string format;
    };
    const std::vector<Case> cases {
        { "$(touch PWNED).wav", "$(touch PWNED).mp3", "mp3" },
        { "`touch PWNED`.wav", "`touch PWNED` b.m4r", "m4r" },
        { "it's \"quoted\".wav", "say \"hi\" it's.mp3", "mp3" },
        { "-lead.wav", "-lead.mp3", "mp3" },
        { "10:30.wav", "10:30.m4r", "m4r" },
        { "铃声 源.wav", "[铃]铃声.mp3", "mp3" },
    };
    const Signal tone = sine(440, 1.5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " -> " + c.output);
        writeWav(c.source, tone);
        const CommandResult r = runCli({ "cut", "-o", c.output, "--start", "00:00.000", "--end", "00:01.000",
            "--format", c.format, "--", c.source });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, folder + "/" + c.output + "\n");
        EXPECT_NEAR(decodeWithEngine(c.output).seconds(), 1.0, 0.03);
        EXPECT_FALSE(fs::exists("PWNED"));
        EXPECT_EQ(folderNames(folder).size(), 2 * (&c - cases.data() + 1)) << "a stray file";
    }
}

} // namespace
