#pragma once
// Message boxes as lines on standard error; questions are answered No and
// file dialogs cancelled, so a run never waits for input.

#include "audio/dialogs_service.h"

class TTerminalDialogs : public DialogsService {
public:
    void message(const std::string& text) override;
    void show(const std::string& caption, const std::string& text, DialogIcon icon) override;
    bool question(const std::string& caption, const std::string& text, bool defaultYes) override;
    std::string openFile(const std::string& title, const std::string& filter) override;
    std::string saveFile(const SaveFileRequest& request) override;
    std::string chooseFolder(const std::string& text) override;
};
