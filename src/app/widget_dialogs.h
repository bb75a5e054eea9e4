#pragma once
// The dialogs service over modal QMessageBoxes, owned by the active window.
// GUI thread only.

#include "audio/dialogs_service.h"

#include <QString>

class WidgetDialogs : public DialogsService {
public:
    void message(const std::string& text) override;
    void show(const std::string& caption, const std::string& text, DialogIcon icon) override;
    bool question(const std::string& caption, const std::string& text, bool defaultYes) override;
    // Opens in the folder of the last file picked here.
    std::string openFile(const std::string& title, const std::string& filter) override;
    // Opens in the request's folder, else where the last file dialog was.
    std::string saveFile(const SaveFileRequest& request) override;
    std::string chooseFolder(const std::string& text) override;

private:
    QString m_lastFolder;
};

// A "description|patterns|..." filter in QFileDialog's form, one
// "description (patterns)" entry per pair; a description that already ends
// with its patterns in brackets is kept as it is.
QString QtFileFilter(const std::string& filter);
