#pragma once
// The user's effect settings and the operations every way of applying them
// shares: the ten-band equalizer, the dB-to-factor mapping, the setters.
// The owner fills the fields and sets Channel before Apply. GUI thread only.

#include "engine/engine.h"

#include <array>
#include <cstdint>

class TEffectManager {
public:
    virtual ~TEffectManager() = default;

    zv::engine::Handle Channel = 0;
    bool Enabled = false;
    bool GainOn = false;
    bool FadeInOn = false;
    bool FadeOutOn = false;
    bool TempoOn = false;
    bool EqOn = false;
    zv::engine::Handle VolumeFx = 0; // the volume effect on Channel, 0 = none
    float GainDb = 0.0f;
    std::uint32_t FadeInMs = 0;
    std::uint32_t FadeOutMs = 0;
    float TempoPercent = 0.0f; // 0 = unchanged
    std::uint32_t StartMs = 0; // segment on the channel's time line
    std::uint32_t EndMs = 0;
    zv::engine::Handle EqFx = 0; // the equalizer on Channel, 0 = none
    std::array<float, 10> EqBands {}; // dB, index 0 = lowest band

    virtual void Apply() { }
    virtual void Remove() { }
    virtual void SetGainOn(bool on) { GainOn = on; }
    virtual void SetGain(float db) { GainDb = db; }
    virtual void SetTempoOn(bool on) { TempoOn = on; }
    virtual void SetTempo(float percent) { TempoPercent = percent; }

    // Puts a fresh equalizer on Channel with every band of EqBands.
    void ApplyEq();
    void RemoveEq();
    // 10^(dB/20), computed in extended precision.
    static float DbToFactor(float db);
    // Switching off also switches off gain, fades and equalizer (not tempo).
    void SetEnabled(bool on);
    void SetEqOn(bool on) { EqOn = on; }
    // Ignores an index outside 0..9. With live set, a playing channel's
    // equalizer takes the new gain at once; otherwise it waits for ApplyEq.
    void SetBandGain(int index, bool live, float db);
    void SetFadeInOn(bool on) { FadeInOn = on; }
    void SetFadeInMs(std::uint32_t ms) { FadeInMs = ms; }
    void SetFadeOutOn(bool on) { FadeOutOn = on; }
    void SetFadeOutMs(std::uint32_t ms) { FadeOutMs = ms; }
};
