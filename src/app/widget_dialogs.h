#pragma once
// The dialogs service over modal QMessageBoxes, owned by the active window.
// GUI thread only.

#include "audio/dialogs_service.h"

class WidgetDialogs : public DialogsService {
public:
    void message(const std::string& text) override;
    void show(const std::string& caption, const std::string& text, DialogIcon icon) override;
    bool question(const std::string& caption, const std::string& text, bool defaultYes) override;
};
