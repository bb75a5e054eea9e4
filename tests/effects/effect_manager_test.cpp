#include "effects/effect_manager.h"
#include "effects/effect_settings.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace engine = zv::engine;

namespace {

TEST(EffectManager, DbToFactor)
{
    const std::pair<float, float> cases[]
        = { { 0, 1.0f }, { 5, 1.778279f }, { -2, 0.794328f }, { 20, 10.0f }, { -40, 0.01f } };
    for (const auto& [db, factor] : cases)
        EXPECT_NEAR(TEffectManager::DbToFactor(db), factor, 1e-6f) << db;
}

TEST(EffectManager, SwitchingOffClearsEverythingButTempo)
{
    TEffectManager m;
    m.SetEnabled(true);
    for (auto* flag : { &m.GainOn, &m.FadeInOn, &m.FadeOutOn, &m.TempoOn, &m.EqOn })
        *flag = true;
    m.SetEnabled(false);
    EXPECT_FALSE(m.Enabled);
    EXPECT_FALSE(m.GainOn || m.FadeInOn || m.FadeOutOn || m.EqOn);
    EXPECT_TRUE(m.TempoOn);
}

// The equalizer lives on a real channel; a decode channel counts as playing
// until its last byte, a playable one that was never played as stopped.
class EffectManagerEq : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::init(engine::NoSoundDevice, 44100);
        zvtest::writeWav(m_dir.file("tone.wav"), zvtest::sine(1000, 0.5));
    }
    void TearDown() override { engine::streamFree(m.Channel); }

    void open(std::uint32_t flags)
    {
        m.Channel = engine::streamCreateFile(m_dir.file("tone.wav"), flags);
        ASSERT_NE(m.Channel, 0u);
    }

    float bandGain(int index) const
    {
        engine::EqBand band;
        band.band = index;
        EXPECT_TRUE(engine::fxGetEqBand(m.EqFx, band));
        return band.gainDb;
    }

    zvtest::TempDir m_dir;
    TEffectManager m;
};

TEST_F(EffectManagerEq, ApplyEqSetsTheTenBandsAndReplacesTheOldEqualizer)
{
    open(engine::StreamDecode);
    for (int i = 0; i < 10; ++i)
        m.EqBands[static_cast<std::size_t>(i)] = static_cast<float>(i) - 5.0f;
    m.ApplyEq();
    const engine::Handle first = m.EqFx;
    ASSERT_NE(first, 0u);
    for (int i = 0; i < 10; ++i) {
        engine::EqBand band;
        band.band = i;
        ASSERT_TRUE(engine::fxGetEqBand(first, band));
        EXPECT_EQ(band.centreHz, static_cast<float>(EqBandTable[static_cast<std::size_t>(i)].CentreHz));
        EXPECT_EQ(band.bandwidthOctaves, EqBandTable[static_cast<std::size_t>(i)].BandwidthOctaves);
        EXPECT_EQ(band.gainDb, static_cast<float>(i) - 5.0f);
    }
    m.ApplyEq();
    EXPECT_NE(m.EqFx, 0u);
    engine::EqBand band;
    EXPECT_FALSE(engine::fxGetEqBand(first, band)) << "the first equalizer is still on the channel";
    m.RemoveEq();
    EXPECT_EQ(m.EqFx, 0u);
}

TEST_F(EffectManagerEq, LiveBandGainReachesOnlyAPlayingChannel)
{
    open(engine::StreamDecode);
    m.ApplyEq();
    m.SetBandGain(3, true, 7.5f);
    EXPECT_EQ(bandGain(3), 7.5f);
    m.SetBandGain(4, false, -3.0f);
    EXPECT_EQ(m.EqBands[4], -3.0f);
    EXPECT_EQ(bandGain(4), 0.0f);
}

TEST_F(EffectManagerEq, LiveBandGainOnAStoppedChannelWaitsForApplyEq)
{
    open(0);
    m.ApplyEq();
    m.SetBandGain(9, true, 12.0f);
    EXPECT_EQ(m.EqBands[9], 12.0f);
    EXPECT_EQ(bandGain(9), 0.0f);
    m.ApplyEq();
    EXPECT_EQ(bandGain(9), 12.0f);
}

TEST_F(EffectManagerEq, BandIndexOutOfRangeIsIgnored)
{
    open(engine::StreamDecode);
    m.ApplyEq();
    const auto before = m.EqBands;
    for (int index : { -1, 10, 1000 })
        m.SetBandGain(index, true, 9.0f);
    EXPECT_EQ(m.EqBands, before);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(bandGain(i), 0.0f) << i;
}

} // namespace
