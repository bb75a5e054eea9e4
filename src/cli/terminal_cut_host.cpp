#include "terminal_cut_host.h"

#include "audio/app_error.h"

#include <csignal>

#include <iostream>
#include <unistd.h>

namespace {
constexpr int BarWidth = 30;
}

TTerminalCutHost::TTerminalCutHost()
    : m_drawBar(isatty(STDERR_FILENO) == 1)
{
}

void TTerminalCutHost::SetProgress(int percent)
{
    m_progress = percent;
    Draw();
}

void TTerminalCutHost::SetTexts(const std::string&, const std::string& text)
{
    m_text = text;
}

void TTerminalCutHost::ShowProgress()
{
    m_shown = true;
    Draw();
}

void TTerminalCutHost::HideProgress()
{
    if (m_shown && m_drawBar)
        std::cerr << '\n' << std::flush;
    m_shown = false;
}

bool TTerminalCutHost::AskShowFile(const std::string&, const std::string&)
{
    m_completed = true;
    return false;
}

void TTerminalCutHost::Draw() const
{
    if (!m_shown || !m_drawBar)
        return;
    const int filled = m_progress * BarWidth / 100;
    std::cerr << '\r' << m_text << " [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(BarWidth - filled), '-') << "] " << m_progress << '%'
              << std::flush;
}

namespace {
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int)
{
    g_interrupted = 1;
}
} // namespace

void TTerminalCutHost::CatchInterrupts()
{
    struct sigaction action { };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &action, nullptr);
}

void TTerminalCutHost::ProcessEvents()
{
    if (g_interrupted)
        throw AppError("剪切已中断，输出文件没有写成。");
}
