#include "effects/effect_player.h"

#include "audio/app_error.h"
#include "audio/task_queue.h"
#include "support/disk_capture.h"
#include "support/signal.h"
#include "support/temp_dir.h"
#include "support/tone_steps.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace engine = zv::engine;
using namespace std::chrono_literals;
using namespace zvtest;

namespace {

// Level of the 1000 Hz tone relative to its source level, `at` seconds into
// the sound, over 20 ms.
double gainDbAt(const Signal& played, double sourceDb, double at)
{
    const double s = static_cast<double>(findSound(played).begin) / played.rate;
    return toneDb(played, 1000, s + at - 0.01, s + at + 0.01) - sourceDb;
}

// The fade-in is a slide from the segment's start; the fade-out, started by
// its position sync, takes what the fade-in leaves of the segment.
TEST(EffectPlayerTest, PlaySegmentRunsTheRangePlayWithTheFades)
{
    TempDir dir;
    DiskCapture capture(dir.file("played.raw"));
    TTaskQueue gui;
    writeWav(dir.file("tone.wav"), sine(1000, 2.0));
    TEffectPlayer player(dir.file("tone.wav"), gui.Poster());
    player.Manager.SetEnabled(true);
    player.Manager.SetFadeInOn(true);
    player.Manager.SetFadeInMs(500);
    player.Manager.SetFadeOutOn(true);
    player.Manager.SetFadeOutMs(2000);
    bool stopped = false;
    player.OnStop = [&stopped] { stopped = true; };

    player.PlaySegment(200, 1700);
    ASSERT_TRUE(gui.RunUntil([&stopped] { return stopped; }, 10s));
    const Signal played = capture.finish();
    EXPECT_EQ(player.Manager.StartMs, 200u);
    EXPECT_EQ(player.Manager.EndMs, 1700u);
    EXPECT_NEAR(findSound(played).seconds(played.rate), 1.5, 0.005);

    const double source = 20 * std::log10(0.5);
    struct Point {
        double at;
        double level; // linear
    };
    // Up from 0.01 over 0.5 s, then down from 1.0 to 0.01 over the last 1.0 s.
    for (const Point p : { Point { 0.125, 0.2575 }, Point { 0.25, 0.505 }, Point { 0.375, 0.7525 },
             Point { 0.75, 0.7525 }, Point { 1.0, 0.505 }, Point { 1.25, 0.2575 }, Point { 1.45, 0.0595 } })
        EXPECT_NEAR(gainDbAt(played, source, p.at), 20 * std::log10(p.level), 1.0) << "at " << p.at << " s";
}

// A change made while the preview plays is heard at once: the later part of
// the segment differs from the earlier by the change.
TEST(EffectPlayerTest, LiveChangesAreHeardAtOnce)
{
    struct Case {
        std::string name;
        std::function<void(TPlaybackEffectManager&)> before;
        std::function<void(TPlaybackEffectManager&)> change;
        double laterDb; // of the later part against the earlier
        double seconds; // the sound's length
    };
    const std::vector<Case> cases {
        { "gain",
            [](TPlaybackEffectManager& m) {
                m.SetGainOn(true);
                m.SetGain(0);
            },
            [](TPlaybackEffectManager& m) { m.SetGain(12); }, 12, 1.5 },
        { "equalizer band", [](TPlaybackEffectManager& m) { m.SetEqOn(true); },
            [](TPlaybackEffectManager& m) { m.SetBandGain(4, true, 12); }, 12, 1.5 },
        // 0.6 s at the source's pace, the other 0.9 s of source 50 % faster.
        { "tempo", [](TPlaybackEffectManager&) {},
            [](TPlaybackEffectManager& m) {
                m.SetTempoOn(true);
                m.SetTempo(50);
            },
            0, 1.2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        DiskCapture capture(dir.file("played.raw"));
        TTaskQueue gui;
        writeWav(dir.file("tone.wav"), sine(1000, 2.0, 44100, 2, 0.1));
        TEffectPlayer player(dir.file("tone.wav"), gui.Poster());
        player.Manager.SetEnabled(true);
        c.before(player.Manager);
        bool stopped = false;
        player.OnStop = [&stopped] { stopped = true; };
        player.PlaySegment(0, 1500);
        gui.RunFor(600ms);
        c.change(player.Manager);
        ASSERT_TRUE(gui.RunUntil([&stopped] { return stopped; }, 10s));

        const ToneChange heard = measureToneChange(capture.finish(), 1000);
        EXPECT_NEAR(heard.seconds, c.seconds, 0.1);
        EXPECT_NEAR(heard.laterDb, c.laterDb, 0.5);
        EXPECT_NEAR(heard.laterHz, 1000, 2) << "the pitch moved";
    }
}

TEST(EffectPlayerTest, OwnsATempoStreamOnTheSourceAndFreesBoth)
{
    engine::init(engine::NoSoundDevice, 44100);
    TempDir dir;
    TTaskQueue gui;
    writeWav(dir.file("tone.wav"), sine(1000, 2.0));
    auto player = std::make_unique<TEffectPlayer>(dir.file("tone.wav"), gui.Poster());
    const engine::Handle source = engine::tempoGetSource(player->Stream());
    ASSERT_NE(source, 0u) << "Stream is not a tempo stream";
    EXPECT_EQ(player->Manager.Channel, player->Stream());
    EXPECT_EQ(player->LengthMs(), 2000u);

    player.reset();
    EXPECT_EQ(engine::channelGetLength(source), engine::NoPosition) << "the source stays open";

    try {
        TEffectPlayer missing(dir.file("missing.wav"), gui.Poster());
        ADD_FAILURE() << "a missing file opened";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "文件打开失败(2)");
    }
}

} // namespace
