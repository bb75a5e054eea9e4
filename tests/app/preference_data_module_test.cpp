#include "app/preference_data_module.h"
#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    return zvtest::readBytes(path.string());
}

class Preferences : public ::testing::Test {
protected:
    // In a folder that does not exist yet: the store creates it.
    std::string iniPath() const { return (m_dir.path() / "config" / "qxzelvora.ini").string(); }
    void writeIni(const std::string& text) const
    {
        fs::create_directories(m_dir.path() / "config");
        std::ofstream(iniPath(), std::ios::binary) << text;
    }

    zvtest::TempDir m_dir;
};

TEST_F(Preferences, FirstRunReadsDefaultsAndLeavesAnEmptyFile)
{
    {
        TPreferenceDataModule prefs(iniPath());
        EXPECT_EQ(prefs.ReadPrefInteger("EqDefault\\f70", 0), 0);
        EXPECT_EQ(prefs.ReadPrefInteger("EqDefault\\f180", 7), 7);
    }
    ASSERT_TRUE(fs::exists(iniPath()));
    EXPECT_EQ(readFile(iniPath()), "");
}

TEST_F(Preferences, WritesReachTheFileOnlyWhenTheStoreEnds)
{
    {
        TPreferenceDataModule prefs(iniPath());
        for (int f : { 70, 180, 320 })
            prefs.WritePrefInteger("EqDefault\\f" + std::to_string(f), f / 10 - 10);
        prefs.WritePrefInteger("plain", 42);
        EXPECT_FALSE(fs::exists(iniPath()));
        EXPECT_EQ(prefs.ReadPrefInteger("EqDefault\\f70", 99), -3);
    }
    const std::string text = readFile(iniPath());
    EXPECT_NE(text.find("[EqDefault]"), std::string::npos) << text;
    EXPECT_NE(text.find("f180=8"), std::string::npos) << text;
    EXPECT_NE(text.find("[preference]"), std::string::npos) << text;

    TPreferenceDataModule again(iniPath());
    EXPECT_EQ(again.ReadPrefInteger("EqDefault\\f70", 99), -3);
    EXPECT_EQ(again.ReadPrefInteger("EqDefault\\f180", 99), 8);
    EXPECT_EQ(again.ReadPrefInteger("EqDefault\\f320", 99), 22);
    EXPECT_EQ(again.ReadPrefInteger("preference\\plain", 99), 42);
}

TEST_F(Preferences, PathsSplitAtTheLastBackslashAndIgnoreCase)
{
    writeIni("[EqDefault]\nf70=5\n[a\\b]\nc=6\n[preference]\nkey=7\n");
    TPreferenceDataModule prefs(iniPath());
    const std::pair<const char*, int> cases[] = {
        { "EqDefault\\f70", 5 },
        { "EQDEFAULT\\F70", 5 },
        { "\\\\EqDefault\\f70", 5 },
        { "a\\b\\c", 6 },
        { "key", 7 },
        { "\\key", 7 },
        { "Preference\\KEY", 7 },
        { "f70", -1 },
        { "EqDefault\\f180", -1 },
    };
    for (const auto& [path, value] : cases)
        EXPECT_EQ(prefs.ReadPrefInteger(path, -1), value) << path;
}

TEST_F(Preferences, StoredTextsThatAreNotIntegers)
{
    writeIni("[s]\nempty=\nspaced = 12 \nplus=+4\nminus=-15\nword=abc\nhalf=1.5\nhuge=99999999999\n");
    TPreferenceDataModule prefs(iniPath());
    const std::pair<const char*, int> cases[] = {
        { "s\\empty", 0 },
        { "s\\spaced", 12 },
        { "s\\plus", 4 },
        { "s\\minus", -15 },
        { "s\\word", -1 },
        { "s\\half", -1 },
        { "s\\huge", -1 },
    };
    for (const auto& [path, value] : cases)
        EXPECT_EQ(prefs.ReadPrefInteger(path, -1), value) << path;
}

TEST_F(Preferences, ExistingEntriesSurviveRunsThatDoNotReadThem)
{
    writeIni("[EqDefault]\nf70=5\n");
    {
        TPreferenceDataModule unused(iniPath());
    }
    {
        TPreferenceDataModule writeOnly(iniPath());
        writeOnly.WritePrefInteger("EqDefault\\f180", 6);
    }
    TPreferenceDataModule prefs(iniPath());
    EXPECT_EQ(prefs.ReadPrefInteger("EqDefault\\f70", 0), 5);
    EXPECT_EQ(prefs.ReadPrefInteger("EqDefault\\f180", 0), 6);
}

TEST_F(Preferences, ReadOnlyFileIsNotWritten)
{
    writeIni("[EqDefault]\nf70=5\n");
    fs::permissions(iniPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    {
        TPreferenceDataModule prefs(iniPath());
        prefs.WritePrefInteger("EqDefault\\f70", 9);
    }
    EXPECT_EQ(readFile(iniPath()), "[EqDefault]\nf70=5\n");
}

TEST(PreferencesPath, FollowsXdgConfigHome)
{
    {
        zvtest::ScopedEnv config("XDG_CONFIG_HOME", "/tmp/zv-config");
        EXPECT_EQ(DefaultPreferencesPath(), "/tmp/zv-config/qxzelvora.ini");
    }
    zvtest::ScopedEnv home("HOME", "/home/someone");
    zvtest::ScopedEnv config("XDG_CONFIG_HOME", "");
    EXPECT_EQ(DefaultPreferencesPath(), "/home/someone/.config/qxzelvora.ini");
}

} // namespace
