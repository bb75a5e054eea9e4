#include "audio/app_error.h"
#include "audio/encoder_command.h"
#include "engine/encoder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

namespace {

const char* const NastyNames[] = {
    "$(touch pwned).mp3",
    "`id`.mp3",
    "say \"hi\".mp3",
    "it's.mp3",
    "-song.mp3",
    "10:30.mp3",
    "two  blanks .mp3",
    "铃声 一.mp3",
    "back\\slash.mp3",
    "tab\there.mp3",
    "new\nline.mp3",
    "$HOME.mp3",
};

TEST(EncoderCommand, QuotedWordsSplitBackUnchanged)
{
    for (const char* name : NastyNames) {
        const Argv words { "prog", name, "--x", name };
        std::string line;
        for (const auto& word : words)
            line += QuoteCommandWord(word) + " ";
        EXPECT_EQ(zv::engine::splitCommandLine(line), words) << line;
    }
}

TEST(EncoderCommand, Mp3AndRecordingCommandsGiveTheIntendedArgv)
{
    const std::string lame = FindEncoder("lame");
    for (const char* name : NastyNames) {
        const std::string out = "/music/" + std::string(name);
        EXPECT_EQ(zv::engine::splitCommandLine(Mp3EncoderCommand(192, out)),
            (Argv { lame, "--alt-preset", "cbr", "192", "-", out }));
        EXPECT_EQ(zv::engine::splitCommandLine(RecordEncoderCommand(out)),
            (Argv { lame, "--alt-preset", "standard", "-", out }));
    }
}

TEST(EncoderCommand, M4rCommandReplacesTheExtensionAndUsesAFilePath)
{
    const std::string ffmpeg = FindEncoder("ffmpeg");
    const std::pair<std::string, std::string> cases[] = {
        { "/music/10:30.mp3", "/music/10:30.m4r" },
        { "/music/-a \"b\" $(c).mp3", "/music/-a \"b\" $(c).m4r" },
        { "/music.d/铃声", "/music.d/铃声.m4r" },
    };
    for (const auto& [out, m4r] : cases) {
        EXPECT_EQ(zv::engine::splitCommandLine(M4rEncoderCommand(128, out)),
            (Argv { ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error", "-f", "wav", "-i", "-", "-c:a",
                "aac", "-b:a", "128k", "-f", "ipod", "-y", "file:" + m4r }));
    }
}

TEST(EncoderCommand, RelativeOutputPathsBecomeAbsolute)
{
    zvtest::TempDir dir;
    const std::string folder = fs::canonical(dir.path()).string();
    zvtest::ScopedWorkingFolder in(folder);
    EXPECT_EQ(
        zv::engine::splitCommandLine(Mp3EncoderCommand(128, "-song.mp3")).back(), folder + "/-song.mp3");
    EXPECT_EQ(zv::engine::splitCommandLine(M4rEncoderCommand(128, "10:30.mp3")).back(),
        "file:" + folder + "/10:30.m4r");
}

TEST(EncoderCommand, LocateProgramTriesTheFolderFirstThenThePath)
{
    zvtest::TempDir own, onPath, later;
    zvtest::writeScript(own.file("enc"), "exit 0");
    zvtest::writeScript(onPath.file("enc"), "exit 0");
    zvtest::writeScript(later.file("enc"), "exit 0");
    std::ofstream(onPath.path() / "plain") << "not executable\n";
    fs::create_directory(onPath.path() / "dir");
    const std::string path = onPath.path().string() + ":" + later.path().string();

    EXPECT_EQ(LocateProgram("enc", own.path().string() + "/", path), (own.path() / "enc").string());
    EXPECT_EQ(LocateProgram("enc", "/nonexistent/", path), (onPath.path() / "enc").string());
    EXPECT_EQ(LocateProgram("plain", own.path().string(), path), "");
    EXPECT_EQ(LocateProgram("dir", own.path().string(), path), "");
    EXPECT_EQ(LocateProgram("enc", "/nonexistent/", ""), "");
}

TEST(EncoderCommand, AMissingEncoderNamesThePathInTheProgramFolder)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    try {
        FindEncoder("zv-no-such-encoder");
        FAIL() << "found a missing encoder";
    } catch (const AppError& error) {
        EXPECT_EQ(error.what(), "系统异常，文件\"" + folder + "zv-no-such-encoder\"不存在，请重新安装本程序");
    }
}

} // namespace
