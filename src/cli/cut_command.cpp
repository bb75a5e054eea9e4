#include "cut_command.h"

#include "audio/app_error.h"
#include "audio/time_text.h"
#include "cutter/cutter.h"
#include "eq_preset_bands.h"
#include "source_facts.h"
#include "terminal_cut_host.h"

#include <filesystem>
#include <iostream>

namespace {

// As the page fills the manager: the master switch first, then each effect.
void FillEffectManager(TDecodeEffectManager& effects, const TCutOptions& options)
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

} // namespace

int RunCut(const TCutOptions& options)
{
    // A source shorter than the end point would give a short file that looks
    // complete: refuse it before anything is written.
    const TSourceFacts source = ReadSourceFacts(options.Source);
    if (options.EndMs > source.LengthMs)
        throw AppError("“结束时间”超出了源文件的长度（" + MsToTimeText(source.LengthMs) + "）。");

    const std::string output = TCutter::FinalOutputPath(options.Output, options.Format);
    std::error_code error;
    if (!options.Force && std::filesystem::exists(std::filesystem::symlink_status(output, error)))
        throw AppError("文件“" + output + "”已经存在。要覆盖它，请加上 --force。");

    TTerminalCutHost host;
    TCutter cutter(host);
    cutter.SourceFile = options.Source;
    FillEffectManager(cutter.DecodeEffects, options);
    cutter.Execute(options.StartMs, options.EndMs, options.Output, options.Bitrate, options.Format);
    if (!host.Completed())
        return 1;
    std::cout << output << '\n';
    return 0;
}
