#include "effects/eq_preset_manager.h"

#include "app/simple_ini.h"
#include "audio/app_error.h"
#include "audio/decimal_integer.h"
#include "effects/effect_settings.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string BandKey(int band)
{
    return "f" + std::to_string(EqBandTable[band].CentreHz);
}

// The same INI rules for reading and writing: quoted values keep their
// blanks (a name such as "Loud vocal " needs them), keys are written as
// "key=value".
void Configure(CSimpleIniA& ini)
{
    ini.SetQuotes(true);
    ini.SetSpaces(false);
}

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& file)
{
    const FilePtr in(std::fopen(file.c_str(), "rb"));
    if (!in)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
        text.append(buffer, got);
    if (std::ferror(in.get()))
        return std::nullopt;
    return text;
}

AppError WriteRefused(const std::string& file)
{
    return AppError("Unable to write to " + file);
}

} // namespace

TEqPresetManager::TEqPresetManager(std::string Folder)
    : Folder(std::move(Folder))
{
}

bool TEqPresetManager::LoadPreset(const std::string& file, TEqPreset& preset)
{
    std::error_code error;
    if (!fs::is_regular_file(file, error))
        return false;
    const std::optional<std::string> text = ReadWholeFile(file);
    if (!text)
        return false;
    // Anything that is not INI text holds no keys: every value takes its default.
    CSimpleIniA ini;
    Configure(ini);
    ini.LoadData(*text);

    for (int band = 0; band < static_cast<int>(preset.Bands.size()); ++band) {
        const std::optional<int> value = ParseDecimalInteger(ini.GetValue("eq", BandKey(band).c_str(), ""));
        // Out of range reads as 0, not as the nearest end.
        preset.Bands[band] = value && *value >= -15 && *value <= 15 ? *value : 0;
    }
    preset.Index = ParseDecimalInteger(ini.GetValue("desc", "index", "")).value_or(100);
    preset.Name = ini.GetValue("desc", "name", "");
    if (preset.Name.empty())
        preset.Name = fs::path(file).stem().string();
    return true;
}

void TEqPresetManager::SavePreset(const std::string& file, const TEqPreset& preset)
{
    CSimpleIniA ini;
    Configure(ini);
    std::error_code error;
    if (fs::exists(file, error)) {
        // Writing over a file we could not read would lose its other keys.
        const std::optional<std::string> text = ReadWholeFile(file);
        if (!text)
            throw WriteRefused(file);
        ini.LoadData(*text);
    }
    for (int band = 0; band < static_cast<int>(preset.Bands.size()); ++band)
        ini.SetValue("eq", BandKey(band).c_str(), std::to_string(preset.Bands[band]).c_str());

    std::string text;
    // A file that began with a byte-order mark keeps it.
    if (ini.Save(text, ini.IsUnicode()) < 0)
        throw WriteRefused(file);
    FilePtr out(std::fopen(file.c_str(), "wb"));
    if (!out)
        throw WriteRefused(file);
    const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    // Closing flushes: a full disk shows only here.
    if (std::fclose(out.release()) != 0 || !written)
        throw WriteRefused(file);
}

void TEqPresetManager::ScanPresets(TEqPresetArray& presets) const
{
    presets.clear();
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator entry(Folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code typeError;
        if (entry->path().extension() == ".zveq" && !entry->is_directory(typeError))
            files.push_back(entry->path());
    }
    std::sort(files.begin(), files.end(),
        [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    for (const fs::path& file : files) {
        TEqPreset preset;
        if (LoadPreset(file.string(), preset))
            presets.push_back(std::move(preset));
    }
}
