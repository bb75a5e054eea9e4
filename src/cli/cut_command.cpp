#include "cut_command.h"

#include "audio/app_error.h"
#include "audio/time_text.h"
#include "cutter/cutter.h"
#include "engine/engine.h"
#include "fill_effect_manager.h"
#include "source_facts.h"
#include "terminal_cut_host.h"

#include <filesystem>
#include <iostream>

int RunCut(const TCutOptions& options)
{
    // Loading the decoders takes longer than anything else at start: the
    // encoder starts up meanwhile, and an MP3 source is indexed.
    zv::engine::loadDecodersInBackground();
    TTerminalCutHost host;
    // Before the encoder starts, so an interrupt cannot leave its file behind.
    TTerminalCutHost::CatchInterrupts();
    TCutter cutter(host);
    cutter.SourceFile = options.Source;
    cutter.Prepare(options.Output, options.Bitrate, options.Format);

    // A source shorter than the end point would give a short file that looks
    // complete: refuse it before anything is written.
    const TSourceFacts source = ReadSourceFacts(cutter.OpenSource());
    if (options.EndMs > source.LengthMs)
        throw AppError("“结束时间”超出了源文件的长度（" + MsToTimeText(source.LengthMs) + "）。");

    const std::string output = TCutter::FinalOutputPath(options.Output, options.Format);
    std::error_code error;
    if (!options.Force && std::filesystem::exists(std::filesystem::symlink_status(output, error)))
        throw AppError("文件“" + output + "”已经存在。要覆盖它，请加上 --force。");

    FillEffectManager(cutter.DecodeEffects, options);
    cutter.Execute(options.StartMs, options.EndMs, options.Output, options.Bitrate, options.Format);
    if (!host.Completed())
        return 1;
    std::cout << output << '\n';
    return 0;
}
