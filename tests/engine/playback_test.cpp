#include "engine/engine.h"
#include "engine/file_stream.h"
#include "engine/output_mix.h"
#include "engine/tempo_stream.h"

#include "support/disk_capture.h"
#include "support/signal.h"
#include "support/sounding.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>

namespace {

namespace ze = zv::engine;
using namespace std::chrono_literals;
using namespace zvtest;

constexpr int Rate = 44100;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

bool waitUntilStopped(ze::Handle channel)
{
    return waitFor([channel] { return ze::channelIsActive(channel) == ze::Activity::Stopped; });
}

std::int16_t sampleAt(const Signal& s, std::size_t frame, std::size_t channel)
{
    return static_cast<std::int16_t>(std::lround(s.samples[2 * frame + channel] * 32768.0f));
}

// The source frames a played ramp holds, in the order they sounded. A frame
// whose two sides differ counts as -1.
std::vector<int> rampFramesOf(const Signal& played)
{
    const Signal s = sounding(played);
    std::vector<int> frames;
    for (std::size_t i = 0; i < s.frames(); ++i) {
        const std::int16_t left = sampleAt(s, i, 0);
        frames.push_back(left == sampleAt(s, i, 1) ? rampIndex(left) : -1);
    }
    return frames;
}

// The ramp frames [from, to). Frame 0 is silent: a sound that starts there
// is heard from frame 1.
std::vector<int> rampFrames(int from, int to)
{
    std::vector<int> frames;
    for (int i = from; i < to; ++i)
        frames.push_back(i & 0xFFFF);
    return frames;
}

std::uint64_t bytesAt(ze::Handle channel, double seconds)
{
    return ze::channelSeconds2Bytes(channel, seconds);
}

// Playback on SDL's disk driver, which writes what the device plays.
class PlaybackTest : public ::testing::Test {
protected:
    TempDir m_dir;
    DiskCapture m_capture { m_dir.file("played.raw") };
};

TEST_F(PlaybackTest, RangeStopsAtTheSyncSampleWhenTheCallbackStopsTheChannel)
{
    writeWav(m_dir.file("ramp.wav"), ramp(3 * Rate));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("ramp.wav"), ze::StreamPrescan);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(ze::channelSetPosition(stream, bytesAt(stream, 1.0)));
    const std::uint64_t end = bytesAt(stream, 2.5);
    std::atomic<int> rangeEnds = 0;
    std::atomic<int> ends = 0;
    std::atomic<bool> removed = false;
    const ze::Handle sync
        = ze::channelSetSync(stream, ze::SyncType::Position, end, [&](ze::Handle s, ze::Handle c) {
              removed = ze::channelRemoveSync(c, s);
              ze::channelStop(c);
              ++rangeEnds;
          });
    ASSERT_NE(sync, 0u);
    ze::channelSetSync(stream, ze::SyncType::End, 0, [&](ze::Handle, ze::Handle) { ++ends; });

    ASSERT_TRUE(ze::channelPlay(stream, false));
    EXPECT_EQ(ze::channelIsActive(stream), ze::Activity::Playing);
    ASSERT_TRUE(waitUntilStopped(stream));
    // The sound mixed before the stop is heard out first.
    EXPECT_TRUE(waitFor([&] { return ze::channelGetPosition(stream) == end; }));

    EXPECT_EQ(rangeEnds, 1);
    EXPECT_TRUE(removed);
    EXPECT_EQ(ends, 0);
    EXPECT_FALSE(ze::channelRemoveSync(stream, sync));
    EXPECT_EQ(rampFramesOf(m_capture.finish()), rampFrames(Rate, Rate * 5 / 2));
}

TEST_F(PlaybackTest, MonoAt48kHzIsResampledToBothSidesAtFullLevel)
{
    writeWav(m_dir.file("tone.wav"), sine(1000, 3.0, 48000, 1, 0.5));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("tone.wav"), ze::StreamPrescan);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(ze::channelSetPosition(stream, bytesAt(stream, 1.0)));
    ze::channelSetSync(stream, ze::SyncType::Position, bytesAt(stream, 2.5),
        [](ze::Handle, ze::Handle c) { ze::channelStop(c); });

    ASSERT_TRUE(ze::channelPlay(stream, false));
    ASSERT_TRUE(waitUntilStopped(stream));

    const Signal played = sounding(m_capture.finish());
    EXPECT_NEAR(static_cast<double>(played.frames()), 1.5 * Rate, 3.0);
    EXPECT_NEAR(dominantHz(played.mono(0.2, 1.3), Rate, 900, 1100), 1000.0, 0.5);
    EXPECT_NEAR(toneDb(played, 1000, 0.2, 1.3), -6.02, 0.2);
    for (std::size_t i = 0; i < played.frames(); ++i) {
        if (sampleAt(played, i, 0) != sampleAt(played, i, 1)) {
            ADD_FAILURE() << "the sides differ at frame " << i;
            break;
        }
    }
}

TEST_F(PlaybackTest, VolumeSlideRisesOverItsTimeOfPlayedSound)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 1.6));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("tone.wav"), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(ze::channelSetAttribute(stream, ze::Attribute::Volume, 0.01f));
    ASSERT_TRUE(ze::channelSlideAttribute(stream, ze::Attribute::Volume, 1.0f, 1000));

    ASSERT_TRUE(ze::channelPlay(stream, false));
    ASSERT_TRUE(waitUntilStopped(stream));
    float volume = 0;
    EXPECT_TRUE(ze::channelGetAttribute(stream, ze::Attribute::Volume, volume));
    EXPECT_FLOAT_EQ(volume, 1.0f);

    const Signal played = sounding(m_capture.finish());
    // Amplitude 0.5 x volume, the volume rising linearly from 0.01 to 1.
    const auto expectedDb = [](double seconds) {
        const double volume = seconds < 1.0 ? 0.01 + 0.99 * seconds : 1.0;
        return 20.0 * std::log10(0.5 * volume);
    };
    for (const double at : { 0.25, 0.5, 0.75, 1.3 })
        EXPECT_NEAR(toneDb(played, 440, at - 0.02, at + 0.02), expectedDb(at), 0.4) << "at " << at << " s";
}

TEST_F(PlaybackTest, EndSyncFiresOnceAtTheEndAndPlayingAgainStartsFromTheBeginning)
{
    writeWav(m_dir.file("ramp.wav"), ramp(Rate / 4));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("ramp.wav"), 0);
    ASSERT_NE(stream, 0u);
    std::atomic<int> ends = 0;
    ze::channelSetSync(stream, ze::SyncType::End, 0, [&](ze::Handle, ze::Handle) { ++ends; });

    ASSERT_TRUE(ze::channelPlay(stream, false));
    // Stopped once the last frame has been heard.
    ASSERT_TRUE(waitUntilStopped(stream));
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(ze::channelGetPosition(stream), ze::channelGetLength(stream));

    ASSERT_TRUE(ze::channelPlay(stream, false));
    ASSERT_TRUE(waitUntilStopped(stream));
    EXPECT_EQ(ends, 2);

    std::vector<int> twice = rampFrames(1, Rate / 4);
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(rampFramesOf(m_capture.finish()), twice);
}

TEST_F(PlaybackTest, PauseHoldsThePositionOfTheLastSoundAndResumesWithoutLoss)
{
    writeWav(m_dir.file("ramp.wav"), ramp(Rate));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("ramp.wav"), 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(ze::channelPlay(stream, false));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(ze::channelPause(stream));
    EXPECT_EQ(ze::channelIsActive(stream), ze::Activity::Paused);
    // What was mixed before the pause is still being heard for a moment.
    std::this_thread::sleep_for(200ms);
    const std::uint64_t paused = ze::channelGetPosition(stream);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ze::channelGetPosition(stream), paused);

    ASSERT_TRUE(ze::channelPlay(stream, false));
    ASSERT_TRUE(waitUntilStopped(stream));
    EXPECT_FALSE(ze::channelPause(stream));
    EXPECT_EQ(ze::lastError(), ze::NotPlaying);

    const Signal played = m_capture.finish();
    EXPECT_EQ(rampFramesOf(played), rampFrames(1, Rate));
    // The paused position is the frame after the last one heard before the
    // longest silence.
    std::size_t longest = 0;
    std::size_t lastBefore = 0;
    std::size_t lastSounding = 0;
    for (std::size_t i = 1; i < played.frames(); ++i) {
        if (sampleAt(played, i, 0) == 0)
            continue;
        if (lastSounding > 0 && i - lastSounding > longest) {
            longest = i - lastSounding;
            lastBefore = lastSounding;
        }
        lastSounding = i;
    }
    ASSERT_GT(longest, static_cast<std::size_t>(Rate / 10));
    EXPECT_EQ(paused / 4, static_cast<std::uint64_t>(rampIndex(sampleAt(played, lastBefore, 0)) + 1));
}

TEST_F(PlaybackTest, TwoChannelsOnOneFileMixAndPauseApart)
{
    // A constant level: the sum does not depend on how the two line up.
    Signal level { Rate, 2, std::vector<float>(2 * 2 * Rate, 0.25f) };
    writeWav(m_dir.file("level.wav"), level);
    const ze::Handle a = ze::streamCreateFile(m_dir.file("level.wav"), 0);
    const ze::Handle b = ze::streamCreateFile(m_dir.file("level.wav"), 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    ASSERT_TRUE(ze::channelPlay(a, false));
    ASSERT_TRUE(ze::channelPlay(b, false));
    std::this_thread::sleep_for(400ms);
    ASSERT_TRUE(ze::channelPause(a));
    std::this_thread::sleep_for(150ms);
    const std::uint64_t aPaused = ze::channelGetPosition(a);
    const std::uint64_t bThen = ze::channelGetPosition(b);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(ze::channelGetPosition(a), aPaused);
    EXPECT_GT(ze::channelGetPosition(b), bThen);
    EXPECT_EQ(ze::channelIsActive(b), ze::Activity::Playing);
    ze::channelStop(b);

    const Signal played = sounding(m_capture.finish());
    std::size_t both = 0;
    std::size_t afterBoth = 0;
    for (std::size_t i = 0; i < played.frames(); ++i) {
        const std::int16_t v = sampleAt(played, i, 0);
        if (v == 16384)
            ++both;
        else if (v == 8192 && both > 0)
            ++afterBoth;
    }
    EXPECT_GT(both, static_cast<std::size_t>(Rate / 4)) << "both playing at once";
    EXPECT_GT(afterBoth, static_cast<std::size_t>(Rate / 4)) << "one playing on after the other paused";
}

TEST_F(PlaybackTest, TempoChangesWhilePlayingWithoutChangingPitch)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 2.0));
    const ze::Handle source
        = ze::streamCreateFile(m_dir.file("tone.wav"), ze::StreamDecode | ze::StreamPrescan);
    const ze::Handle tempo = ze::tempoCreate(source, 0);
    ASSERT_NE(tempo, 0u);
    ASSERT_TRUE(ze::channelPlay(tempo, false));
    ASSERT_TRUE(waitFor([tempo] { return ze::channelGetPosition(tempo) >= bytesAt(tempo, 0.5); }));
    ASSERT_TRUE(ze::channelSetAttribute(tempo, ze::Attribute::Tempo, 100.0f));
    ASSERT_TRUE(waitUntilStopped(tempo));

    const Signal played = sounding(m_capture.finish());
    // About 0.5 s at the old tempo (the mix runs a little ahead of what is
    // heard), the rest at double speed.
    EXPECT_GT(played.seconds(), 1.2);
    EXPECT_LT(played.seconds(), 1.5);
    EXPECT_NEAR(
        dominantHz(played.mono(played.seconds() - 0.4, played.seconds() - 0.1), Rate, 400, 480), 440.0, 2.0);
}

// The mix driven by hand: which source frame the output frame being heard
// stands for, across resampling and tempo.
TEST(PlaybackPosition, IsThatOfTheOutputFrameBeingHeard)
{
    struct Case {
        int rate;
        float tempo;
    };
    for (const Case c : { Case { 44100, 0.0f }, Case { 48000, 0.0f }, Case { 44100, 25.0f } }) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, tempo " << c.tempo);
        TempDir dir;
        writeWav(dir.file("tone.wav"), sine(440, 1.0, c.rate));
        std::shared_ptr<ze::Channel> channel;
        if (c.tempo == 0.0f) {
            channel = ze::FileStream::open(dir.file("tone.wav"), 0, false);
        } else {
            auto tempo = ze::TempoStream::create(
                ze::FileStream::open(dir.file("tone.wav"), ze::StreamDecode, false), 0);
            tempo->setAttribute(ze::Attribute::Tempo, c.tempo);
            channel = tempo;
        }
        ASSERT_TRUE(channel);
        const std::int64_t start = c.rate / 10;
        ASSERT_TRUE(channel->setPositionFrames(start));
        ze::OutputMix mix(Rate);
        mix.add(channel);
        ASSERT_TRUE(channel->play(false, Rate, 0));
        // Rendered ahead: 4096 frames mixed while frame 0 is heard.
        std::vector<std::int16_t> out(2 * 512);
        for (std::int64_t first = 0; first < 4096; first += 512)
            mix.render(out.data(), 512, first, 0);

        const double perFrame = c.rate / static_cast<double>(Rate) * (1.0 + c.tempo / 100.0);
        for (const std::int64_t heard : { 0, 1000, 4000 })
            EXPECT_NEAR(
                static_cast<double>(channel->playbackPositionFrames(heard)), start + heard * perFrame, 1.5)
                << "heard frame " << heard;
        // Beyond what was mixed: where the mix stands.
        EXPECT_NEAR(static_cast<double>(channel->playbackPositionFrames(9000)), start + 4096 * perFrame, 1.5);

        ASSERT_TRUE(channel->play(true, Rate, 0));
        EXPECT_EQ(channel->playbackPositionFrames(9000), 0) << "restart plays from the start";
    }
}

} // namespace
