#include "eq_preset_bands.h"

#include "app/simple_ini.h"
#include "audio/app_error.h"
#include "effects/effect_settings.h"

#include <cstdlib>
#include <filesystem>

namespace {

int BandValue(const char* text)
{
    if (!text)
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == text || *end != '\0' || value < -15 || value > 15)
        return 0;
    return static_cast<int>(value);
}

} // namespace

std::array<float, 10> ReadEqPresetBands(const std::string& path)
{
    std::error_code error;
    CSimpleIniA ini; // case-insensitive sections and keys
    if (!std::filesystem::is_regular_file(path, error) || ini.LoadFile(path.c_str()) < 0)
        throw AppError("均衡器预设文件打开失败：" + path);
    std::array<float, 10> bands {};
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const std::string key = "f" + std::to_string(EqBandTable[i].CentreHz);
        bands[i] = static_cast<float>(BandValue(ini.GetValue("eq", key.c_str())));
    }
    return bands;
}
