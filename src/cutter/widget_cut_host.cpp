#include "cutter/widget_cut_host.h"

#include "audio/dialogs_service.h"
#include "cutter/cutter_progress_form.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

TWidgetCutHost::TWidgetCutHost(QWidget& mainWindow, TCutterProgressForm& progressForm)
    : m_mainWindow(mainWindow)
    , m_progressForm(progressForm)
{
}

void TWidgetCutHost::SetProgress(int percent)
{
    m_progressForm.SetProgress(percent);
}

int TWidgetCutHost::GetProgress() const
{
    return m_progressForm.GetProgress();
}

void TWidgetCutHost::SetTexts(const std::string& caption, const std::string& text)
{
    m_progressForm.SetTexts(QString::fromStdString(caption), QString::fromStdString(text));
}

void TWidgetCutHost::ShowProgress()
{
    m_progressForm.ShowCentredOn(&m_mainWindow);
}

void TWidgetCutHost::HideProgress()
{
    m_progressForm.hide();
}

void TWidgetCutHost::DisableWindows()
{
    SetWindowsEnabled(false);
}

void TWidgetCutHost::EnableWindows()
{
    SetWindowsEnabled(true);
}

void TWidgetCutHost::SetWindowsEnabled(bool enabled)
{
    m_mainWindow.setEnabled(enabled);
    if (m_equalizerWindow)
        m_equalizerWindow->setEnabled(enabled);
}

void TWidgetCutHost::ProcessEvents()
{
    QCoreApplication::processEvents();
}

bool TWidgetCutHost::AskShowFile(const std::string& caption, const std::string& text)
{
    return Dialogs().question(caption, text, true);
}

void TWidgetCutHost::ShowFile(const std::string& path)
{
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(file).absolutePath());
    QDBusConnection bus = m_fileManagerBus ? *m_fileManagerBus : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << QStringList { QUrl::fromLocalFile(file).toString() } << QString();
    // Asynchronous: starting a file manager may take seconds, and the cut's
    // windows are still disabled while this runs.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* finished) {
            if (finished->isError())
                QDesktopServices::openUrl(folder);
            finished->deleteLater();
        });
}
