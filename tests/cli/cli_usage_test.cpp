#include "cli/cli_fixture.h"

#include "support/file_checks.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace zvtest;
using ::testing::HasSubstr;

TEST(CliUsageTest, HelpDescribesBothCommands)
{
    const CommandResult r = runCli({ "--help" });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("zelvora-cli info SOURCE"));
    EXPECT_THAT(r.out, HasSubstr("zelvora-cli cut SOURCE -o OUTPUT --start TIME --end TIME"));
    EXPECT_THAT(r.out, HasSubstr("--eq-preset"));
}

TEST(CliUsageTest, InfoTellsLengthRateChannelsAndFormat)
{
    TempDir dir;
    writeWav(dir.file("a.wav"), sine(440, 2.5, 48000, 1));
    writeWav(dir.file("b.wav"), sine(440, 1.0, 44100, 2));
    makeMp3(dir.file("b.wav"), dir.file("b.mp3"));

    struct Case {
        std::string file;
        std::string expected;
    };
    for (const Case& c : { Case { "a.wav", "length_ms: 2500\nrate: 48000\nchannels: 1\nformat: wav\n" },
             Case { "b.mp3", "length_ms: 1000\nrate: 44100\nchannels: 2\nformat: mp3\n" } }) {
        const CommandResult r = runCli({ "info", dir.file(c.file) });
        EXPECT_EQ(r.exitCode, 0) << c.file << ": " << r.err;
        EXPECT_EQ(r.out, c.expected);
    }
}

// Every command line that cannot run exits with 2, says why and writes nothing.
TEST(CliUsageTest, BadCommandLinesExitWith2)
{
    TempDir dir;
    const std::string src = dir.file("src.wav");
    writeWav(src, sine(440, 2.0));
    const std::string out = dir.file("out.mp3");
    const std::vector<std::string> cut { "cut", src, "-o", out, "--start", "00:00.000", "--end",
        "00:01.000" };
    const auto with = [&cut](std::vector<std::string> extra) {
        std::vector<std::string> args = cut;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases {
        { {}, "缺少命令" },
        { { "split", src }, "未知的命令：split" },
        { { "info" }, "缺少源文件" },
        { { "info", src, src }, "只能给出一个源文件" },
        { { "cut", src, "--start", "00:00.000", "--end", "00:01.000" }, "缺少输出文件（--output）" },
        { { "cut", src, "-o", out, "--end", "00:01.000" }, "缺少开始时间（--start）" },
        { { "cut", src, "-o", out, "--start", "1:30", "--end", "00:01.000" }, "选项 --start 的时间无效" },
        { { "cut", src, "-o", out, "--start", "00:00.000", "--end", "00:0x.000" }, "选项 --end 的时间无效" },
        { with({ "--format", "ogg" }), "输出格式必须是 mp3 或 m4r" },
        { with({ "--bitrate", "100" }), "比特率必须是" },
        { with({ "--bitrate", "128k" }), "选项 --bitrate 的值不是数字" },
        { with({ "--gain", "21" }), "音量增益必须在 -20 到 20 分贝之间" },
        { with({ "--tempo", "-60" }), "速度变化必须在 -50 到 100 之间" },
        { with({ "--fade-in", "61" }), "选项 --fade-in 的淡变时长必须在 0 到 60 秒之间" },
        { with({ "--fade-out", "abc" }), "选项 --fade-out 的值不是数字" },
        { with({ "--eq", "1,2,3,4,5,6,7,8,9" }), "选项 --eq 需要 10 个" },
        { with({ "--eq", "0,0,0,0,16,0,0,0,0,0" }), "选项 --eq 需要 10 个" },
        { with({ "--eq", "0,0,0,0,0,0,0,0,0,0", "--eq-preset", src }), "--eq 和 --eq-preset 只能用一个" },
        { with({ "--gain" }), "选项 --gain 缺少值" },
        { with({ "--loud" }), "未知的选项：--loud" },
        { with({ "--gain", "1", "--gain", "2" }), "选项 --gain 只能给出一次" },
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const CommandResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_THAT(r.err, HasSubstr("用法："));
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(folderNames(dir.path().string()), std::vector<std::string> { "src.wav" });
}
