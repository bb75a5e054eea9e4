#include "effects/decode_effect_manager.h"
#include "effects/effect_settings.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace engine = zv::engine;

namespace {

constexpr std::uint64_t BytesPerSecond = 44100 * 4;

struct Block {
    std::uint64_t position;
    float level;
    engine::Handle volumeFx;
};

// Drives the manager as the cut job does, on a decoding tempo stream over a
// 44.1 kHz stereo WAV.
class DecodeEffects : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::init(engine::NoSoundDevice, 44100);
        zvtest::writeWav(m_dir.file("tone.wav"), zvtest::sine(440, 6.0));
        m_source
            = engine::streamCreateFile(m_dir.file("tone.wav"), engine::StreamDecode | engine::StreamPrescan);
        ASSERT_NE(m_source, 0u);
        m.Channel = engine::tempoCreate(m_source, engine::StreamDecode);
        ASSERT_NE(m.Channel, 0u);
        m.SetEnabled(true);
    }
    void TearDown() override
    {
        engine::streamFree(m.Channel);
        engine::streamFree(m_source);
    }

    void segment(std::uint32_t startMs, std::uint32_t endMs)
    {
        m.StartMs = startMs;
        m.EndMs = endMs;
        m.StartByte = engine::channelSeconds2Bytes(m.Channel, startMs / 1000.0);
        m.EndByte = engine::channelSeconds2Bytes(m.Channel, endMs / 1000.0);
    }

    // UpdateBlock for every block of the segment; the state after each.
    std::vector<Block> cut()
    {
        std::vector<Block> blocks;
        for (std::uint64_t position = m.StartByte; position < m.EndByte; position += CutBlockBytes) {
            m.UpdateBlock(position);
            blocks.push_back({ position, m.Level, m.VolumeFx });
        }
        return blocks;
    }

    static float volumeOf(engine::Handle fx)
    {
        float level = -1;
        return engine::fxGetVolume(fx, level) ? level : -1;
    }

    zvtest::TempDir m_dir;
    engine::Handle m_source = 0;
    TDecodeEffectManager m;
};

TEST_F(DecodeEffects, GainOnlyHoldsTheGainLevelWithOneVolumeEffect)
{
    segment(1000, 2000);
    m.GainOn = true;
    m.GainDb = 5;
    m.Apply();
    EXPECT_NEAR(m.TargetLevel, 1.778279f, 1e-6f);
    EXPECT_EQ(m.Level, m.TargetLevel);
    const auto blocks = cut();
    ASSERT_EQ(blocks.size(), 89u);
    for (const Block& block : blocks) {
        EXPECT_EQ(block.level, m.TargetLevel);
        EXPECT_EQ(block.volumeFx, blocks.front().volumeFx);
    }
    EXPECT_EQ(volumeOf(m.VolumeFx), m.TargetLevel);
}

TEST_F(DecodeEffects, FadeInLongerThanTheSegmentFillsItAndTheFadeOutIsIgnored)
{
    segment(1000, 2500);
    m.FadeInOn = m.FadeOutOn = true;
    m.FadeInMs = m.FadeOutMs = 2000;
    m.Apply();
    EXPECT_TRUE(m.FadeInOn);
    EXPECT_FALSE(m.FadeOutOn);
    EXPECT_EQ(m.FadeInEndByte, m.EndByte);
    EXPECT_EQ(m.Level, FadeFloorLevel);
    EXPECT_FLOAT_EQ(m.FadeInStep, 0.99f / (1.5f * BytesPerSecond / CutBlockBytes));

    const auto blocks = cut();
    ASSERT_EQ(blocks.size(), 133u); // 264600 bytes in 2000-byte blocks
    EXPECT_EQ(blocks.front().level, FadeFloorLevel + m.FadeInStep);
    for (std::size_t i = 1; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i].level, blocks[i - 1].level + m.FadeInStep) << i;
    // Whole steps: the last block overshoots the target by a fraction of a step.
    EXPECT_GE(blocks.back().level, 1.0f);
    EXPECT_LT(blocks.back().level, 1.0f + m.FadeInStep);
}

TEST_F(DecodeEffects, FadeInThenFadeOutOverTheRest)
{
    segment(0, 3000);
    m.FadeInOn = m.FadeOutOn = true;
    m.FadeInMs = m.FadeOutMs = 2000;
    m.Apply();
    EXPECT_EQ(m.FadeInEndByte, 2 * BytesPerSecond);
    EXPECT_EQ(m.FadeOutStartByte, 2 * BytesPerSecond); // the last 1.0 s
    EXPECT_FLOAT_EQ(m.FadeOutStep, 0.99f / (1.0f * BytesPerSecond / CutBlockBytes));

    const auto blocks = cut();
    std::size_t rising = 0;
    while (rising < blocks.size() && blocks[rising].position < m.FadeInEndByte)
        ++rising;
    EXPECT_EQ(rising, 177u);
    for (std::size_t i = rising; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].level, blocks[i - 1].level - m.FadeOutStep) << i;
        EXPECT_NE(blocks[i].volumeFx, 0u);
    }
    EXPECT_EQ(blocks.size() - rising, 88u);
    EXPECT_NEAR(blocks.back().level, FadeFloorLevel, m.FadeOutStep);
    EXPECT_EQ(volumeOf(m.VolumeFx), blocks.back().level);
}

TEST_F(DecodeEffects, AFadeInEndingOnABlockBoundaryLeavesThatBlockSteady)
{
    segment(0, 6000);
    m.FadeInOn = true;
    m.FadeInMs = 5000; // 882000 bytes: exactly 441 blocks
    m.Apply();
    ASSERT_EQ(m.FadeInEndByte, 441u * CutBlockBytes);
    const auto blocks = cut();
    EXPECT_NE(blocks[440].volumeFx, 0u);
    EXPECT_NEAR(blocks[440].level, 1.0f, 1e-4f);
    EXPECT_EQ(blocks[441].position, m.FadeInEndByte);
    EXPECT_EQ(blocks[441].level, 1.0f);
    EXPECT_EQ(blocks[441].volumeFx, 0u);
}

TEST_F(DecodeEffects, FadeOutAsLongAsTheSegmentFadesFromTheGainLevel)
{
    segment(1000, 2000);
    m.GainOn = m.FadeOutOn = true;
    m.GainDb = 5;
    m.FadeOutMs = 5000;
    m.Apply();
    EXPECT_EQ(m.FadeOutStartByte, m.StartByte);
    EXPECT_EQ(m.Level, m.TargetLevel);
    const auto blocks = cut();
    ASSERT_EQ(blocks.size(), 89u);
    EXPECT_EQ(blocks.front().level, m.TargetLevel - m.FadeOutStep);
    // 89 whole steps over 88.2 blocks' worth: the end lies below the floor by less than a step.
    EXPECT_LT(blocks.back().level, FadeFloorLevel);
    EXPECT_GT(blocks.back().level, FadeFloorLevel - m.FadeOutStep);
}

TEST_F(DecodeEffects, WithGainOffTheVolumeEffectExistsOnlyDuringFades)
{
    segment(0, 3000);
    m.FadeInOn = m.FadeOutOn = true;
    m.FadeInMs = 500;
    m.FadeOutMs = 500;
    m.Apply();
    const auto blocks = cut();
    const engine::Handle fadeInFx = blocks.front().volumeFx;
    ASSERT_NE(fadeInFx, 0u);
    std::size_t steady = 0, fadeOutStart = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uint64_t position = blocks[i].position;
        if (position < m.FadeInEndByte) {
            EXPECT_EQ(blocks[i].volumeFx, fadeInFx) << i;
        } else if (position < m.FadeOutStartByte) {
            EXPECT_EQ(blocks[i].volumeFx, 0u) << i;
            EXPECT_EQ(blocks[i].level, 1.0f) << i;
            ++steady;
        } else {
            EXPECT_NE(blocks[i].volumeFx, 0u) << i;
            fadeOutStart = fadeOutStart ? fadeOutStart : i;
        }
    }
    EXPECT_GT(steady, 0u);
    ASSERT_GT(fadeOutStart, 0u);
    EXPECT_EQ(blocks[fadeOutStart].level, 1.0f - m.FadeOutStep);
    EXPECT_EQ(volumeOf(fadeInFx), -1) << "the fade-in's volume effect is still on the channel";
}

TEST_F(DecodeEffects, AnEmptySegmentGetsOnlyTheTempo)
{
    segment(1000, 1000);
    m.GainOn = m.FadeInOn = m.FadeOutOn = m.EqOn = m.TempoOn = true;
    m.GainDb = 5;
    m.FadeInMs = m.FadeOutMs = 1000;
    m.TempoPercent = 20;
    m.Apply();
    EXPECT_FALSE(m.GainOn || m.FadeInOn || m.FadeOutOn);
    EXPECT_EQ(m.EqFx, 0u);
    EXPECT_EQ(m.Level, 1.0f);
    float tempo = 0;
    ASSERT_TRUE(engine::channelGetAttribute(m.Channel, engine::Attribute::Tempo, tempo));
    EXPECT_EQ(tempo, 20.0f);
    m.UpdateBlock(m.StartByte);
    EXPECT_EQ(m.Level, 1.0f);
    EXPECT_EQ(m.VolumeFx, 0u);
}

TEST_F(DecodeEffects, TempoOffResetsTheTempoAndAZeroFadeInIsNoFade)
{
    engine::channelSetAttribute(m.Channel, engine::Attribute::Tempo, 30);
    segment(0, 1000);
    m.TempoPercent = 30;
    m.FadeInOn = true;
    m.FadeInMs = 0;
    m.Apply();
    float tempo = -1;
    engine::channelGetAttribute(m.Channel, engine::Attribute::Tempo, tempo);
    EXPECT_EQ(tempo, 0.0f);
    EXPECT_FALSE(m.FadeInOn);
    EXPECT_EQ(m.Level, 1.0f);
}

TEST_F(DecodeEffects, DisabledManagerLeavesTheChannelAlone)
{
    segment(0, 1000);
    m.GainOn = m.FadeInOn = m.EqOn = true;
    m.FadeInMs = 500;
    m.Enabled = false;
    m.Apply();
    EXPECT_EQ(m.Level, 1.0f);
    EXPECT_EQ(m.EqFx, 0u);
    for (const Block& block : cut()) {
        EXPECT_EQ(block.level, 1.0f);
        EXPECT_EQ(block.volumeFx, 0u);
    }
}

TEST_F(DecodeEffects, ApplyPutsTheEqualizerOnAndTheNextApplyTakesItOff)
{
    segment(0, 1000);
    m.EqOn = true;
    m.EqBands[0] = 6;
    m.Apply();
    const engine::Handle eq = m.EqFx;
    engine::EqBand band;
    band.band = 0;
    ASSERT_TRUE(engine::fxGetEqBand(eq, band));
    EXPECT_EQ(band.gainDb, 6.0f);
    m.EqOn = false;
    m.Apply();
    EXPECT_EQ(m.EqFx, 0u);
    EXPECT_FALSE(engine::fxGetEqBand(eq, band));
}

} // namespace
