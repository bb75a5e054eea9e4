#include "effects/playback_effect_manager.h"

#include "audio/task_queue.h"
#include "effects/effect_player.h"
#include "support/disk_capture.h"
#include "support/signal.h"
#include "support/temp_dir.h"
#include "support/tone_steps.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

namespace engine = zv::engine;
using namespace std::chrono_literals;
using namespace zvtest;

namespace {

// A playable tempo stream, as the effect player gives its manager; nothing
// is played.
class PlaybackEffectManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::init(engine::NoSoundDevice, 44100);
        writeWav(m_dir.file("tone.wav"), sine(1000, 4.0));
        m_source
            = engine::streamCreateFile(m_dir.file("tone.wav"), engine::StreamDecode | engine::StreamPrescan);
        m.Channel = engine::tempoCreate(m_source, 0);
        ASSERT_NE(m.Channel, 0u);
    }
    void TearDown() override
    {
        engine::streamFree(m.Channel);
        engine::streamFree(m_source);
    }

    void switchEverythingOn()
    {
        m.SetEnabled(true);
        m.SetGainOn(true);
        m.SetGain(5);
        m.SetTempoOn(true);
        m.SetTempo(20);
        m.SetEqOn(true);
        m.SetFadeInOn(true);
        m.SetFadeInMs(2000);
        m.SetFadeOutOn(true);
        m.SetFadeOutMs(2000);
    }

    float attribute(engine::Attribute which) const
    {
        float value = -1;
        EXPECT_TRUE(engine::channelGetAttribute(m.Channel, which, value));
        return value;
    }

    TempDir m_dir;
    engine::Handle m_source = 0;
    TPlaybackEffectManager m;
};

TEST_F(PlaybackEffectManagerTest, ApplyPutsTheSettingsOnTheChannel)
{
    struct Case {
        std::uint32_t startMs, endMs;
        bool fadeIn;
        bool effects; // gain and equalizer
        bool fadeOutSync;
        float volume; // right after Apply, before any sound
    };
    const Case cases[] = {
        { 0, 1500, true, true, false, 0.01f }, // the fade-in fills the segment
        { 0, 3000, true, true, true, 0.01f }, // 2.0 s in, the last 1.0 s out
        { 500, 1000, false, true, true, 1.0f },
        { 1000, 1000, true, false, false, 1.0f }, // empty: the tempo only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.startMs) + "-" + std::to_string(c.endMs));
        switchEverythingOn();
        m.SetFadeInOn(c.fadeIn);
        m.StartMs = c.startMs;
        m.EndMs = c.endMs;
        m.Apply();

        EXPECT_EQ(attribute(engine::Attribute::Tempo), 20.0f);
        EXPECT_EQ(attribute(engine::Attribute::Volume), c.volume);
        EXPECT_EQ(m.FadeOutSync != 0, c.fadeOutSync);
        EXPECT_EQ(m.EqFx != 0, c.effects);
        float level = 0;
        EXPECT_EQ(engine::fxGetVolume(m.VolumeFx, level), c.effects);
        if (c.effects) {
            EXPECT_FLOAT_EQ(level, TEffectManager::DbToFactor(5));
        }
    }
}

TEST_F(PlaybackEffectManagerTest, ApplyWhenDisabledTakesEverythingOffButLeavesTheTempo)
{
    switchEverythingOn();
    m.StartMs = 0;
    m.EndMs = 3000;
    m.Apply();
    const engine::Handle volumeFx = m.VolumeFx;
    const engine::Handle eqFx = m.EqFx;
    const engine::Handle fadeOutSync = m.FadeOutSync;

    m.SetEnabled(false);
    m.Apply();

    EXPECT_EQ(m.VolumeFx, 0u);
    EXPECT_EQ(m.EqFx, 0u);
    EXPECT_EQ(m.FadeOutSync, 0u);
    float level = 0;
    EXPECT_FALSE(engine::fxGetVolume(volumeFx, level)) << "the volume effect is still on";
    engine::EqBand band;
    EXPECT_FALSE(engine::fxGetEqBand(eqFx, band)) << "the equalizer is still on";
    EXPECT_FALSE(engine::channelRemoveSync(m.Channel, fadeOutSync)) << "the fade-out sync is still set";
    EXPECT_EQ(attribute(engine::Attribute::Volume), 1.0f);
    EXPECT_EQ(attribute(engine::Attribute::Tempo), 20.0f);
}

TEST_F(PlaybackEffectManagerTest, LiveSettersActOnTheChannelOnlyWhenEnabled)
{
    m.SetGainOn(true);
    m.SetGain(6);
    m.SetTempoOn(true);
    m.SetTempo(30);
    EXPECT_EQ(m.VolumeFx, 0u);
    EXPECT_EQ(attribute(engine::Attribute::Tempo), 0.0f);
    EXPECT_EQ(m.GainDb, 6.0f);
    EXPECT_EQ(m.TempoPercent, 30.0f);

    m.SetEnabled(true);
    m.SetGainOn(true);
    m.SetGain(6);
    const engine::Handle first = m.VolumeFx;
    float level = 0;
    ASSERT_TRUE(engine::fxGetVolume(first, level));
    EXPECT_FLOAT_EQ(level, TEffectManager::DbToFactor(6));
    m.SetGainOn(false);
    EXPECT_EQ(m.VolumeFx, 0u);
    EXPECT_FALSE(engine::fxGetVolume(first, level)) << "switching gain off left the effect on";
    m.SetGainOn(true);
    m.SetGain(3);
    ASSERT_TRUE(engine::fxGetVolume(m.VolumeFx, level));
    EXPECT_FLOAT_EQ(level, TEffectManager::DbToFactor(3));

    m.SetTempo(30);
    EXPECT_EQ(attribute(engine::Attribute::Tempo), 30.0f);
    m.SetTempoOn(false);
    EXPECT_EQ(attribute(engine::Attribute::Tempo), 0.0f);
    m.SetTempo(40);
    EXPECT_EQ(attribute(engine::Attribute::Tempo), 0.0f);
    EXPECT_EQ(m.TempoPercent, 40.0f);
}

// Each manager's fade-out keeps its own length, however the Applies of two
// previews interleave.
TEST(PlaybackEffectManagerPlaying, TwoManagersKeepTheirOwnFadeOutLength)
{
    TempDir dir;
    DiskCapture capture(dir.file("played.raw"));
    TTaskQueue gui;
    writeWav(dir.file("steps.wav"), toneSteps({ 440, 1000 }, 1.5, 44100, 2, 0.25));
    TEffectPlayer slow(dir.file("steps.wav"), gui.Poster());
    TEffectPlayer quick(dir.file("steps.wav"), gui.Poster());
    for (auto [player, fadeOutMs] : { std::pair { &slow, 1000u }, std::pair { &quick, 200u } }) {
        player->Manager.SetEnabled(true);
        player->Manager.SetFadeOutOn(true);
        player->Manager.SetFadeOutMs(fadeOutMs);
    }
    int stops = 0;
    slow.OnStop = [&stops] { ++stops; };
    quick.OnStop = [&stops] { ++stops; };

    slow.PlaySegment(0, 1500);
    quick.PlaySegment(1500, 3000);
    ASSERT_TRUE(gui.RunUntil([&stops] { return stops == 2; }, 10s));

    const Signal played = capture.finish();
    const double s = static_cast<double>(findSound(played).begin) / played.rate;
    const double source = 20 * std::log10(0.25);
    // The slow fade-out runs from 0.5 s to 1.5 s: halfway at 1.0 s.
    EXPECT_NEAR(toneDb(played, 440, s + 0.98, s + 1.02) - source, 20 * std::log10(0.505), 1.0);
    // The quick one has not begun at 1.0 s.
    EXPECT_NEAR(toneDb(played, 1000, s + 0.98, s + 1.02) - source, 0, 1.0);
}

} // namespace
