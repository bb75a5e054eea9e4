#include "effects/effect_manager.h"

#include "effects/effect_settings.h"

#include <cmath>

namespace engine = zv::engine;

void TEffectManager::ApplyEq()
{
    RemoveEq();
    EqFx = engine::channelSetFx(Channel, engine::EffectType::PeakEq, 2);
    for (int i = 0; i < static_cast<int>(EqBandTable.size()); ++i) {
        const TEqBandInfo& info = EqBandTable[static_cast<std::size_t>(i)];
        engine::fxSetEqBand(EqFx,
            { i, static_cast<float>(info.CentreHz), info.BandwidthOctaves,
                EqBands[static_cast<std::size_t>(i)] });
    }
}

void TEffectManager::RemoveEq()
{
    engine::channelRemoveFx(Channel, EqFx);
    EqFx = 0;
}

float TEffectManager::DbToFactor(float db)
{
    return static_cast<float>(std::pow(10.0L, static_cast<long double>(db) / 20.0L));
}

void TEffectManager::SetEnabled(bool on)
{
    Enabled = on;
    if (!on) {
        GainOn = false;
        FadeInOn = false;
        FadeOutOn = false;
        EqOn = false;
    }
}

void TEffectManager::SetBandGain(int index, bool live, float db)
{
    if (index < 0 || index >= static_cast<int>(EqBands.size()))
        return;
    EqBands[static_cast<std::size_t>(index)] = db;
    if (!live || engine::channelIsActive(Channel) != engine::Activity::Playing)
        return;
    engine::EqBand band;
    band.band = index;
    if (!engine::fxGetEqBand(EqFx, band))
        return;
    band.gainDb = db;
    engine::fxSetEqBand(EqFx, band);
}
