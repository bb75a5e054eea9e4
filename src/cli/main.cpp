// zelvora-cli: the cut job and the effect preview on a terminal. Exit codes:
// 0 when the asked-for output is complete (or the range has played), 1 on
// failure, 2 on a command line that cannot run.

#include "audio/app_error.h"
#include "audio/dialogs_service.h"
#include "cli_options.h"
#include "cut_command.h"
#include "engine/engine.h"
#include "info_command.h"
#include "play_command.h"
#include "terminal_dialogs.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Decoding and encoding use the no-sound device, so they need no sound card;
// only play opens the default device.
class TEngineSession {
public:
    explicit TEngineSession(int device = zv::engine::NoSoundDevice)
        : m_opened(zv::engine::init(device, 44100))
    {
    }
    ~TEngineSession() { zv::engine::shutdown(); }
    TEngineSession(const TEngineSession&) = delete;
    TEngineSession& operator=(const TEngineSession&) = delete;
    bool Opened() const { return m_opened; }

private:
    bool m_opened;
};

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::cout << UsageText();
        return 0;
    }
    if (args.empty())
        throw TUsageError("缺少命令（info、cut 或 play）");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args.front() == "info") {
        const std::string source = ParseInfoOptions(rest);
        const TEngineSession engine;
        return RunInfo(source);
    }
    if (args.front() == "cut") {
        const TCutOptions options = ParseCutOptions(rest);
        const TEngineSession engine;
        return RunCut(options);
    }
    if (args.front() == "play") {
        const TPlayOptions options = ParsePlayOptions(rest);
        const TEngineSession engine(zv::engine::DefaultDevice);
        if (!engine.Opened())
            throw AppError("无法打开声音设备，请检查是否安装了声卡及其驱动程序。");
        return RunPlay(options);
    }
    throw TUsageError("未知的命令：" + args.front());
}

} // namespace

int main(int argc, char** argv)
{
    InstallDialogs(std::make_unique<TTerminalDialogs>());
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const TUsageError& error) {
        std::cerr << error.what() << "\n" << ShortUsageText();
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
