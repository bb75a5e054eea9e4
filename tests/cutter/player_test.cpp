#include "cutter/player.h"

#include "audio/task_queue.h"
#include "support/disk_capture.h"
#include "support/signal.h"
#include "support/temp_dir.h"
#include "support/tone_steps.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace engine = zv::engine;
using namespace std::chrono_literals;
using namespace zvtest;

namespace {

// Players on SDL's disk driver: the test thread stands in for the GUI thread
// and drains what the players post.
class PlayerTest : public ::testing::Test {
protected:
    TempDir m_dir;
    DiskCapture m_capture { m_dir.file("played.raw") };
    TTaskQueue m_gui;
};

TEST_F(PlayerTest, RangePlaySoundsExactlyTheRangeThenNotifiesOnceOnTheGuiThread)
{
    // Each frame holds its own index, so the capture tells which frames sounded.
    writeWav(m_dir.file("ramp.wav"), ramp(3 * 44100));
    TPlayer player(m_dir.file("ramp.wav"), m_gui.Poster());
    std::vector<bool> playingAtStop;
    std::vector<std::thread::id> stopThreads;
    player.OnStop = [&] {
        playingAtStop.push_back(player.Playing());
        stopThreads.push_back(std::this_thread::get_id());
    };

    player.PlayRange(1000, 2500, 1000);
    EXPECT_TRUE(player.Playing());
    ASSERT_TRUE(m_gui.RunUntil([&] { return !playingAtStop.empty(); }, 10s));
    m_gui.RunFor(300ms);

    EXPECT_EQ(playingAtStop, std::vector<bool> { true });
    EXPECT_EQ(stopThreads.front(), std::this_thread::get_id());
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.RangeStart(), 1000u);
    EXPECT_EQ(player.RangeEnd(), 2500u);
    EXPECT_EQ(player.RangeLength(), 1500u);

    const Signal played = m_capture.finish();
    const SoundSpan sound = findSound(played, 0);
    ASSERT_EQ(sound.end - sound.begin, 66150u) << "frames from 1.000 s to 2.500 s";
    std::size_t wrong = 0;
    for (std::size_t i = sound.begin; i < sound.end; ++i) {
        for (std::size_t c = 0; c < 2; ++c) {
            const auto sample = static_cast<std::int16_t>(std::lround(played.samples[2 * i + c] * 32768));
            if (rampIndex(sample) != static_cast<int>((44100 + i - sound.begin) & 0xFFFF) && wrong++ == 0)
                ADD_FAILURE() << "frame " << i - sound.begin << " of the range holds source frame "
                              << rampIndex(sample);
        }
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(PlayerTest, RangeThatCannotStartChangesNothing)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 2.0));
    TPlayer player(m_dir.file("tone.wav"), m_gui.Poster());
    int stops = 0;
    player.OnStop = [&stops] { ++stops; };

    player.PlayRange(1000, 1000, 1000);
    player.PlayRange(500, 1000, 1200);
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.RangeStart(), 0u);
    EXPECT_EQ(player.RangeEnd(), 0u);
    EXPECT_EQ(player.RangeSync(), 0u);
    // Nothing to remove or pause: harmless.
    player.RemoveRangeSync();
    player.Pause();
    m_gui.RunFor(300ms);
    EXPECT_EQ(stops, 0);

    const SoundSpan sound = findSound(m_capture.finish());
    EXPECT_EQ(sound.end, 0u) << "something sounded";
}

// Both the range's end and the stream's end notify; the page's handlers
// rely on the second finding Playing already false.
TEST_F(PlayerTest, RangeEndingAtTheStreamEndLeavesPlayingFalseForALaterNotification)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 1.0));
    TPlayer player(m_dir.file("tone.wav"), m_gui.Poster());
    std::vector<bool> playingAtStop;
    player.OnStop = [&] { playingAtStop.push_back(player.Playing()); };

    player.PlayRange(600, player.LengthMs(), 600);
    ASSERT_TRUE(m_gui.RunUntil([&] { return !playingAtStop.empty(); }, 10s));
    m_gui.RunFor(300ms);

    ASSERT_FALSE(playingAtStop.empty());
    EXPECT_TRUE(playingAtStop.front());
    for (std::size_t i = 1; i < playingAtStop.size(); ++i)
        EXPECT_FALSE(playingAtStop[i]) << "notification " << i;
    EXPECT_FALSE(player.Playing());
}

TEST_F(PlayerTest, TwoPlayersOnOneFileMixAndPausingOneLeavesTheOther)
{
    writeWav(m_dir.file("steps.wav"), toneSteps({ 440, 1000 }, 1.0, 44100, 2, 0.25));
    TPlayer low(m_dir.file("steps.wav"), m_gui.Poster());
    TPlayer high(m_dir.file("steps.wav"), m_gui.Poster());
    int lowStops = 0;
    bool highStopped = false;
    low.OnStop = [&lowStops] { ++lowStops; };
    high.OnStop = [&highStopped] { highStopped = true; };

    low.PlayRange(0, 1000, 0);
    high.PlayRange(1000, 2000, 1000);
    m_gui.RunFor(500ms);
    low.Pause();
    EXPECT_FALSE(low.Playing());
    ASSERT_TRUE(m_gui.RunUntil([&] { return highStopped; }, 10s));
    EXPECT_EQ(lowStops, 0) << "a pause is not a stop";

    const Signal played = m_capture.finish();
    const double s = static_cast<double>(findSound(played).begin) / played.rate;
    const double full = 20 * std::log10(0.25);
    EXPECT_NEAR(toneDb(played, 440, s + 0.1, s + 0.4), full, 1.0);
    EXPECT_NEAR(toneDb(played, 1000, s + 0.1, s + 0.4), full, 1.0);
    EXPECT_LT(toneDb(played, 440, s + 0.75, s + 0.95), full - 50) << "the paused player still sounds";
    EXPECT_NEAR(toneDb(played, 1000, s + 0.75, s + 0.95), full, 1.0);
}

// A notification can wait in the GUI queue while its player is freed: it must
// not reach the freed player (the sanitizer build sees any access).
TEST_F(PlayerTest, FreeingPlayersStopsTheirSoundAndDropsTheirNotifications)
{
    writeWav(m_dir.file("steps.wav"), toneSteps({ 440, 1000 }, 1.0, 44100, 2, 0.25));
    std::atomic<int> posted = 0;
    const PostToGui post = [&posted, gui = m_gui.Poster()](std::function<void()> task) {
        gui(std::move(task));
        ++posted;
    };
    auto ended = std::make_unique<TPlayer>(m_dir.file("steps.wav"), post);
    auto playing = std::make_unique<TPlayer>(m_dir.file("steps.wav"), post);
    int stops = 0;
    ended->OnStop = [&stops] { ++stops; };
    playing->OnStop = [&stops] { ++stops; };

    ended->PlayRange(0, 300, 0);
    playing->PlayRange(1000, 2000, 1000);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (posted == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(posted, 1) << "the first range did not end";
    ended.reset();
    playing.reset();
    m_gui.RunFor(1500ms);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(posted, 1);

    const Signal played = m_capture.finish();
    EXPECT_LT(findSound(played).seconds(played.rate), 0.5) << "the freed player went on sounding";
}

// Without playing: positions truncate, lengths round half to even.
TEST(PlayerTimes, PositionsTruncateAndLengthsRoundHalfToEven)
{
    engine::init(engine::NoSoundDevice, 44100);
    TempDir dir;
    TTaskQueue gui;
    struct Case {
        int rate;
        std::size_t frames;
        std::uint32_t lengthMs;
    };
    for (const Case& c : { Case { 8000, 9876, 1234 }, // 1234.5 ms
             Case { 8000, 9884, 1236 }, // 1235.5 ms
             Case { 10000, 12349, 1235 }, // 1234.9 ms
             Case { 44100, 44100, 1000 } }) {
        writeWav(dir.file("a.wav"), sine(440, static_cast<double>(c.frames) / c.rate, c.rate, 1));
        const TPlayer player(dir.file("a.wav"), gui.Poster());
        EXPECT_EQ(player.LengthBytes(), 2 * c.frames);
        EXPECT_EQ(player.LengthMs(), c.lengthMs) << c.rate << " Hz, " << c.frames << " frames";
    }

    writeWav(dir.file("b.wav"), sine(440, 2.0, 10000, 1));
    TPlayer player(dir.file("b.wav"), gui.Poster());
    ASSERT_TRUE(engine::channelSetPosition(player.Stream(), 2 * 12349));
    EXPECT_EQ(player.PositionMs(), 1234u) << "1234.9 ms";
    player.SeekMs(1500);
    EXPECT_EQ(player.PositionMs(), 1500u);
    EXPECT_FALSE(player.Playing());
}

} // namespace
