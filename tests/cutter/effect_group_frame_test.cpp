#include "cutter/effect_group_frame.h"

#include "app/preference_data_module.h"
#include "app/widget_post.h"
#include "audio/app_error.h"
#include "cutter/cutter_frame.h"
#include "cutter/cutter_progress_form.h"
#include "cutter/widget_cut_host.h"
#include "effects/effect_manager.h"
#include "effects/effect_player.h"
#include "effects/equalizer_form.h"
#include "support/disk_capture.h"
#include "support/fake_dialogs.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace zvtest;

namespace {

// The page with its equalizer window, as the program builds them, on the
// no-sound output; notifications come through the Qt event loop.
class EffectGroupTest : public ::testing::Test {
protected:
    EffectGroupTest()
    {
        frame.InitFrame(host, WidgetPost());
        frame.SetEqualizerWindow(&equalizer);
    }
    ~EffectGroupTest() override { frame.DoneFrame(); }

    template <typename T> T* Child(const char* name)
    {
        T* child = frame.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            ADD_FAILURE() << "no control " << name;
        return child;
    }
    TEffectGroupFrame& Group() { return *Child<TEffectGroupFrame>("EffectGroup"); }
    QCheckBox* Check(const char* name) { return Child<QCheckBox>(name); }
    QComboBox* List(const char* name) { return Child<QComboBox>(name); }
    // A click as the user makes it: the box toggles and its handler runs.
    void Click(const char* name) { QTest::mouseClick(Child<QAbstractButton>(name), Qt::LeftButton); }
    QString EffectCaption() { return Child<QPushButton>("btnEffectPlay")->text(); }

    void Load(const Signal& source, const char* name = "source.wav")
    {
        writeWav(dir.file(name), source);
        frame.LoadSourceFile(dir.file(name));
        dialogs->boxes.clear();
    }
    void SetPoints(const char* start, const char* end)
    {
        Child<QLineEdit>("edtStartPoint")->setText(QString::fromLatin1(start));
        Child<QLineEdit>("edtEndPoint")->setText(QString::fromLatin1(end));
    }
    bool WaitForPreviewEnd(int ms = 10000)
    {
        return QTest::qWaitFor([&] { return EffectCaption() == "音效试听"; }, ms);
    }

    ScopedFakeDialogs dialogs;
    TempDir dir;
    TPreferenceDataModule preferences { dir.file("prefs.ini") };
    TEqualizerForm equalizer { preferences, dir.file("no-presets") };
    QWidget mainWindow;
    TCutterProgressForm progress;
    TWidgetCutHost host { mainWindow, progress };
    TCutterFrame frame;
};

TEST_F(EffectGroupTest, StartsDisabledWithItsItemsAndDefaults)
{
    EXPECT_FALSE(Check("checkEffect")->isEnabled());
    EXPECT_FALSE(Check("checkEffect")->isChecked());
    for (const char* name : { "checkGain", "cbGain", "checkTempo", "cbTempo", "checkFadeIn", "cbFadeIn",
             "checkFadeOut", "cbFadeOut", "checkEQ", "btnEffectPlay" })
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(List("cbGain")->count(), 14);
    EXPECT_EQ(List("cbGain")->currentText(), "＋5");
    EXPECT_EQ(List("cbTempo")->count(), 18);
    EXPECT_EQ(List("cbTempo")->currentText(), "＋20");
    EXPECT_EQ(List("cbTempo")->findText(QStringLiteral("0")), -1);
    EXPECT_EQ(List("cbFadeIn")->count(), 11);
    EXPECT_EQ(List("cbFadeIn")->currentText(), "2.0");
    EXPECT_EQ(List("cbFadeOut")->count(), 8);
    EXPECT_EQ(List("cbFadeOut")->currentText(), "2.0");
    EXPECT_EQ(EffectCaption(), "音效试听");
}

TEST_F(EffectGroupTest, TheMasterSwitchEnablesSwitchesAndOnlyTheCheckedAmounts)
{
    Load(sine(440, 2, 8000, 1, 0.2));
    ASSERT_TRUE(Check("checkEffect")->isEnabled());
    Check("checkGain")->setChecked(true);
    Check("checkFadeOut")->setChecked(true);

    Click("checkEffect");
    for (const char* name : { "checkGain", "checkTempo", "checkFadeIn", "checkFadeOut", "checkEQ",
             "btnEffectPlay", "cbGain", "lbGain", "cbFadeOut", "lbFadeOut" })
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    for (const char* name : { "cbTempo", "lbTempo", "cbFadeIn", "lbFadeIn" })
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;

    Click("checkTempo");
    EXPECT_TRUE(List("cbTempo")->isEnabled());
    Click("checkGain");
    EXPECT_FALSE(List("cbGain")->isEnabled());

    Click("checkEffect");
    for (const char* name : { "checkGain", "checkTempo", "cbTempo", "checkEQ", "btnEffectPlay" })
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
}

TEST_F(EffectGroupTest, FillingAManagerCopiesEveryControlOrOnlyTheMasterSwitch)
{
    equalizer.SetBands({ 1, 2, 3, 4, 5, -1, -2, -3, -4, -5 });
    for (const char* name : { "checkGain", "checkTempo", "checkFadeIn", "checkFadeOut" })
        Check(name)->setChecked(true);
    List("cbGain")->setCurrentIndex(13);
    List("cbTempo")->setCurrentIndex(0);
    List("cbFadeIn")->setCurrentIndex(0);
    List("cbFadeOut")->setCurrentIndex(7);

    // Unchecked, nothing is copied: not even the tempo, which switching
    // off leaves alone.
    TEffectManager off;
    Group().FillEffectManager(off);
    EXPECT_FALSE(off.Enabled);
    EXPECT_FALSE(off.TempoOn);
    EXPECT_EQ(off.GainDb, 0.0f);

    Check("checkEffect")->setChecked(true);
    TEffectManager on;
    Group().FillEffectManager(on);
    EXPECT_TRUE(on.Enabled);
    EXPECT_TRUE(on.GainOn);
    EXPECT_EQ(on.GainDb, 12.0f);
    EXPECT_TRUE(on.TempoOn);
    EXPECT_EQ(on.TempoPercent, -30.0f);
    EXPECT_TRUE(on.FadeInOn);
    EXPECT_EQ(on.FadeInMs, 500u);
    EXPECT_TRUE(on.FadeOutOn);
    EXPECT_EQ(on.FadeOutMs, 5000u);
    // The bands travel even with the equalizer off.
    EXPECT_FALSE(on.EqOn);
    EXPECT_EQ(on.EqBands, (std::array<float, 10> { 1, 2, 3, 4, 5, -1, -2, -3, -4, -5 }));
}

TEST_F(EffectGroupTest, SelectedValuesFollowTheTablesAndNothingSelectedCountsAsZero)
{
    struct Case {
        int index;
        float gainDb;
        float tempoPercent;
    };
    for (const Case c : { Case { 0, -2, -30 }, Case { 2, 1, -20 }, Case { 6, 5, 5 }, Case { 13, 12, 60 },
             Case { -1, 0, 0 } }) {
        SCOPED_TRACE(c.index);
        List("cbGain")->setCurrentIndex(c.index);
        List("cbTempo")->setCurrentIndex(c.index == 13 ? 17 : c.index);
        EXPECT_EQ(Group().SelectedGainDb(), c.gainDb);
        EXPECT_EQ(Group().SelectedTempoPercent(), c.tempoPercent);
    }
}

TEST_F(EffectGroupTest, TheEqualizerWindowIsPlacedOnceAndFollowsBothSwitches)
{
    Load(sine(440, 2, 8000, 1, 0.2));
    frame.show();
    Click("checkEffect");
    Click("checkEQ");
    ASSERT_TRUE(equalizer.isVisible());
    EXPECT_TRUE(equalizer.Positioned);
    const QPoint origin = frame.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(equalizer.x(), origin.x() + frame.width() - 200);

    equalizer.move(5, 6);
    Click("checkEQ");
    EXPECT_FALSE(equalizer.isVisible());
    Click("checkEQ");
    EXPECT_EQ(equalizer.pos(), QPoint(5, 6));

    Click("checkEffect");
    EXPECT_FALSE(equalizer.isVisible());
    Click("checkEffect");
    EXPECT_TRUE(equalizer.isVisible());
    Click("checkEQ");
    Click("checkEffect");
    Click("checkEffect");
    EXPECT_FALSE(equalizer.isVisible());
}

TEST_F(EffectGroupTest, ThePreviewLocksThePointsUntilItStopsByClickOrAtTheEnd)
{
    Load(sine(440, 3, 8000, 1, 0.2));
    Click("checkEffect");
    SetPoints("00:00.500", "00:01.000");

    Click("btnEffectPlay");
    ASSERT_NE(frame.EffectPlayer, nullptr);
    EXPECT_TRUE(frame.EffectPlayer->Playing());
    EXPECT_EQ(EffectCaption(), "停止");
    EXPECT_FALSE(Child<QWidget>("btnStartPoint")->isEnabled());
    EXPECT_FALSE(Check("checkEffect")->isEnabled());
    EXPECT_EQ(frame.EffectPlayer->Manager.StartMs, 500u);
    EXPECT_EQ(frame.EffectPlayer->Manager.EndMs, 1000u);

    Click("btnEffectPlay");
    EXPECT_FALSE(frame.EffectPlayer->Playing());
    EXPECT_EQ(EffectCaption(), "音效试听");
    EXPECT_TRUE(Child<QWidget>("btnStartPoint")->isEnabled());
    EXPECT_TRUE(Check("checkEffect")->isEnabled());

    const TEffectPlayer* reused = frame.EffectPlayer.get();
    Click("btnEffectPlay");
    EXPECT_EQ(frame.EffectPlayer.get(), reused);
    ASSERT_TRUE(WaitForPreviewEnd());
    EXPECT_FALSE(frame.EffectPlayer->Playing());
    EXPECT_TRUE(Child<QWidget>("edtStartPoint")->isEnabled());
}

TEST_F(EffectGroupTest, RefusedPointsOrAnUnreadableSourceLeaveThePageUsable)
{
    Load(sine(440, 3, 8000, 1, 0.2));
    Click("checkEffect");
    SetPoints("00:01.000", "00:01.000");
    Click("btnEffectPlay");
    EXPECT_EQ(dialogs->texts(), std::vector<std::string> { "“开始时间”必须小于“结束时间”。" });
    EXPECT_EQ(frame.EffectPlayer, nullptr);
    EXPECT_EQ(EffectCaption(), "音效试听");

    // The source disappears after loading: the effect player cannot open it.
    SetPoints("00:00.000", "00:01.000");
    std::filesystem::remove(dir.file("source.wav"));
    EXPECT_THROW(frame.StartEffectPreview(), AppError);
    EXPECT_EQ(frame.EffectPlayer, nullptr);
    EXPECT_EQ(EffectCaption(), "音效试听");
    EXPECT_TRUE(Child<QWidget>("btnStartPoint")->isEnabled());
    EXPECT_TRUE(Check("checkEffect")->isEnabled());
}

TEST_F(EffectGroupTest, OpeningAnotherSourceStopsThePreviewAndFreesItsPlayer)
{
    Load(sine(440, 3, 8000, 1, 0.2), "first.wav");
    Click("checkEffect");
    Click("btnEffectPlay");
    ASSERT_TRUE(frame.EffectPlayer && frame.EffectPlayer->Playing());

    Load(sine(440, 3, 8000, 1, 0.2), "second.wav");
    EXPECT_EQ(frame.EffectPlayer, nullptr);
    EXPECT_EQ(EffectCaption(), "音效试听");
    EXPECT_FALSE(Check("checkEffect")->isChecked());
    EXPECT_TRUE(Check("checkEffect")->isEnabled());
    EXPECT_FALSE(Child<QWidget>("btnEffectPlay")->isEnabled());
}

// What was heard: a 1 kHz tone previewed over [0, 1.5 s] with the group's
// settings, changed through the controls 0.6 s in. The level of the later
// part against the earlier, and the sound's length, show the change.
TEST_F(EffectGroupTest, ChangesDuringThePreviewAreHeardAtOnce)
{
    struct Case {
        const char* name;
        std::function<void()> before;
        std::function<void()> change;
        double laterDb;
        double seconds;
    };
    const std::vector<Case> cases {
        { "gain ＋5 to ＋12", [&] { Check("checkGain")->setChecked(true); },
            [&] { List("cbGain")->setCurrentIndex(13); }, 7, 1.5 },
        { "gain switched off", [&] { Check("checkGain")->setChecked(true); }, [&] { Click("checkGain"); }, -5,
            1.5 },
        // 0.6 s at the source's pace, the other 0.9 s of source 20 % faster.
        { "tempo ＋20 switched on", [] {}, [&] { Click("checkTempo"); }, 0, 1.35 },
        { "equalizer band", [&] { Check("checkEQ")->setChecked(true); },
            [&] {
                equalizer.SetBands({ 0, 0, 0, 0, 12, 0, 0, 0, 0, 0 });
            },
            12, 1.5 },
        { "equalizer switched on",
            [&] {
                equalizer.SetBands({ 0, 0, 0, 0, 12, 0, 0, 0, 0, 0 });
            },
            [&] { Click("checkEQ"); }, 12, 1.5 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiskCapture capture(dir.file("played.raw"));
        Load(sine(1000, 2.0, 44100, 2, 0.1), c.name);
        equalizer.SetBands({});
        for (const char* name : { "checkGain", "checkTempo", "checkEQ" })
            Check(name)->setChecked(false);
        List("cbGain")->setCurrentIndex(6);
        Click("checkEffect");
        c.before();
        SetPoints("00:00.000", "00:01.500");
        // The equalizer callback is installed by the first click on checkEQ.
        Click("checkEQ");
        Click("checkEQ");

        Click("btnEffectPlay");
        QTest::qWait(600);
        c.change();
        ASSERT_TRUE(WaitForPreviewEnd());

        const ToneChange heard = measureToneChange(capture.finish(), 1000);
        EXPECT_NEAR(heard.seconds, c.seconds, 0.1);
        EXPECT_NEAR(heard.laterDb, c.laterDb, 0.5);
        EXPECT_NEAR(heard.laterHz, 1000, 2) << "the pitch moved";
        frame.FreePlayers();
    }
}

} // namespace
