#include "fill_effect_manager.h"

#include "eq_preset_bands.h"

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
    const auto bands
        = options.EqPresetFile.empty() ? options.EqBands : ReadEqPresetBands(options.EqPresetFile);
    if (bands) {
        effects.SetEqOn(true);
        for (std::size_t i = 0; i < bands->size(); ++i)
            effects.SetBandGain(static_cast<int>(i), false, (*bands)[i]);
    }
}
