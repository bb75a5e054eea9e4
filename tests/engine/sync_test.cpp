#include "engine/engine.h"

#include "support/disk_capture.h"
#include "support/signal.h"
#include "support/sounding.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

namespace ze = zv::engine;
using namespace std::chrono_literals;
using namespace zvtest;

constexpr int Rate = 44100;

std::vector<std::int16_t> pcmOf(const Signal& s)
{
    std::vector<std::int16_t> pcm;
    for (const float v : s.samples)
        pcm.push_back(static_cast<std::int16_t>(std::lround(v * 32768.0f)));
    return pcm;
}

class DecodeSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ze::shutdown();
        ASSERT_TRUE(ze::init(ze::NoSoundDevice, Rate));
    }

    TempDir m_dir;
};

TEST_F(DecodeSyncTest, PositionSyncFiresInsideGetDataBetweenTheBytesAroundItEachPass)
{
    const Signal source = ramp(Rate / 2);
    writeWav(m_dir.file("ramp.wav"), source);
    const ze::Handle stream
        = ze::streamCreateFile(m_dir.file("ramp.wav"), ze::StreamDecode | ze::StreamPrescan);
    ASSERT_NE(stream, 0u);
    constexpr std::uint64_t At = 10007 * 4;
    std::vector<std::uint64_t> firedAt;
    std::vector<std::size_t> deliveredBefore;
    std::size_t delivered = 0;
    int ends = 0;
    ze::channelSetSync(stream, ze::SyncType::Position, At, [&](ze::Handle, ze::Handle c) {
        firedAt.push_back(ze::channelGetPosition(c));
        deliveredBefore.push_back(delivered);
    });
    ze::channelSetSync(stream, ze::SyncType::End, 0, [&](ze::Handle, ze::Handle) { ++ends; });

    // Reads to the end in blocks that straddle the position; the data
    // arrives whole, and a block's bytes count as delivered once it returns.
    const auto readAll = [&] {
        std::vector<std::int16_t> all;
        std::vector<std::int16_t> block(3000);
        for (;;) {
            const std::int64_t got = ze::channelGetData(stream, block.data(), 6000);
            if (got < 0)
                break;
            all.insert(all.end(), block.begin(), block.begin() + got / 2);
            delivered += static_cast<std::size_t>(got);
        }
        return all;
    };
    EXPECT_EQ(readAll(), pcmOf(source));
    EXPECT_EQ(firedAt, std::vector<std::uint64_t> { At });
    ASSERT_EQ(deliveredBefore.size(), 1u);
    EXPECT_EQ(deliveredBefore[0] / 6000, At / 6000) << "fired inside the read that crosses the position";
    EXPECT_EQ(ends, 1);

    // Moved back before the position: it fires again; moved past it: not.
    ASSERT_TRUE(ze::channelSetPosition(stream, 4 * 100));
    delivered = 0;
    readAll();
    ASSERT_TRUE(ze::channelSetPosition(stream, At + 4));
    readAll();
    EXPECT_EQ(firedAt, (std::vector<std::uint64_t> { At, At }));
    EXPECT_EQ(ends, 3);
}

TEST_F(DecodeSyncTest, PositionSyncOnATempoStreamFiresWhereTheSourceTimeLineReachesIt)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 1.0));
    const ze::Handle source
        = ze::streamCreateFile(m_dir.file("tone.wav"), ze::StreamDecode | ze::StreamPrescan);
    const ze::Handle tempo = ze::tempoCreate(source, ze::StreamDecode);
    ASSERT_NE(tempo, 0u);
    ASSERT_TRUE(ze::channelSetAttribute(tempo, ze::Attribute::Tempo, 10.0f));
    const std::uint64_t at = ze::channelSeconds2Bytes(tempo, 0.5);
    std::vector<std::uint64_t> firedAt;
    ze::channelSetSync(tempo, ze::SyncType::Position, at,
        [&](ze::Handle, ze::Handle c) { firedAt.push_back(ze::channelGetPosition(c)); });
    std::vector<std::int16_t> block(2000);
    while (ze::channelGetData(tempo, block.data(), 4000) > 0) { }
    ASSERT_EQ(firedAt.size(), 1u);
    EXPECT_GE(firedAt[0], at);
    EXPECT_LE(firedAt[0], at + 2 * 4);
}

// Syncs of playing channels, on SDL's disk driver.
class PlayingSyncTest : public ::testing::Test {
protected:
    TempDir m_dir;
    DiskCapture m_capture { m_dir.file("played.raw") };
};

TEST_F(PlayingSyncTest, FreeingWaitsForARunningCallbackAndNoneRunsAfterIt)
{
    writeWav(m_dir.file("tone.wav"), sine(440, 3.0));
    const ze::Handle stream = ze::streamCreateFile(m_dir.file("tone.wav"), 0);
    ASSERT_NE(stream, 0u);
    std::atomic<bool> inside = false;
    std::atomic<bool> freeing = false;
    std::atomic<bool> freed = false;
    std::atomic<int> entered = 0;
    std::atomic<int> late = 0;
    for (int i = 1; i < 60; ++i) {
        ze::channelSetSync(stream, ze::SyncType::Position, ze::channelSeconds2Bytes(stream, i * 0.05),
            [&](ze::Handle, ze::Handle) {
                const int call = ++entered;
                inside = true;
                if (freed)
                    ++late;
                // From the third call on, held until the free below has
                // begun, then long enough for it to arrive meanwhile.
                const auto limit = std::chrono::steady_clock::now() + 2s;
                while (call >= 3 && !freeing && std::chrono::steady_clock::now() < limit)
                    std::this_thread::yield();
                std::this_thread::sleep_for(15ms);
                inside = false;
            });
    }
    ASSERT_TRUE(ze::channelPlay(stream, false));
    ASSERT_TRUE(ze::channelIsActive(stream) == ze::Activity::Playing);
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!(entered >= 3 && inside) && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    ASSERT_TRUE(inside) << "no callback was running";

    freeing = true;
    EXPECT_TRUE(ze::streamFree(stream));
    EXPECT_FALSE(inside) << "streamFree returned while a callback ran";
    freed = true;
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(late, 0);
    EXPECT_EQ(ze::channelIsActive(stream), ze::Activity::Stopped);
    EXPECT_EQ(ze::lastError(), ze::BadHandle);

    // Silent from the free on: far less than the three seconds was played.
    const SoundSpan sound = findSound(m_capture.finish());
    EXPECT_LT(sound.seconds(Rate), 1.5);
}

TEST_F(PlayingSyncTest, EndCallbackThatOpensAndPlaysTheNextFileContinuesAtTheNextSample)
{
    writeWav(m_dir.file("first.wav"), ramp(Rate / 5));
    // The second file's frames count on from 20000, so they tell themselves
    // apart from the first's.
    Signal next { Rate, 2, {} };
    for (int i = 0; i < Rate / 5; ++i)
        next.samples.insert(next.samples.end(), 2, static_cast<float>(20000 + i) / 32768.0f);
    writeWav(m_dir.file("next.wav"), next);

    const ze::Handle first = ze::streamCreateFile(m_dir.file("first.wav"), 0);
    ASSERT_NE(first, 0u);
    std::atomic<ze::Handle> second = 0;
    ze::channelSetSync(first, ze::SyncType::End, 0, [&](ze::Handle, ze::Handle c) {
        const ze::Handle h = ze::streamCreateFile(m_dir.file("next.wav"), 0);
        ze::channelPlay(h, false);
        ze::streamFree(c);
        second = h;
    });
    ASSERT_TRUE(ze::channelPlay(first, false));
    ASSERT_TRUE(ze::channelIsActive(first) == ze::Activity::Playing);
    const auto until = std::chrono::steady_clock::now() + 10s;
    while ((second == 0 || ze::channelIsActive(second) != ze::Activity::Stopped)
        && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    ASSERT_NE(second.load(), 0u);

    const Signal played = sounding(m_capture.finish());
    std::vector<int> heard;
    for (std::size_t i = 0; i < played.frames(); ++i)
        heard.push_back(static_cast<int>(std::lround(played.samples[2 * i] * 32768.0f)));
    std::vector<int> expected;
    for (int i = 1; i < Rate / 5; ++i)
        expected.push_back(i);
    for (int i = 0; i < Rate / 5; ++i)
        expected.push_back(20000 + i);
    EXPECT_EQ(heard, expected);
}

} // namespace
