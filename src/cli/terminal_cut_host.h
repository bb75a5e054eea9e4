#pragma once
// The cut job's host on a terminal: a progress bar on standard error when
// that is a terminal, no windows, and a completion question answered No (the
// caller prints the written path instead).

#include "cutter/cut_host.h"

class TTerminalCutHost : public TCutHost {
public:
    TTerminalCutHost();

    void SetProgress(int percent) override;
    int GetProgress() const override { return m_progress; }
    void SetTexts(const std::string& caption, const std::string& text) override;
    void ShowProgress() override;
    void HideProgress() override;
    void DisableWindows() override { }
    void EnableWindows() override { }
    // Ends the cut with an error once the user interrupted the program, so
    // the job removes its unfinished file on the way out.
    void ProcessEvents() override;
    bool AskShowFile(const std::string& caption, const std::string& text) override;
    void ShowFile(const std::string&) override { }

    // True once the job reported a finished file.
    bool Completed() const { return m_completed; }

    // Makes SIGINT, SIGTERM and SIGHUP interrupt the cut instead of killing
    // the program mid-file. Spawned encoders still get the default action.
    static void CatchInterrupts();

private:
    void Draw() const;

    bool m_drawBar;
    bool m_shown = false;
    bool m_completed = false;
    int m_progress = 0;
    std::string m_text;
};
