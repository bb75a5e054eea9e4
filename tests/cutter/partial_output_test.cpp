#include "cutter/partial_output.h"

#include "audio/app_error.h"
#include "support/file_checks.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace zvtest;
using ::testing::ElementsAre;

TEST(PartialOutputTest, OnlyCommitReplacesTheOutput)
{
    TempDir dir;
    const std::string output = dir.file("song.m4r");
    writeBytes(output, "old");
    {
        TPartialOutput abandoned(output);
        EXPECT_TRUE(abandoned.Path().ends_with(".m4r")) << abandoned.Path();
        writeBytes(abandoned.Path(), "half");
    }
    EXPECT_THAT(folderNames(dir.path().string()), ElementsAre("song.m4r"));
    EXPECT_EQ(readBytes(output), "old");

    TPartialOutput partial(output);
    writeBytes(partial.Path(), "new");
    partial.Commit();
    EXPECT_THAT(folderNames(dir.path().string()), ElementsAre("song.m4r"));
    EXPECT_EQ(readBytes(output), "new");
}

TEST(PartialOutputTest, TwoAtOnceGetTheirOwnFiles)
{
    TempDir dir;
    const TPartialOutput first(dir.file("a.mp3"));
    const TPartialOutput second(dir.file("a.mp3"));
    EXPECT_NE(first.Path(), second.Path());
}

TEST(PartialOutputTest, LongestNameStillFits)
{
    TempDir dir;
    std::string stem;
    while (stem.size() + 3 < 251) // three bytes per character
        stem += "铃";
    TPartialOutput partial(dir.file(stem + ".mp3"));
    writeBytes(partial.Path(), "x");
    partial.Commit();
    EXPECT_EQ(readBytes(dir.file(stem + ".mp3")), "x");
}

TEST(PartialOutputTest, MissingFolderFailsAtOnce)
{
    TempDir dir;
    try {
        TPartialOutput partial(dir.file("none/a.mp3"));
        ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(std::string(error.what()), "输出目录不存在：" + dir.file("none"));
    }
}
