#include "cli/cli_fixture.h"

#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zvtest;
using namespace std::string_literals;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

bool canCreateFileIn(const std::string& folder)
{
    const std::string probePath = folder + "/.probe";
    std::ofstream out(probePath);
    const bool created = static_cast<bool>(out);
    out.close();
    fs::remove(probePath);
    return created;
}

// Each bad input fails quickly with the program's message, writes no output
// and no partial file, and leaves the source and an existing output as they were.
TEST(CliBadInputTest, FailsAndTouchesNothing)
{
    ASSERT_FALSE(fs::exists(binDir() + "/lame")) << "an encoder beside the binary hides the PATH cases";
    TempDir dir;
    const auto f = [&dir](const std::string& name) { return dir.file(name); };
    fs::create_directory(f("empty-bin"));
    fs::create_directory(f("failing-bin"));
    writeScript(f("failing-bin/lame"), "exit 1");
    fs::create_directory(f("a folder.wav"));
    writeWav(f("src.wav"), sine(440, 3.0));
    writeBytes(f("empty.mp3"), "");
    writeBytes(f("text.mp3"), "This is not music, only a text file.\n");
    writeBytes(f("image.wav"),
        "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0"s + std::string(200, '\x7f'));
    writeBytes(f("broken.wav"),
        // A format chunk without channels or rate, and no data chunk.
        "RIFF\xff\xff\xff\xffWAVEfmt \x10\0\0\0\x07\0\0\0\0\0\0\0"s + std::string(400, '\x01'));
    writeWav(f("four.wav"), sine(440, 4.0));
    makeMp3(f("four.wav"), f("four.mp3"));
    fs::remove(f("four.wav"));
    fs::resize_file(f("four.mp3"), fs::file_size(f("four.mp3")) / 2);
    fs::create_directory(f("other"));
    fs::create_symlink(f("src.wav"), f("other/link.wav"));

    // A folder this user cannot write to; root writes anywhere but in /sys.
    fs::create_directory(f("read-only"));
    fs::permissions(f("read-only"), fs::perms::owner_read | fs::perms::owner_exec);
    std::string readOnly = f("read-only");
    if (canCreateFileIn(readOnly))
        readOnly = canCreateFileIn("/sys") ? "" : "/sys";

    const std::string systemError = "系统异常，文件\"";
    const std::string missingLame = "lame\"不存在，请重新安装本程序";
    struct Case {
        std::string name;
        std::string source;
        std::string output;
        std::string path; // PATH for the run; "" keeps the test's own
        std::string message;
        bool force = true;
        bool existingOutput = false;
        std::string start = "00:01.000";
        std::string end = "00:02.000";
        std::vector<std::string> effects {}; // effect options after the others
    };
    std::vector<Case> cases {
        { "zero-byte file", f("empty.mp3"), f("out.mp3"), "", "文件打开失败" },
        { "text named .mp3", f("text.mp3"), f("out.mp3"), "", "文件打开失败" },
        { "PNG renamed .wav", f("image.wav"), f("out.mp3"), "", "文件打开失败" },
        { "WAV with a broken header", f("broken.wav"), f("out.mp3"), "", "文件打开失败" },
        { "truncated MP3", f("four.mp3"), f("out.mp3"), "", "“结束时间”超出了源文件的长度", true, false,
            "00:01.000", "00:03.000" },
        { "a folder", f("a folder.wav"), f("out.mp3"), "", "文件打开失败(2)" },
        { "missing file", f("gone.wav"), f("out.mp3"), "", "文件打开失败(2)" },
        { "missing encoder", f("src.wav"), f("out.mp3"), f("empty-bin"), missingLame, true, true },
        { "failing encoder", f("src.wav"), f("out.mp3"), f("failing-bin"), "编码失败，输出文件没有写成(",
            true, true },
        { "output is the source", f("src.wav"), f("src.wav"), "",
            "输出文件不能是源文件本身，请另选输出文件。" },
        { "output links to the source", f("src.wav"), f("other/link.wav"), "",
            "输出文件不能是源文件本身，请另选输出文件。" },
        { "existing output without --force", f("src.wav"), f("out.mp3"), "",
            "已经存在。要覆盖它，请加上 --force。", false, true },
        { "missing equalizer preset", f("src.wav"), f("out.mp3"), "",
            "均衡器预设文件打开失败：" + f("gone.zveq"), true, false, "00:01.000", "00:02.000",
            { "--eq-preset", f("gone.zveq") } },
    };
    if (!readOnly.empty())
        cases.push_back({ "read-only output folder", f("src.wav"), readOnly + "/out.mp3", "",
            "无法在输出目录中写入文件：" + readOnly });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.existingOutput)
            writeBytes(c.output, "previous output");
        const std::string sourceBytes = fs::is_regular_file(c.source) ? readBytes(c.source) : "";
        const std::string outputFolder = fs::path(c.output).parent_path().string();
        const auto namesBefore = folderNames(dir.path().string());
        const auto outputNamesBefore = folderNames(outputFolder);
        std::vector<std::string> args { "cut", c.source, "-o", c.output, "--start", c.start, "--end", c.end };
        if (c.force)
            args.push_back("--force");
        args.insert(args.end(), c.effects.begin(), c.effects.end());

        const auto started = std::chrono::steady_clock::now();
        const CommandResult r = [&] {
            const ScopedEnv path("PATH", c.path.empty() ? std::getenv("PATH") : c.path);
            return runCli(args);
        }();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;

        EXPECT_EQ(r.exitCode, 1);
        EXPECT_LT(took.count(), 10.0);
        EXPECT_THAT(r.err, HasSubstr(c.message));
        if (c.path == f("empty-bin")) {
            EXPECT_THAT(r.err, HasSubstr(systemError));
        }
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(folderNames(dir.path().string()), namesBefore);
        EXPECT_EQ(folderNames(outputFolder), outputNamesBefore);
        if (fs::is_regular_file(c.source)) {
            EXPECT_EQ(readBytes(c.source), sourceBytes);
        }
        if (c.existingOutput) {
            EXPECT_EQ(readBytes(c.output), "previous output");
            fs::remove(c.output);
        }
    }
    if (readOnly.empty())
        GTEST_SKIP() << "no folder refuses this user's writes, so the read-only case did not run";
}

} // namespace
