#include "cutter/widget_cut_host.h"

#include "cutter/cutter_progress_form.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <fstream>
#include <gtest/gtest.h>

using namespace zvtest;

namespace {

TEST(WidgetCutHost, ACutDisablesBothWindowsAndShowsTheProgressWindow)
{
    QWidget mainWindow;
    QWidget equalizer;
    TCutterProgressForm progress;
    TWidgetCutHost host(mainWindow, progress);
    host.SetEqualizerWindow(&equalizer);
    mainWindow.show();

    host.DisableWindows();
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_FALSE(equalizer.isEnabled());
    host.SetTexts("正在剪切", "正在剪切，请稍等……");
    host.SetProgress(37);
    host.ShowProgress();
    EXPECT_TRUE(progress.isVisible());
    EXPECT_TRUE(progress.isEnabled());
    EXPECT_EQ(progress.windowTitle(), "正在剪切");
    EXPECT_EQ(host.GetProgress(), 37);

    host.HideProgress();
    host.EnableWindows();
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_TRUE(equalizer.isEnabled());
}

TEST(WidgetCutHost, TheCompletionQuestionDefaultsToYes)
{
    QWidget mainWindow;
    TCutterProgressForm progress;
    TWidgetCutHost host(mainWindow, progress);
    ScopedFakeDialogs dialogs;
    dialogs->replies = { true, false };
    EXPECT_TRUE(host.AskShowFile("剪切完成", "剪切完成，要打开文件所在目录吗？"));
    EXPECT_FALSE(host.AskShowFile("剪切完成", "剪切完成，要打开文件所在目录吗？"));
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[0].caption, "剪切完成");
    EXPECT_EQ(dialogs->boxes[0].text, "剪切完成，要打开文件所在目录吗？");
    EXPECT_TRUE(dialogs->boxes[0].defaultYes);
}

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;
    QString startupId;

public slots:
    void ShowItems(const QStringList& uris, const QString& startup)
    {
        shown = uris;
        startupId = startup;
    }
};

// Receives what QDesktopServices would open.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};

// A session bus of the test's own, with no services to start, so no real
// file manager can answer.
class PrivateBus {
public:
    explicit PrivateBus(const TempDir& dir)
    {
        const std::string config = dir.file("bus.conf");
        std::ofstream(config)
            << "<busconfig><type>session</type><listen>unix:dir=" << dir.path().string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>";
        m_daemon.start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                QStringLiteral("--config-file=") + QString::fromStdString(config) });
        if (m_daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    QString address;

private:
    QProcess m_daemon;
};

TEST(WidgetCutHost, ShowFileAsksTheFileManagerAndOpensTheFolderWhenNoneAnswers)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TempDir dir;
    PrivateBus bus(dir);
    ASSERT_FALSE(bus.address.isEmpty());
    QDBusConnection managerSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("file-manager"));
    QDBusConnection programSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("program"));
    ASSERT_TRUE(managerSide.isConnected() && programSide.isConnected());
    FakeFileManager manager;
    ASSERT_TRUE(managerSide.registerObject(
        QStringLiteral("/org/freedesktop/FileManager1"), &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(managerSide.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    QWidget mainWindow;
    TCutterProgressForm progress;
    TWidgetCutHost host(mainWindow, progress);
    host.SetFileManagerBus(programSide);
    const std::string file = dir.file("[铃]song 1.mp3");

    host.ShowFile(file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 5000));
    EXPECT_EQ(manager.shown, QStringList { QUrl::fromLocalFile(QString::fromStdString(file)).toString() });
    EXPECT_EQ(manager.startupId, "");
    EXPECT_TRUE(opened.urls.isEmpty());

    managerSide.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    host.ShowFile(file);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 5000));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opened.urls, QList<QUrl> { QUrl::fromLocalFile(QString::fromStdString(dir.path().string())) });
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}

} // namespace

#include "widget_cut_host_test.moc"
