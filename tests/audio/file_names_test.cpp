#include "audio/file_names.h"

#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

TEST(FileNames, IsValidFileName)
{
    for (const char* bad : { "a\\b", "a/b", "10:30", "*", "what?", "say \"hi\"", "<a", "a>", "a|b" })
        EXPECT_FALSE(IsValidFileName(bad)) << bad;
    for (const char* good : { "", "song", "song.mp3", "铃声", "a\tb", "-x", "$(rm -rf)", "it's" })
        EXPECT_TRUE(IsValidFileName(good)) << good;
}

TEST(FileNames, ExtensionsComeFromTheNamePartsLastDot)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // path, ExtractFileExt, RemoveFileExt
        { "song.mp3", ".mp3", "song" },
        { "/music/song.wma.mp3", ".mp3", "/music/song.wma" },
        { "/music.d/song", "", "/music.d/song" },
        { "song", "", "song" },
        { "song.", ".", "song" },
        { "/a/铃声.MP3", ".MP3", "/a/铃声" },
    };
    for (const auto& [path, ext, stripped] : cases) {
        EXPECT_EQ(ExtractFileExt(path), ext) << path;
        EXPECT_EQ(RemoveFileExt(path), stripped) << path;
    }
    EXPECT_EQ(ChangeFileExt("/out/song.mp3", ".m4r"), "/out/song.m4r");
    EXPECT_EQ(ChangeFileExt("/out.d/song", ".m4r"), "/out.d/song.m4r");
}

TEST(FileNames, IsSameFileSeesThroughLinksAndRelativePaths)
{
    namespace fs = std::filesystem;
    zvtest::TempDir dir;
    fs::create_directory(dir.path() / "d");
    std::ofstream(dir.file("d/song.wav")) << "a";
    std::ofstream(dir.file("d/other.wav")) << "b";
    fs::create_symlink(dir.path() / "d" / "song.wav", dir.path() / "link.wav");
    fs::create_hard_link(dir.path() / "d" / "song.wav", dir.path() / "hard.wav");
    fs::create_directory_symlink(dir.path() / "d", dir.path() / "dlink");
    const std::string song = dir.file("d/song.wav");
    const fs::path relative = fs::relative(song);

    const std::tuple<std::string, std::string, bool> cases[] = {
        { song, song, true },
        { song, dir.file("link.wav"), true },
        { song, dir.file("hard.wav"), true },
        { song, dir.file("d/../d/song.wav"), true },
        { song, relative.string(), true },
        { song, dir.file("d/other.wav"), false },
        // Not yet written: compared by the resolved path.
        { dir.file("d/new.mp3"), dir.file("dlink/new.mp3"), true },
        { song, dir.file("d/song.wav.mp3"), false },
        { "", "", false },
        { song, "", false },
    };
    for (const auto& [a, b, same] : cases) {
        EXPECT_EQ(IsSameFile(a, b), same) << a << " vs " << b;
        EXPECT_EQ(IsSameFile(b, a), same) << b << " vs " << a;
    }
}

} // namespace
