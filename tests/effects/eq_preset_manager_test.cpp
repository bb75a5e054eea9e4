#include "effects/eq_preset_manager.h"

#include "audio/app_error.h"
#include "effects/effect_settings.h"
#include "support/command.h"
#include "support/file_checks.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zvtest;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

using Bands = std::array<int, 10>;

TEST(EqPresetManager, LoadKeepsInRangeValuesAndReadsEverythingElseAsDefault)
{
    struct Case {
        std::string name;
        std::string text;
        Bands bands;
        int index;
        std::string presetName;
    };
    const std::vector<Case> cases {
        { "in range, any case", "[EQ]\nF70=-15\nf180 = 15\nf1000=+7\n[DESC]\nIndex=3\nNAME=Mine\n",
            { -15, 15, 0, 0, 7, 0, 0, 0, 0, 0 }, 3, "Mine" },
        { "out of range and unparsable",
            "[eq]\nf70=20\nf180=-16\nf320=40\nf600=abc\nf1000=3.5\nf3000=\n"
            "f6000=99999999999\nf12000=-3\n[desc]\nindex=x\nname=\n",
            { 0, 0, 0, 0, 0, 0, 0, -3, 0, 0 }, 100, "out of range and unparsable" },
        { "no keys", "This is not an INI file.\n", {}, 100, "no keys" },
        { "quoted name keeps its blank", "[desc]\nname=\"Loud vocal \"\n", {}, 100, "Loud vocal " },
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(c.name + ".zveq");
        writeBytes(file, c.text);
        TEqPreset preset;
        ASSERT_TRUE(TEqPresetManager::LoadPreset(file, preset));
        EXPECT_EQ(preset.Bands, c.bands);
        EXPECT_EQ(preset.Index, c.index);
        EXPECT_EQ(preset.Name, c.presetName);
    }
}

TEST(EqPresetManager, LoadOfAMissingFileOrAFolderFailsAndLeavesTheRecord)
{
    TempDir dir;
    fs::create_directory(dir.file("folder.zveq"));
    TEqPreset preset { 5, "kept", { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 } };
    for (const std::string& file : { dir.file("gone.zveq"), dir.file("folder.zveq") }) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(TEqPresetManager::LoadPreset(file, preset));
        EXPECT_EQ(preset.Index, 5);
        EXPECT_EQ(preset.Name, "kept");
        EXPECT_EQ(preset.Bands, (Bands { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
    }
}

TEST(EqPresetManager, SaveWritesOnlyTheBandsAndKeepsEverythingElseInTheFile)
{
    TempDir dir;
    const std::string file = dir.file("mine.zveq");
    writeBytes(file, "[desc]\nindex=3\nname=\"Loud vocal \"\n[EQ]\nF70=5\nextra=kept\n");
    const Bands bands { -15, -2, 0, 1, 2, 3, 4, 5, 6, 15 };
    TEqPresetManager::SavePreset(file, { 100, "not written", bands });

    TEqPreset loaded;
    ASSERT_TRUE(TEqPresetManager::LoadPreset(file, loaded));
    EXPECT_EQ(loaded.Bands, bands);
    EXPECT_EQ(loaded.Index, 3);
    EXPECT_EQ(loaded.Name, "Loud vocal ");
    const std::string text = readBytes(file);
    EXPECT_THAT(text, HasSubstr("extra=kept")) << text;
    EXPECT_EQ(text.find("f70"), std::string::npos) << "the existing key is rewritten, not added\n" << text;

    const std::string fresh = dir.file("fresh.zveq");
    TEqPresetManager::SavePreset(fresh, { 100, "not written", bands });
    EXPECT_EQ(readBytes(fresh).rfind("[eq]\nf70=-15\nf180=-2\n", 0), 0u) << readBytes(fresh);
    EXPECT_EQ(readBytes(fresh).find("desc"), std::string::npos);
}

TEST(EqPresetManager, RefusedWriteRaisesUnableToWrite)
{
    TempDir dir;
    std::vector<std::string> files { dir.file("no such folder/x.zveq") };
    // Root writes read-only files anyway.
    if (geteuid() != 0) {
        writeBytes(dir.file("read-only.zveq"), "[eq]\nf70=3\n");
        fs::permissions(dir.file("read-only.zveq"), fs::perms::owner_read);
        files.push_back(dir.file("read-only.zveq"));
    }
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        try {
            TEqPresetManager::SavePreset(file, {});
            ADD_FAILURE() << "no error";
        } catch (const AppError& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + file);
        }
    }
}

TEST(EqPresetManager, ScanListsFilesWithTheLowerCaseExtensionOnlyByFileName)
{
    TempDir dir;
    writeBytes(dir.file("b.zveq"), "[eq]\nf70=4\n");
    writeBytes(dir.file("a.zveq"), "[desc]\nname=First\n");
    writeBytes(dir.file("C.ZVEQ"), "[eq]\nf70=1\n");
    writeBytes(dir.file("notes.txt"), "[eq]\nf70=1\n");
    fs::create_directory(dir.file("d.zveq"));

    TEqPresetArray presets(1);
    TEqPresetManager(dir.path().string()).ScanPresets(presets);
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0].Name, "First");
    EXPECT_EQ(presets[1].Name, "b");
    EXPECT_EQ(presets[1].Bands[0], 4);

    TEqPresetManager(dir.file("missing")).ScanPresets(presets);
    EXPECT_TRUE(presets.empty());
}

TEST(EqPresetManager, ShippedPresetsHoldTenInRangeBandsAndTheirOwnNames)
{
    const std::string folder = binDir() + "/eq";
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string file = entry.path().string();
        SCOPED_TRACE(file);
        TEqPreset preset;
        ASSERT_TRUE(TEqPresetManager::LoadPreset(file, preset));
        names.push_back(preset.Name);
        EXPECT_NE(preset.Index, 100) << "a shipped preset has its own [desc] section";
        // A value beyond -15..15 would load as 0 and not match its line.
        const std::string text = readBytes(file);
        for (std::size_t band = 0; band < preset.Bands.size(); ++band) {
            const std::string line = "\nf" + std::to_string(EqBandTable[band].CentreHz) + "="
                + std::to_string(preset.Bands[band]) + "\n";
            EXPECT_THAT(text, HasSubstr(line));
        }
    }
    TEqPresetArray presets;
    TEqPresetManager(folder).ScanPresets(presets);
    EXPECT_EQ(presets.size(), names.size()) << "every file in " << folder << " is a listed preset";
    for (const char* name : { "Ringtone", "Loud vocal ", "消除爆音（低音过重）", "消除爆音（音量过大）" })
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end())
            << "missing preset \"" << name << '"';
}

} // namespace
