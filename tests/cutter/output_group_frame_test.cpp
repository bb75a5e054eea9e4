#include "cutter/output_group_frame.h"

#include "audio/app_error.h"
#include "cutter/widget_balloon_hint.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace zvtest;
namespace fs = std::filesystem;

namespace {

constexpr const char* SaveTitle = "请指定输出文件的存放位置和文件名";
constexpr const char* SaveFilter = "Mp3 files (*.mp3)|*.mp3|iPhone 铃声 (*.m4r)|*.m4r";

// A source file in src/, an empty folder out/ and a link to src/ named link/.
class OutputGroupFrameTest : public ::testing::Test {
protected:
    OutputGroupFrameTest()
    {
        fs::create_directory(dir.path() / "src");
        fs::create_directory(dir.path() / "out");
        fs::create_directory_symlink(dir.path() / "src", dir.path() / "link");
        std::ofstream(source) << "audio";
    }

    template <typename T> T* Child(const char* name)
    {
        T* child = group.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            ADD_FAILURE() << "no control " << name;
        return child;
    }

    // "$" stands for the temporary folder.
    std::string Expand(const std::string& text) const
    {
        std::string result = text;
        for (std::size_t at; (at = result.find('$')) != std::string::npos;)
            result.replace(at, 1, dir.path().string());
        return result;
    }

    void ChooseUserFolder(const std::string& folder)
    {
        Child<QRadioButton>("radioOutToUserDefine")->click();
        Child<QLineEdit>("edtOutDir")->setText(QString::fromStdString(folder));
    }

    QToolButton* BrowseButton() { return Child<QLineEdit>("edtOutDir")->findChild<QToolButton*>(); }

    TBalloonHint* Hint() { return Child<TBalloonHint>("Hint1"); }
    void SendToBitrate(QEvent::Type type)
    {
        QEvent event(type);
        QCoreApplication::sendEvent(Child<QComboBox>("cbBitrate"), &event);
    }

    ScopedFakeDialogs dialogs;
    TempDir dir;
    std::string source = dir.file("src/song.wav");
    TOutputGroupFrame group;
};

// One line per box, with what matters of each kind.
std::string Describe(const Box& box)
{
    switch (box.kind) {
    case BoxKind::Message:
        return "message: " + box.text;
    case BoxKind::Question:
        return "question: " + box.caption + " | " + box.text + (box.defaultYes ? " | Yes" : " | No");
    case BoxKind::SaveFile:
        return "save: in '" + box.save.folder + "' name '" + box.save.fileName + "' ext "
            + box.save.defaultExt;
    default:
        return "other: " + box.caption + " | " + box.text;
    }
}

TEST_F(OutputGroupFrameTest, ResolveOutputPathFollowsFolderNameAndFileChecks)
{
    std::ofstream(dir.file("out/exists.m4r")) << "old";
    struct Case {
        const char* what;
        const char* userFolder; // nullptr: next to the source
        const char* name;
        const char* format;
        std::deque<bool> replies;
        std::deque<std::string> files;
        const char* expected;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        { "next to the source", nullptr, " [铃]song.mp3 ", "mp3", {}, {}, "$/src/[铃]song.mp3", {} },
        { "empty name opens the dialog in the source's folder", nullptr, "  ", "mp3", {}, { "/x/picked" },
            "/x/picked", { "save: in '$/src/' name '' ext mp3" } },
        { "dialog cancelled", nullptr, "", "M4R", {}, { "" }, "", { "save: in '$/src/' name '' ext m4r" } },
        { "user folder, empty name", "$/out", "", "m4r", {}, { "$/out/exists.m4r" }, "$/out/exists.m4r",
            { "save: in '$/out/' name '' ext m4r" } },
        { "no folder chosen: message, then the dialog with the typed name", "", " a.mp3 ", "m4r", {},
            { "/x/a.m4r" }, "/x/a.m4r",
            { "message: 请指定输出文件的存放目录", "save: in '' name 'a.m4r' ext m4r" } },
        { "m4r replaces the extension", "$/out/", "a.mp3", "m4r", {}, {}, "$/out/a.m4r", {} },
        { "m4r adds a missing extension", "$/out", "a", "M4r", {}, {}, "$/out/a.m4r", {} },
        { "mp3 names are used as typed", "$/out", "a", "mp3", {}, {}, "$/out/a", {} },
        { "invalid name", "$/out", "what?.mp3", "mp3", {}, {}, "",
            { "message: 输出文件名不能包含如下字符：\r \\ / : * ? \" < > |" } },
        { "existing file, Yes", "$/out", "exists.mp3", "m4r", { true }, {}, "$/out/exists.m4r",
            { "question: 目标文件已经存在 | 文件“exists.m4r”已经存在，是否覆盖？ | No" } },
        { "existing file, No", "$/out", "exists.m4r", "m4r", { false }, {}, "",
            { "question: 目标文件已经存在 | 文件“exists.m4r”已经存在，是否覆盖？ | No" } },
        { "the source itself", nullptr, "song.wav", "mp3", {}, {}, "",
            { "message: 输出文件不能是源文件本身，请另选输出文件。" } },
        { "the source through a linked folder", "$/link", "song.wav", "mp3", {}, {}, "",
            { "message: 输出文件不能是源文件本身，请另选输出文件。" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.userFolder)
            ChooseUserFolder(Expand(c.userFolder));
        else
            Child<QRadioButton>("radioOutAsSource")->click();
        Child<QLineEdit>("edtOutFileName")->setText(QString::fromStdString(c.name));
        dialogs->boxes.clear();
        dialogs->replies = c.replies;
        for (const std::string& file : c.files)
            dialogs->files.push_back(Expand(file));

        EXPECT_EQ(group.ResolveOutputPath(c.format, source), Expand(c.expected));
        std::vector<std::string> boxes;
        for (const Box& box : dialogs->boxes) {
            boxes.push_back(Describe(box));
            if (box.kind == BoxKind::SaveFile) {
                EXPECT_EQ(box.save.title, SaveTitle);
                EXPECT_EQ(box.save.filter, SaveFilter);
            }
        }
        std::vector<std::string> expectedBoxes;
        for (const std::string& box : c.boxes)
            expectedBoxes.push_back(Expand(box));
        EXPECT_EQ(boxes, expectedBoxes);
    }
}

TEST_F(OutputGroupFrameTest, ResolveOutputPathRaisesWhenTheSourceGivesNoFolder)
{
    Child<QLineEdit>("edtOutFileName")->setText(QStringLiteral("a.mp3"));
    const auto raised = [this](const std::string& sourceFile) {
        try {
            group.ResolveOutputPath("mp3", sourceFile);
        } catch (const AppError& error) {
            return std::string(error.what());
        }
        return std::string("nothing raised");
    };
    EXPECT_EQ(raised(""), "系统异常，源文件为空。");
    EXPECT_EQ(raised("song.wav"), "系统异常，无法解析目录名。请直接指定输出目录。");
    EXPECT_TRUE(dialogs->boxes.empty());
}

TEST_F(OutputGroupFrameTest, BitrateAndDefaultName)
{
    EXPECT_EQ(group.SelectedBitrate(), 128);
    Child<QComboBox>("cbBitrate")->setCurrentText(QStringLiteral("320"));
    EXPECT_EQ(group.SelectedBitrate(), 320);

    const std::pair<const char*, const char*> names[] = {
        { "/music/song.wma", "[铃]song.mp3" },
        { "/music.d/铃声.live.WMA", "[铃]铃声.live.mp3" },
        { "/music/noext", "[铃]noext.mp3" },
        { "/music/", "" },
        { "", "" },
    };
    for (const auto& [path, name] : names) {
        group.SetDefaultOutputName("/music/previous.mp3");
        group.SetDefaultOutputName(path);
        EXPECT_EQ(Child<QLineEdit>("edtOutFileName")->text().toStdString(), name) << path;
    }
}

TEST_F(OutputGroupFrameTest, FolderEditFollowsTheRadiosAndTheSource)
{
    const char* controls[]
        = { "btnExecute", "radioOutAsSource", "radioOutToUserDefine", "edtOutFileName", "cbBitrate" };
    auto* outDir = Child<QLineEdit>("edtOutDir");

    group.EnableForSource(false);
    for (const char* name : controls)
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(outDir->isEnabled());

    group.EnableForSource(true);
    for (const char* name : controls)
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(outDir->isEnabled());

    QTest::mouseClick(Child<QRadioButton>("radioOutToUserDefine"), Qt::LeftButton);
    EXPECT_TRUE(outDir->isEnabled());
    dialogs->files = { Expand("$/out") };
    QTest::mouseClick(BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs->texts(), std::vector<std::string>({ "" }));
    EXPECT_EQ(dialogs->boxes.at(0).caption, "请选择剪切文件的存放目录。");
    EXPECT_EQ(outDir->text().toStdString(), Expand("$/out"));

    group.EnableForSource(false);
    EXPECT_FALSE(BrowseButton()->isEnabled());
    group.EnableForSource(true);
    EXPECT_TRUE(outDir->isEnabled());

    QTest::mouseClick(Child<QRadioButton>("radioOutAsSource"), Qt::LeftButton);
    EXPECT_FALSE(outDir->isEnabled());
    EXPECT_FALSE(BrowseButton()->isEnabled());
}

TEST_F(OutputGroupFrameTest, ExecuteAndFormatMenuAskForTheirFormat)
{
    QSignalSpy requests(&group, &TOutputGroupFrame::cutRequested);
    auto* execute = Child<QToolButton>("btnExecute");
    EXPECT_EQ(execute->text(), QStringLiteral("开始剪切"));
    EXPECT_EQ(execute->menu(), Child<QMenu>("pMenuOutputFormat"));
    QTest::mouseClick(execute, Qt::LeftButton, {}, QPoint(10, execute->height() / 2));
    Child<QAction>("miMp3")->trigger();
    Child<QAction>("miM4r")->trigger();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].at(0).toString(), QStringLiteral("mp3"));
    EXPECT_EQ(requests[1].at(0).toString(), QStringLiteral("mp3"));
    EXPECT_EQ(requests[2].at(0).toString(), QStringLiteral("m4r"));
}

TEST_F(OutputGroupFrameTest, BitrateHintShowsOnEnterUntilLeaveOrTimeout)
{
    SendToBitrate(QEvent::Enter);
    ASSERT_TRUE(Hint()->isVisible());
    EXPECT_EQ(Hint()->Header(), QStringLiteral("比特率"));
    EXPECT_EQ(
        Hint()->Text(), QStringLiteral("数值越大音质越好，生成的文件也越大；\n\n反之则音质较差，文件较小。"));
    SendToBitrate(QEvent::Leave);
    EXPECT_FALSE(Hint()->isVisible());

    SendToBitrate(QEvent::Enter);
    auto* timer = Hint()->findChild<QTimer*>(QStringLiteral("timerHide"));
    ASSERT_TRUE(timer && timer->isActive());
    EXPECT_EQ(timer->interval(), 8000);
    QTimerEvent timeout(timer->timerId());
    QCoreApplication::sendEvent(timer, &timeout);
    EXPECT_FALSE(Hint()->isVisible());

    auto* bitrate = Child<QComboBox>("cbBitrate");
    group.show();
    bitrate->showPopup();
    ASSERT_TRUE(bitrate->view()->isVisible());
    SendToBitrate(QEvent::Enter);
    EXPECT_FALSE(Hint()->isVisible());
    bitrate->hidePopup();
}

} // namespace
