#include "cli/cli_fixture.h"

#include "support/disk_capture.h"
#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <chrono>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace zvtest;
using ::testing::HasSubstr;

namespace {

// play returns when its range has ended, having played that range with the
// effects given, and prints nothing.
TEST(CliPlayTest, PlaysTheRangeAndReturnsWhenItEnds)
{
    TempDir dir;
    writeWav(dir.file("tone.wav"), sine(1000, 1.0, 44100, 2, 0.25));
    const ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnv file("SDL_DISKAUDIOFILE", dir.file("played.raw"));
    struct Case {
        std::vector<std::string> options;
        double seconds;
        double gainDb;
    };
    for (const Case& c : { Case { { "--start", "00:00.200", "--end", "00:00.700", "--gain", "6" }, 0.5, 6 },
             Case { {}, 1.0, 0 } }) {
        std::vector<std::string> args { "play", dir.file("tone.wav") };
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto started = std::chrono::steady_clock::now();
        const CommandResult r = runCli(args);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_LT(took.count(), c.seconds + 5);

        const Signal played = readCapture(dir.file("played.raw"));
        const SoundSpan sound = findSound(played);
        EXPECT_NEAR(sound.seconds(played.rate), c.seconds, 0.005);
        const double s = static_cast<double>(sound.begin) / played.rate;
        EXPECT_NEAR(toneDb(played, 1000, s + 0.1, s + 0.4) - 20 * std::log10(0.25), c.gainDb, 0.5);
    }
}

TEST(CliPlayTest, FailuresSayWhyAndExitWith1)
{
    TempDir dir;
    writeWav(dir.file("tone.wav"), sine(1000, 1.0));
    const std::string tone = dir.file("tone.wav");
    struct Case {
        std::vector<std::string> args;
        std::string message;
        std::string driver = "dummy";
    };
    const Case cases[] = {
        { { "play", dir.file("missing.wav") }, "文件打开失败(2)" },
        { { "play", tone, "--start", "00:00.800", "--end", "00:00.800" }, "“开始时间”必须小于“结束时间”。" },
        { { "play", tone, "--start", "00:01.000" }, "“开始时间”必须小于“结束时间”。" },
        { { "play", tone, "--end", "00:01.500" }, "“结束时间”超出了源文件的长度（00:01.000）。" },
        { { "play", tone }, "无法打开声音设备，请检查是否安装了声卡及其驱动程序。", "no-such-driver" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ScopedEnv driver("SDL_AUDIODRIVER", c.driver);
        const CommandResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliPlayTest, BadCommandLinesExitWith2AndHelpShowsPlay)
{
    EXPECT_THAT(runCli({ "--help" }).out, HasSubstr("zelvora-cli play SOURCE [--start TIME] [--end TIME]"));
    const CommandResult r = runCli({ "play", "a.wav", "--output", "b.mp3" });
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("未知的选项：--output"));
}

} // namespace
