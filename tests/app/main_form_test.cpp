#include "app/main_form.h"

#include "cutter/cutter.h"
#include "cutter/cutter_frame.h"
#include "cutter/cutter_progress_form.h"
#include "cutter/player.h"
#include "engine/engine.h"
#include "support/fake_dialogs.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace zvtest;

namespace {

class MainFormTest : public ::testing::Test {
protected:
    std::string Tone(const std::string& name, double seconds)
    {
        const std::string path = dir.file(name);
        writeWav(path, sine(440, seconds, 8000, 1, 0.2));
        return path;
    }

    ScopedFakeDialogs dialogs;
    TempDir dir;
    TCutterProgressForm progress;
    TMainForm form { progress };
};

TEST_F(MainFormTest, ShowsFourPagesInAFixedWindowCaptionedWithNameAndVersion)
{
    ASSERT_TRUE(form.Initialised());
    form.show();
    EXPECT_EQ(form.windowTitle(), "Zelvora 6.5");
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), QSize(464, 473));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.font().pixelSize(), 12);

    auto* pages = form.findChild<QTabWidget*>("JvPageControl1");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->size(), QSize(456, 465));
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i)
        captions << pages->tabText(i);
    EXPECT_EQ(captions, QStringList({ "剪切", "合并", "使用帮助", "关于" }));
    EXPECT_EQ(pages->currentIndex(), 0);

    auto* help = form.findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isReadOnly());
    EXPECT_TRUE(help->toPlainText().contains("【功能特点】"));
    EXPECT_TRUE(help->toPlainText().contains("【使用指南】"));

    auto* about = form.findChild<QGroupBox*>("gboxAbout");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->title(), "软件信息");
    QStringList aboutTexts;
    for (const QLabel* label : about->findChildren<QLabel*>())
        aboutTexts << label->text();
    EXPECT_TRUE(aboutTexts.join(' ').contains("Zelvora"));
    EXPECT_TRUE(aboutTexts.join(' ').contains("6.5"));
    EXPECT_TRUE(dialogs->boxes.empty());
}

TEST_F(MainFormTest, ClosingWhileSomethingPlaysFreesThePlayersBeforeTheAudioOutput)
{
    const std::string path = Tone("song.wav", 5);
    for (const char* playing : { "btnSourcePlay", "btnSegPlay" }) {
        SCOPED_TRACE(playing);
        TCutterProgressForm progressForm;
        TMainForm window(progressForm);
        window.show();
        TCutterFrame& page = *window.CutterFrame();
        page.LoadSourceFile(path);
        QTest::mouseClick(page.findChild<QAbstractButton*>(playing), Qt::LeftButton);
        ASSERT_TRUE(page.SourcePlayer->Playing() || page.SegmentPlayer->Playing());
        QTest::qWait(100);

        EXPECT_TRUE(window.close());
        EXPECT_FALSE(window.isVisible());
        EXPECT_FALSE(page.SourcePlayer);
        EXPECT_FALSE(page.SegmentPlayer);
        EXPECT_EQ(zv::engine::streamCreateFile(path, 0), 0u);
        EXPECT_EQ(zv::engine::lastError(), zv::engine::NotInitialised);
        // Anything the players posted before they went is dropped.
        QTest::qWait(100);
    }
    EXPECT_TRUE(dialogs->boxes.empty());
}

TEST_F(MainFormTest, TheDisabledWindowOfACutCannotBeClosed)
{
    const std::string path = Tone("song.wav", 2);
    form.show();
    form.setEnabled(false);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    const zv::engine::Handle stream = zv::engine::streamCreateFile(path, 0);
    EXPECT_NE(stream, 0u) << "the audio output must stay open";
    zv::engine::streamFree(stream);
}

TEST_F(MainFormTest, ADroppedFileBecomesTheCutterSource)
{
    const std::string path = Tone("dropped.wav", 2);
    auto* pages = form.findChild<QTabWidget*>("JvPageControl1");
    pages->setCurrentIndex(2);

    QMimeData data;
    data.setUrls(
        { QUrl::fromLocalFile(dir.path().c_str()), QUrl::fromLocalFile(QString::fromStdString(path)) });
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &drop);

    EXPECT_EQ(form.CutterFrame()->Cutter().SourceFile, path);
    EXPECT_TRUE(form.CutterFrame()->SourcePlayer);
    EXPECT_EQ(pages->currentIndex(), 0);

    QMimeData folderOnly;
    folderOnly.setUrls({ QUrl::fromLocalFile(dir.path().c_str()) });
    QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &folderOnly, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QCoreApplication::sendEvent(&form, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

} // namespace
