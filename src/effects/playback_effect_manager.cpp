#include "effects/playback_effect_manager.h"

#include "effects/effect_settings.h"

#include <algorithm>

namespace engine = zv::engine;

void TPlaybackEffectManager::Apply()
{
    Remove();
    if (!Enabled)
        return;
    engine::channelSetAttribute(Channel, engine::Attribute::Tempo, TempoOn ? TempoPercent : 0.0f);
    if (StartMs >= EndMs)
        return;
    const std::uint32_t segment = EndMs - StartMs;
    if (EqOn)
        ApplyEq();
    if (GainOn) {
        VolumeFx = engine::channelSetFx(Channel, engine::EffectType::Volume, 1);
        engine::fxSetVolume(VolumeFx, DbToFactor(GainDb));
    }

    std::uint32_t fadeInMs = 0;
    if (FadeInOn) {
        fadeInMs = std::min(FadeInMs, segment);
        engine::channelSetAttribute(Channel, engine::Attribute::Volume, FadeFloorLevel);
        engine::channelSlideAttribute(Channel, engine::Attribute::Volume, 1.0f, fadeInMs);
    }
    if (FadeOutOn && fadeInMs < segment) {
        // Each sync carries its own length: two managers never share one.
        const std::uint32_t fadeOutMs = std::min(FadeOutMs, segment - fadeInMs);
        const std::uint64_t position = engine::channelSeconds2Bytes(Channel, (EndMs - fadeOutMs) / 1000.0);
        // Engine output thread, when playback passes the position.
        FadeOutSync = engine::channelSetSync(Channel, engine::SyncType::Position, position,
            [fadeOutMs](engine::Handle, engine::Handle channel) {
                engine::channelSetAttribute(channel, engine::Attribute::Volume, 1.0f);
                engine::channelSlideAttribute(channel, engine::Attribute::Volume, FadeFloorLevel, fadeOutMs);
            });
    }
}

void TPlaybackEffectManager::Remove()
{
    engine::channelRemoveFx(Channel, VolumeFx);
    engine::channelRemoveSync(Channel, FadeOutSync);
    engine::channelSetAttribute(Channel, engine::Attribute::Volume, 1.0f);
    VolumeFx = 0;
    FadeOutSync = 0;
    RemoveEq();
}

void TPlaybackEffectManager::SetGainOn(bool on)
{
    GainOn = on;
    if (Enabled && !on) {
        engine::channelRemoveFx(Channel, VolumeFx);
        VolumeFx = 0;
    }
}

void TPlaybackEffectManager::SetGain(float db)
{
    GainDb = db;
    if (!Enabled || !GainOn)
        return;
    if (VolumeFx == 0)
        VolumeFx = engine::channelSetFx(Channel, engine::EffectType::Volume, 1);
    engine::fxSetVolume(VolumeFx, DbToFactor(db));
}

void TPlaybackEffectManager::SetTempoOn(bool on)
{
    TempoOn = on;
    if (Enabled && !on)
        engine::channelSetAttribute(Channel, engine::Attribute::Tempo, 0.0f);
}

void TPlaybackEffectManager::SetTempo(float percent)
{
    TempoPercent = percent;
    if (Enabled)
        engine::channelSetAttribute(Channel, engine::Attribute::Tempo, TempoOn ? percent : 0.0f);
}
