#include "audio/file_names.h"

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

} // namespace
