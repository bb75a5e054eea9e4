#include "fill_effect_manager.h"

#include "audio/app_error.h"
#include "effects/eq_preset_manager.h"

#include <array>
#include <optional>

namespace {

std::array<float, 10> ReadPresetBands(const std::string& file)
{
    TEqPreset preset;
    if (!TEqPresetManager::LoadPreset(file, preset))
        throw AppError("均衡器预设文件打开失败：" + file);
    std::array<float, 10> bands {};
    for (std::size_t i = 0; i < bands.size(); ++i)
        bands[i] = static_cast<float>(preset.Bands[i]);
    return bands;
}

} // namespace

void FillEffectManager(TEffectManager& effects, const TEffectOptions& options)
{
    if (!options.HasEffects())
        return;
    effects.SetEnabled(true);
    if (options.GainDb) {
        effects.SetGainOn(true);
        effects.SetGain(*options.GainDb);
    }
    if (options.TempoPercent) {
        effects.SetTempoOn(true);
        effects.SetTempo(*options.TempoPercent);
    }
    if (options.FadeInMs) {
        effects.SetFadeInOn(true);
        effects.SetFadeInMs(*options.FadeInMs);
    }
    if (options.FadeOutMs) {
        effects.SetFadeOutOn(true);
        effects.SetFadeOutMs(*options.FadeOutMs);
    }
    const std::optional<std::array<float, 10>> bands
        = options.EqPresetFile.empty() ? options.EqBands : ReadPresetBands(options.EqPresetFile);
    if (bands) {
        effects.SetEqOn(true);
        for (std::size_t i = 0; i < bands->size(); ++i)
            effects.SetBandGain(static_cast<int>(i), false, (*bands)[i]);
    }
}
