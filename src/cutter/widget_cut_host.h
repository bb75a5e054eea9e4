#pragma once
// The cut job's host in the program: the progress window, the windows a cut
// disables, the completion question through the dialogs service and the file
// manager. GUI thread only.

#include "cutter/cut_host.h"

#include <QDBusConnection>
#include <QPointer>
#include <QWidget>
#include <optional>

class TCutterProgressForm;

class TWidgetCutHost : public TCutHost {
public:
    // Both windows outlive the host.
    TWidgetCutHost(QWidget& mainWindow, TCutterProgressForm& progressForm);

    // The equalizer window, disabled and enabled with the main window; none
    // until it exists.
    void SetEqualizerWindow(QWidget* window) { m_equalizerWindow = window; }

    void SetProgress(int percent) override;
    int GetProgress() const override;
    void SetTexts(const std::string& caption, const std::string& text) override;
    // Not modal, centred on the main window.
    void ShowProgress() override;
    void HideProgress() override;
    void DisableWindows() override;
    void EnableWindows() override;
    void ProcessEvents() override;
    // Yes/No with Yes as the default.
    bool AskShowFile(const std::string& caption, const std::string& text) override;
    // Asks the desktop's file manager over D-Bus to select the file; opens
    // its folder instead when no file manager answers. Does not wait.
    void ShowFile(const std::string& path) override;
    // The bus ShowFile looks for the file manager on; the session bus, which
    // is connected only then, unless set.
    void SetFileManagerBus(const QDBusConnection& bus) { m_fileManagerBus = bus; }

private:
    void SetWindowsEnabled(bool enabled);

    QWidget& m_mainWindow;
    TCutterProgressForm& m_progressForm;
    QPointer<QWidget> m_equalizerWindow;
    std::optional<QDBusConnection> m_fileManagerBus;
};
