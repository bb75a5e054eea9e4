#pragma once
// Message boxes without a toolkit: the GUI installs its implementation, tests
// install a fake, and without either the texts go to standard error. Called
// on the GUI thread only.

#include <memory>
#include <string>

// The caption of plain messages and of the top-level error report.
inline constexpr const char* ApplicationTitle = "Zelvora";

enum class DialogIcon { None, Information, Warning, Error, Question };

struct SaveFileRequest {
    std::string title;
    std::string filter; // as for DialogsService::openFile
    std::string defaultExt; // without the dot; given to a name typed without an extension
    std::string folder; // where the dialog opens; "" for wherever it was last
    std::string fileName; // the name it shows at first
};

class DialogsService {
public:
    virtual ~DialogsService() = default;
    // Plain message: the application title as caption, no icon, OK.
    virtual void message(const std::string& text) = 0;
    // A box with its own caption and icon and one OK button.
    virtual void show(const std::string& caption, const std::string& text, DialogIcon icon) = 0;
    // Yes/No with the question icon; returns true for Yes. defaultYes picks the default button.
    virtual bool question(const std::string& caption, const std::string& text, bool defaultYes) = 0;
    // Lets the user pick one existing file; returns its full path, or "" when
    // cancelled. filter: description|patterns pairs joined by "|", patterns
    // separated by ";" ("Mp3 (*.mp3)|*.mp3|所有文件 (*.*)|*.*").
    virtual std::string openFile(const std::string& title, const std::string& filter) = 0;
    // Lets the user name a file to write; asks before overwriting an existing
    // one and accepts only existing folders. Returns the full path, or "".
    virtual std::string saveFile(const SaveFileRequest& request) = 0;
    // Lets the user pick an existing folder; text tells what it is for.
    // Returns the folder's path, or "" when cancelled.
    virtual std::string chooseFolder(const std::string& text) = 0;
};

// The installed service, or a default that writes to standard error, answers
// No and cancels file dialogs.
DialogsService& Dialogs();
// Takes ownership; nullptr restores the default.
void InstallDialogs(std::unique_ptr<DialogsService> service);
