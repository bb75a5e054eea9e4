#include "play_command.h"

#include "audio/app_error.h"
#include "audio/dialogs_service.h"
#include "audio/task_queue.h"
#include "audio/time_text.h"
#include "effects/effect_player.h"
#include "fill_effect_manager.h"

int RunPlay(const TPlayOptions& options)
{
    // The main thread stands in for the GUI thread; it outlives the player.
    TTaskQueue gui;
    TEffectPlayer player(options.Source, gui.Poster());
    const std::uint32_t endMs = options.EndMs.value_or(player.LengthMs());
    if (endMs > player.LengthMs())
        throw AppError("“结束时间”超出了源文件的长度（" + MsToTimeText(player.LengthMs()) + "）。");
    // A range that cannot start would never end: refuse it as the window does.
    if (endMs <= options.StartMs) {
        Dialogs().message("“开始时间”必须小于“结束时间”。");
        return 1;
    }
    FillEffectManager(player.Manager, options);
    bool stopped = false;
    player.OnStop = [&stopped] { stopped = true; };
    player.PlaySegment(options.StartMs, endMs);
    gui.RunUntil([&stopped] { return stopped; });
    return 0;
}
