#include "effects/decode_effect_manager.h"

#include "effects/effect_settings.h"

#include <algorithm>

namespace engine = zv::engine;

namespace {

// The level change per block for a fade over the given bytes, computed in
// extended precision: the level moves by whole steps, one per block.
float stepPerBlock(float targetLevel, std::uint64_t fadeBytes)
{
    const long double blocks = static_cast<long double>(fadeBytes) / CutBlockBytes;
    return static_cast<float>((static_cast<long double>(targetLevel) - FadeFloorLevel) / blocks);
}

} // namespace

void TDecodeEffectManager::Apply()
{
    Remove();
    if (!Enabled)
        return;
    engine::channelSetAttribute(Channel, engine::Attribute::Tempo, TempoOn ? TempoPercent : 0.0f);
    if (EndMs <= StartMs) {
        GainOn = false;
        FadeInOn = false;
        FadeOutOn = false;
        return;
    }
    const std::uint32_t segment = EndMs - StartMs;
    if (EqOn)
        ApplyEq();
    TargetLevel = GainOn ? DbToFactor(GainDb) : 1.0f;

    std::uint32_t fadeInMs = 0;
    if (FadeInOn) {
        fadeInMs = std::min(FadeInMs, segment);
        FadeInEndByte = bytesAtMs(StartMs + fadeInMs);
        if (FadeInEndByte > StartByte)
            FadeInStep = stepPerBlock(TargetLevel, FadeInEndByte - StartByte);
        else
            FadeInOn = false;
    }
    Level = FadeInOn ? FadeFloorLevel : TargetLevel;

    if (FadeOutOn) {
        if (fadeInMs >= segment) {
            FadeOutOn = false;
        } else {
            const std::uint32_t fadeOutMs = std::min(FadeOutMs, segment - fadeInMs);
            FadeOutStartByte = bytesAtMs(EndMs - fadeOutMs);
            if (FadeOutStartByte < EndByte)
                FadeOutStep = stepPerBlock(TargetLevel, EndByte - FadeOutStartByte);
            else
                FadeOutOn = false;
        }
    }
}

void TDecodeEffectManager::Remove()
{
    RemoveEq();
    VolumeFx = 0;
    Level = 1.0f;
}

void TDecodeEffectManager::UpdateBlock(std::uint64_t position)
{
    if (!Enabled)
        return;
    if (FadeInOn) {
        if (position < FadeInEndByte) {
            Level += FadeInStep;
            ApplyLevel();
            return;
        }
        FadeInOn = false;
    }
    if (FadeOutOn && position >= FadeOutStartByte) {
        Level -= FadeOutStep;
        ApplyLevel();
        return;
    }
    if (GainOn) {
        Level = TargetLevel;
        ApplyLevel();
        return;
    }
    Level = 1.0f;
    if (VolumeFx != 0) {
        engine::channelRemoveFx(Channel, VolumeFx);
        VolumeFx = 0;
    }
}

void TDecodeEffectManager::ApplyLevel()
{
    if (!Enabled)
        return;
    if (VolumeFx == 0)
        VolumeFx = engine::channelSetFx(Channel, engine::EffectType::Volume, 1);
    engine::fxSetVolume(VolumeFx, Level);
}

std::uint64_t TDecodeEffectManager::bytesAtMs(std::uint32_t ms) const
{
    return engine::channelSeconds2Bytes(Channel, ms / 1000.0);
}
