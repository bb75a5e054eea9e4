#pragma once
// What the cut job needs of the windows around it. The GUI implements it with
// the progress window, the main window and the equalizer window; the CLI on
// the terminal; tests fake it. Called on the thread that runs the cut.

#include <string>

class TCutHost {
public:
    virtual ~TCutHost() = default;

    virtual void SetProgress(int percent) = 0;
    virtual int GetProgress() const = 0;
    virtual void SetTexts(const std::string& caption, const std::string& text) = 0;
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
    // The main and equalizer windows, so no second cut starts while one runs.
    virtual void DisableWindows() = 0;
    virtual void EnableWindows() = 0;
    // Keeps the interface painted; called at most once per whole percent.
    virtual void ProcessEvents() = 0;
    // The completion question; true for Yes.
    virtual bool AskShowFile(const std::string& caption, const std::string& text) = 0;
    // Shows the file in the file manager, selected.
    virtual void ShowFile(const std::string& path) = 0;
};
