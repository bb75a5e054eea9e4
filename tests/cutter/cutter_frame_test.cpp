#include "cutter/cutter_frame.h"

#include "app/widget_post.h"
#include "audio/app_error.h"
#include "controls/multi_slider_trackbar.h"
#include "cutter/cutter.h"
#include "cutter/cutter_progress_form.h"
#include "cutter/player.h"
#include "cutter/widget_cut_host.h"
#include "cutter/widget_spin_button.h"
#include "support/fake_dialogs.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace zvtest;

namespace {

// trackBarSource: 377 pixels wide, margins 8, 1, 8: the range slot starts at
// x = 9 and is 360 pixels wide; y = 4 hits only the main slider, y = 20 only
// the range sliders.
constexpr int SlotLeft = 9;
constexpr int MainY = 4;
constexpr int RangeY = 20;

// The page on the audio output as the program opens it (SDL's dummy driver
// in tests, which plays in real time); the players' notifications come
// through the Qt event loop as in the program.
class CutterFrameTest : public ::testing::Test {
protected:
    CutterFrameTest() { frame.InitFrame(host, WidgetPost()); }
    ~CutterFrameTest() override { frame.DoneFrame(); }

    template <typename T> T* Child(const char* name)
    {
        T* child = frame.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            ADD_FAILURE() << "no control " << name;
        return child;
    }

    // A silent-enough mono tone, small at 8 kHz even for minutes.
    std::string Tone(const std::string& name, double seconds)
    {
        const std::string path = dir.file(name);
        writeWav(path, sine(440, seconds, 8000, 1, 0.2));
        return path;
    }

    // Each load on a file of its own: the players still read the last one.
    void Load(double seconds)
    {
        frame.LoadSourceFile(Tone("source" + std::to_string(++m_loads) + ".wav", seconds));
        dialogs->boxes.clear();
    }

    QString StartText() { return Child<QLineEdit>("edtStartPoint")->text(); }
    QString EndText() { return Child<QLineEdit>("edtEndPoint")->text(); }
    void SetPoints(const char* start, const char* end)
    {
        Child<QLineEdit>("edtStartPoint")->setText(QString::fromLatin1(start));
        Child<QLineEdit>("edtEndPoint")->setText(QString::fromLatin1(end));
    }
    void Leave(const char* edit)
    {
        QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(Child<QLineEdit>(edit), &event);
    }
    int SliderAt(TSliderNumber slider) { return Bar()->GetSliderPosition(slider); }
    TMultiSliderTrackbar* Bar() { return Child<TMultiSliderTrackbar>("trackBarSource"); }
    void Mouse(QWidget* target, QEvent::Type type, int x, int y, Qt::MouseButtons buttons)
    {
        const QPointF point(x, y);
        QMouseEvent event(type, point, target->mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    void Drag(QWidget* target, int fromX, int toX, int y)
    {
        Mouse(target, QEvent::MouseButtonPress, fromX, y, Qt::LeftButton);
        Mouse(target, QEvent::MouseMove, toX, y, Qt::LeftButton);
        Mouse(target, QEvent::MouseButtonRelease, toX, y, Qt::NoButton);
    }
    void Click(const char* button) { QTest::mouseClick(Child<QAbstractButton>(button), Qt::LeftButton); }
    void Tick(const char* timer)
    {
        QTimer* t = Child<QTimer>(timer);
        ASSERT_TRUE(t->isActive()) << timer;
        QTimerEvent event(t->timerId());
        QCoreApplication::sendEvent(t, &event);
    }
    int SourcePlayImage() { return Child<QToolButton>("btnSourcePlay")->property("ImageIndex").toInt(); }
    QString SegCaption() { return Child<QPushButton>("btnSegPlay")->text(); }
    int SegThumb() { return Child<QSlider>("trackBarSeg")->value(); }

    ScopedFakeDialogs dialogs;
    TempDir dir;
    QWidget mainWindow;
    TCutterProgressForm progress;
    TWidgetCutHost host { mainWindow, progress };
    TCutterFrame frame;

private:
    int m_loads = 0;
};

TEST_F(CutterFrameTest, LoadingShowsTheLengthAndEnablesThePointControls)
{
    struct Case {
        double seconds;
        int max;
        const char* total;
    };
    // 122.5 half-seconds round to even.
    for (const Case& c : { Case { 180, 360, "03:00.000" }, Case { 61.25, 122, "01:01.250" } }) {
        SCOPED_TRACE(c.total);
        const std::string path = Tone(std::string(c.total).replace(2, 1, "-") + ".wav", c.seconds);
        frame.LoadSourceFile(path);

        EXPECT_EQ(Bar()->Max(), c.max);
        EXPECT_EQ(Child<QLabel>("lbTotalTime")->text(), c.total);
        EXPECT_EQ(Child<QLabel>("lbCurrentTime")->text(), "00:00.000");
        EXPECT_EQ(StartText(), "00:00.000");
        EXPECT_EQ(EndText(), c.total);
        EXPECT_EQ(SliderAt(SliderNumber_1), 0);
        EXPECT_EQ(SliderAt(SliderNumber_2), Bar()->SlotWidth());
        EXPECT_EQ(frame.Cutter().SourceFile, path);
        EXPECT_EQ(Child<QLineEdit>("edtSourceFile")->text().toStdString(), path);
        for (const char* name :
            { "trackBarSource", "btnSourcePlay", "btnStartPoint", "edtStartPoint", "spinStartPoint",
                "btnEndPoint", "edtEndPoint", "spinEndPoint", "trackBarSeg", "btnSegPlay", "lbCurrentTime" })
            EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(dialogs->boxes.empty());
}

TEST_F(CutterFrameTest, BeforeAnySourceThePointControlsAreDisabled)
{
    for (const char* name :
        { "trackBarSource", "btnSourcePlay", "edtStartPoint", "spinEndPoint", "btnSegPlay" })
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(Child<QWidget>("btnOpenSource")->isEnabled());
    EXPECT_FALSE(Child<QWidget>("btnRecord")->isEnabled());
    EXPECT_TRUE(frame.Cutter().SourceFile.empty());
}

TEST_F(CutterFrameTest, OpenDialogLoadsThePickedFileAndCancellingKeepsTheSource)
{
    const std::string first = Tone("first.wav", 2);
    dialogs->files = { first, "" };
    Click("btnOpenSource");
    ASSERT_TRUE(frame.SourcePlayer);
    EXPECT_EQ(frame.Cutter().SourceFile, first);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].kind, BoxKind::OpenFile);
    EXPECT_EQ(dialogs->boxes[0].caption, "选择待剪切的音乐文件");
    EXPECT_EQ(dialogs->boxes[0].text,
        "支持的格式(mp3/wma/wav)|*.mp3;*.wma;*.wav|Mp3 (*.mp3)|*.mp3|Wma (*.wma)|*.wma|Wav (*.wav)|*.wav|"
        "所有文件 (*.*)|*.*");

    const TPlayer* player = frame.SourcePlayer.get();
    Click("btnOpenSource");
    EXPECT_EQ(frame.SourcePlayer.get(), player);
    EXPECT_EQ(frame.Cutter().SourceFile, first);
}

TEST_F(CutterFrameTest, AFileThatCannotBeOpenedLeavesNoUsableSource)
{
    Load(2);
    const QString shown = Child<QLineEdit>("edtSourceFile")->text();
    const std::string bad = dir.file("notes.mp3");
    std::ofstream(bad) << "not audio";

    EXPECT_THROW(frame.LoadSourceFile(bad), AppError);
    EXPECT_FALSE(frame.SourcePlayer);
    EXPECT_FALSE(frame.SegmentPlayer);
    EXPECT_TRUE(frame.Cutter().SourceFile.empty());
    EXPECT_FALSE(Child<QWidget>("edtStartPoint")->isEnabled());
    EXPECT_FALSE(Child<QWidget>("btnSegPlay")->isEnabled());
    EXPECT_EQ(Child<QLineEdit>("edtSourceFile")->text(), shown);

    // Picked with the button, the error is reported before it leaves the click.
    dialogs->files = { bad };
    Click("btnOpenSource");
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[1].icon, DialogIcon::Error);
    EXPECT_EQ(dialogs->boxes[1].text, "文件打开失败（不支持的文件格式）(41)");
}

TEST_F(CutterFrameTest, TypedPointsMoveTheirSlidersAndOnlyTheEndIsClampedOnLeaving)
{
    Load(180);
    auto* start = Child<QLineEdit>("edtStartPoint");
    start->setFocus();
    start->setCursorPosition(0);
    QTest::keyClicks(start, "0130000");
    EXPECT_EQ(StartText(), "01:30.000");
    EXPECT_EQ(SliderAt(SliderNumber_1), 180);
    Leave("edtStartPoint");
    EXPECT_EQ(StartText(), "01:30.000");
    EXPECT_EQ(SliderAt(SliderNumber_1), 180);

    SetPoints("05:00.000", "04:00.000");
    Leave("edtStartPoint");
    Leave("edtEndPoint");
    EXPECT_EQ(StartText(), "05:00.000");
    EXPECT_EQ(EndText(), "03:00.000");

    // An incomplete text leaves the slider; leaving the field fills the blanks.
    start->setText("00:4");
    EXPECT_EQ(start->displayText(), "00:4_.___");
    EXPECT_EQ(SliderAt(SliderNumber_1), Bar()->SlotWidth());
    Leave("edtStartPoint");
    EXPECT_EQ(StartText(), "00:40.000");
    EXPECT_EQ(SliderAt(SliderNumber_1), 80);
}

TEST_F(CutterFrameTest, SpinButtonsStepByThreeHundredMillisecondsWithinTheFile)
{
    Load(180);
    struct Case {
        const char* edit;
        const char* spin;
        bool up;
        const char* before;
        const char* after;
        int pixel; // of the edit's own slider
    };
    const Case cases[] = {
        { "edtStartPoint", "spinStartPoint", false, "00:00.200", "00:00.000", 0 },
        { "edtStartPoint", "spinStartPoint", true, "00:01.000", "00:01.300", 3 },
        { "edtEndPoint", "spinEndPoint", true, "02:59.800", "03:00.000", 360 },
        { "edtEndPoint", "spinEndPoint", false, "00:02.000", "00:01.700", 3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + " " + c.before);
        Child<QLineEdit>(c.edit)->setText(QString::fromLatin1(c.before));
        auto* spin = Child<TSpinButton>(c.spin);
        QTest::mouseClick(c.up ? spin->TopButton() : spin->BottomButton(), Qt::LeftButton);
        EXPECT_EQ(Child<QLineEdit>(c.edit)->text(), c.after);
        EXPECT_EQ(
            SliderAt(c.edit == std::string("edtStartPoint") ? SliderNumber_1 : SliderNumber_2), c.pixel);
    }
}

TEST_F(CutterFrameTest, DraggingARangeSliderPastTheOtherUpdatesBothPoints)
{
    Load(180);
    SetPoints("00:10.000", "00:20.000");
    ASSERT_EQ(SliderAt(SliderNumber_1), 20);
    ASSERT_EQ(SliderAt(SliderNumber_2), 40);

    Drag(Bar(), SlotLeft + 20, SlotLeft + 60, RangeY);
    EXPECT_EQ(StartText(), "00:30.000");
    EXPECT_EQ(EndText(), "00:30.000");
    EXPECT_EQ(SliderAt(SliderNumber_2), 60);

    // Where both stand, slider 2 is grabbed.
    Drag(Bar(), SlotLeft + 60, SlotLeft + 30, RangeY);
    EXPECT_EQ(StartText(), "00:15.000");
    EXPECT_EQ(EndText(), "00:15.000");
    EXPECT_EQ(SliderAt(SliderNumber_1), 30);
}

TEST_F(CutterFrameTest, SourcesOfHundredMinutesOrMoreGetThreeMinuteDigits)
{
    // One sample per millisecond keeps 100 minutes small.
    const std::string path = dir.file("long.wav");
    writeWav(path, Signal { 1000, 1, std::vector<float>(6'001'000, 0.1f) }, 8);
    frame.LoadSourceFile(path);
    EXPECT_EQ(EndText(), "100:01.000");
    EXPECT_EQ(StartText(), "000:00.000");
    EXPECT_EQ(SliderAt(SliderNumber_2), Bar()->SlotWidth());

    Child<QLineEdit>("edtStartPoint")->setText("050:00.000");
    EXPECT_EQ(SliderAt(SliderNumber_1), Bar()->ValueToPixel(6000));
    Drag(Bar(), SlotLeft + Bar()->SlotWidth(), SlotLeft + Bar()->SlotWidth() - 1, RangeY);
    EXPECT_EQ(EndText(), "100:01.000");

    Load(3);
    EXPECT_EQ(StartText(), "00:00.000");
    EXPECT_EQ(EndText(), "00:03.000");
}

TEST_F(CutterFrameTest, StartNotBeforeEndRefusesThePreview)
{
    Load(20);
    SetPoints("00:10.000", "00:10.000");
    Click("btnSegPlay");
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].kind, BoxKind::Message);
    EXPECT_EQ(dialogs->boxes[0].text, "“开始时间”必须小于“结束时间”。");
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "片段试听");

    std::uint32_t start = 0, end = 0;
    SetPoints("00:10.000", "00:09.999");
    EXPECT_FALSE(frame.ValidateCutPoints(start, end));
    SetPoints("00:10.000", "00:10.001");
    EXPECT_TRUE(frame.ValidateCutPoints(start, end));
    EXPECT_EQ(start, 10000u);
    EXPECT_EQ(end, 10001u);
}

TEST_F(CutterFrameTest, PreviewStartsAtTheThumbsOffsetAndATickShowsProgressThroughTheRange)
{
    Load(12);
    SetPoints("00:00.000", "00:10.000");
    Child<QSlider>("trackBarSeg")->setValue(15);
    Click("btnSegPlay");
    ASSERT_TRUE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "停止");
    EXPECT_TRUE(Child<QTimer>("timerSeg")->isActive());
    EXPECT_GE(frame.SegmentPlayer->PositionMs(), 5000u);
    EXPECT_LT(frame.SegmentPlayer->PositionMs(), 5300u);
    EXPECT_EQ(frame.SegmentPlayer->RangeStart(), 0u);
    EXPECT_EQ(frame.SegmentPlayer->RangeEnd(), 10000u);

    frame.SegmentPlayer->SeekMs(6000);
    Tick("timerSeg");
    EXPECT_EQ(SegThumb(), 18);

    Click("btnSegPlay");
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "片段试听");
    EXPECT_EQ(SegThumb(), 0);
    EXPECT_FALSE(Child<QTimer>("timerSeg")->isActive());

    // At the last step there is nothing left to play.
    Child<QSlider>("trackBarSeg")->setValue(30);
    Click("btnSegPlay");
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegThumb(), 0);
    EXPECT_EQ(SegCaption(), "片段试听");
}

TEST_F(CutterFrameTest, ReleasingTheThumbJumpsWithinThePreviewOrStopsItAtTheLastStep)
{
    Load(12);
    SetPoints("00:00.000", "00:10.000");
    auto* seg = Child<QSlider>("trackBarSeg");
    Click("btnSegPlay");
    ASSERT_TRUE(frame.SegmentPlayer->Playing());

    // (61 - 7) / 107 x 30 = 15.1: step 15, 5 s into the range.
    Mouse(seg, QEvent::MouseButtonPress, 61, 12, Qt::LeftButton);
    EXPECT_EQ(seg->value(), 15);
    EXPECT_FALSE(Child<QTimer>("timerSeg")->isActive());
    Mouse(seg, QEvent::MouseButtonRelease, 61, 12, Qt::NoButton);
    EXPECT_TRUE(frame.SegmentPlayer->Playing());
    EXPECT_TRUE(Child<QTimer>("timerSeg")->isActive());
    EXPECT_GE(frame.SegmentPlayer->PositionMs(), 5000u);
    EXPECT_LT(frame.SegmentPlayer->PositionMs(), 5300u);

    Mouse(seg, QEvent::MouseButtonPress, 61, 12, Qt::LeftButton);
    Mouse(seg, QEvent::MouseMove, 200, 12, Qt::LeftButton);
    EXPECT_EQ(seg->value(), 30);
    Mouse(seg, QEvent::MouseButtonRelease, 200, 12, Qt::NoButton);
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "片段试听");
    EXPECT_EQ(seg->value(), 0);
}

TEST_F(CutterFrameTest, KeysNeverMoveTheSegmentThumb)
{
    Load(3);
    auto* seg = Child<QSlider>("trackBarSeg");
    seg->setValue(10);
    for (Qt::Key key : { Qt::Key_Right, Qt::Key_Left, Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home })
        QTest::keyClick(seg, key);
    EXPECT_EQ(seg->value(), 10);
}

TEST_F(CutterFrameTest, PreviewStopsAtTheEndPointAndResetsCaptionAndThumb)
{
    Load(3);
    SetPoints("00:00.500", "00:01.000");
    Click("btnSegPlay");
    ASSERT_TRUE(frame.SegmentPlayer->Playing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame.SegmentPlayer->Playing(); }, 5000));
    EXPECT_EQ(SegCaption(), "片段试听");
    EXPECT_EQ(SegThumb(), 0);
    EXPECT_FALSE(Child<QTimer>("timerSeg")->isActive());
}

TEST_F(CutterFrameTest, WholeFilePlaybackAndPreviewNeverSoundTogether)
{
    Load(5);
    SetPoints("00:00.000", "00:04.000");
    Click("btnSourcePlay");
    ASSERT_TRUE(frame.SourcePlayer->Playing());
    EXPECT_EQ(SourcePlayImage(), 1);
    EXPECT_TRUE(Child<QTimer>("timerMain")->isActive());
    QTest::qWait(100);

    Click("btnSegPlay");
    EXPECT_FALSE(frame.SourcePlayer->Playing());
    EXPECT_EQ(SourcePlayImage(), 0);
    EXPECT_FALSE(Child<QTimer>("timerMain")->isActive());
    EXPECT_TRUE(frame.SegmentPlayer->Playing());
    const std::uint32_t paused = frame.SourcePlayer->PositionMs();
    EXPECT_GT(paused, 0u);

    Click("btnSourcePlay");
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "片段试听");
    EXPECT_TRUE(frame.SourcePlayer->Playing());
    EXPECT_GE(frame.SourcePlayer->PositionMs(), paused);
    EXPECT_EQ(SourcePlayImage(), 1);
}

TEST_F(CutterFrameTest, NaturalEndOfTheFileResetsButtonLabelAndSlider)
{
    Load(1);
    Click("btnSourcePlay");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Child<QLabel>("lbCurrentTime")->text() != "00:00.000"; }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame.SourcePlayer->Playing(); }, 5000));
    EXPECT_EQ(SourcePlayImage(), 0);
    EXPECT_EQ(Child<QLabel>("lbCurrentTime")->text(), "00:00.000");
    EXPECT_EQ(SliderAt(SliderNumber_Main), 0);
    EXPECT_FALSE(Child<QTimer>("timerMain")->isActive());

    Click("btnSourcePlay");
    EXPECT_TRUE(frame.SourcePlayer->Playing());
    EXPECT_LT(frame.SourcePlayer->PositionMs(), 300u) << "plays again from the beginning";
}

TEST_F(CutterFrameTest, ReleasingTheMainSliderSeeksWithoutStartingPlayback)
{
    Load(180);
    auto* bar = Bar();
    Mouse(bar, QEvent::MouseButtonPress, SlotLeft, MainY, Qt::LeftButton);
    Mouse(bar, QEvent::MouseMove, SlotLeft + 120, MainY, Qt::LeftButton);
    EXPECT_EQ(Child<QLabel>("lbCurrentTime")->text(), "01:00.000");
    Mouse(bar, QEvent::MouseButtonRelease, SlotLeft + 120, MainY, Qt::NoButton);

    EXPECT_FALSE(frame.SourcePlayer->Playing());
    EXPECT_EQ(frame.SourcePlayer->PositionMs(), 60000u);
    EXPECT_TRUE(Child<QTimer>("timerMain")->isActive());
    Click("btnSourcePlay");
    EXPECT_GE(frame.SourcePlayer->PositionMs(), 60000u);

    // A range slider's press leaves the position display running.
    Mouse(bar, QEvent::MouseButtonPress, SlotLeft, RangeY, Qt::LeftButton);
    EXPECT_TRUE(Child<QTimer>("timerMain")->isActive());
    Mouse(bar, QEvent::MouseButtonRelease, SlotLeft, RangeY, Qt::NoButton);
    Tick("timerMain");
    EXPECT_EQ(SliderAt(SliderNumber_Main), 120);
}

TEST_F(CutterFrameTest, PointButtonsTakeThePlaybackPosition)
{
    Load(180);
    frame.SourcePlayer->SeekMs(12345);
    Click("btnStartPoint");
    frame.SourcePlayer->SeekMs(23456);
    Click("btnEndPoint");
    EXPECT_EQ(StartText(), "00:12.345");
    EXPECT_EQ(EndText(), "00:23.456");
    EXPECT_EQ(SliderAt(SliderNumber_1), 25);
    EXPECT_EQ(SliderAt(SliderNumber_2), 47);
}

TEST_F(CutterFrameTest, LoadingAnotherFileStopsAndReplacesThePlayers)
{
    Load(5);
    SetPoints("00:00.000", "00:04.000");
    Click("btnSegPlay");
    ASSERT_TRUE(frame.SegmentPlayer->Playing());
    Load(3);
    EXPECT_FALSE(frame.SegmentPlayer->Playing());
    EXPECT_EQ(SegCaption(), "片段试听");
    EXPECT_EQ(EndText(), "00:03.000");
    // A stop of the freed player, still on its way, finds nothing to do.
    QTest::qWait(200);
    EXPECT_TRUE(dialogs->boxes.empty());
}

// The whole way from the page's controls to the file: both formats, the
// effect group's gain, and the completion question answered No. With the
// master switch off, the boxes below it change nothing, not even the tempo.
TEST_F(CutterFrameTest, StartCutWritesTheSegmentWithTheGroupsEffectsInTheChosenFormat)
{
    writeWav(dir.file("song.wav"), sine(1000, 4.0, 44100, 2, 0.1));
    frame.LoadSourceFile(dir.file("song.wav"));
    EXPECT_EQ(Child<QLineEdit>("edtOutFileName")->text(), "[铃]song.mp3");
    SetPoints("00:00.500", "00:03.000");
    Child<QCheckBox>("checkGain")->setChecked(true);
    Child<QCheckBox>("checkTempo")->setChecked(true);
    dialogs->replies = { false, false, false };
    Child<QLineEdit>("edtOutFileName")->setText(QStringLiteral("plain.mp3"));
    Click("btnExecute");

    Click("checkEffect");
    Click("checkTempo");
    Child<QLineEdit>("edtOutFileName")->setText(QStringLiteral("ring.mp3"));
    Click("btnExecute");
    Child<QAction>("miM4r")->trigger();

    EXPECT_EQ(dialogs->texts(), std::vector<std::string>(3, "剪切完成，要打开文件所在目录吗？"));
    const Signal plain = decodeWithEngine(dir.file("plain.mp3"));
    EXPECT_NEAR(plain.seconds(), 2.5, 0.03);
    // The MP3 encoder itself takes a little off a pure tone: its gain counts
    // from the plain cut.
    const double plainDb = rmsDb(plain.mono(0.5, 2.0));
    const double sourceDb = rmsDb(sine(1000, 1.0, 44100, 1, 0.1).mono(0, 1));
    struct Case {
        const char* name;
        double referenceDb;
    };
    for (const Case c : { Case { "ring.mp3", plainDb }, Case { "ring.m4r", sourceDb } }) {
        SCOPED_TRACE(c.name);
        const Signal cut = decodeWithEngine(dir.file(c.name));
        EXPECT_NEAR(cut.seconds(), 2.5, 0.03);
        EXPECT_NEAR(rmsDb(cut.mono(0.5, 2.0)) - c.referenceDb, 5.0, 0.3);
    }
}

TEST_F(CutterFrameTest, StartCutRefusalsWriteNothing)
{
    Load(3);
    std::filesystem::create_directory(dir.file("folder.mp3"));
    const auto before = std::filesystem::directory_iterator(dir.path());
    const std::size_t files = std::distance(before, std::filesystem::directory_iterator());

    SetPoints("00:02.000", "00:01.000");
    Click("btnExecute");
    Child<QLineEdit>("edtOutFileName")->setText(QStringLiteral("a?b.mp3"));
    SetPoints("00:00.000", "00:01.000");
    Click("btnExecute");
    // The cut job's own refusal reaches the error report from the click.
    Child<QLineEdit>("edtOutFileName")->setText(QStringLiteral("folder.mp3"));
    dialogs->replies = { true };
    Click("btnExecute");

    ASSERT_EQ(dialogs->boxes.size(), 4u);
    EXPECT_EQ(dialogs->boxes[0].text, "“开始时间”必须小于“结束时间”。");
    EXPECT_EQ(dialogs->boxes[1].text.rfind("输出文件名不能包含如下字符：", 0), 0u);
    EXPECT_EQ(dialogs->boxes[2].text, "文件“folder.mp3”已经存在，是否覆盖？");
    EXPECT_EQ(dialogs->boxes[3].icon, DialogIcon::Error);
    EXPECT_EQ(dialogs->boxes[3].text.rfind("输出文件不能是一个目录", 0), 0u);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        static_cast<std::ptrdiff_t>(files));
}

} // namespace
