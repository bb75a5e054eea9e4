#pragma once
// Effects on a playing channel (the effect preview's tempo stream). Fades use
// the channel's volume attribute and the engine's timed slide; the fade-out
// is started by a position sync. Gain, tempo and equalizer bands change live.
//
// Per preview: the owner fills the settings, sets StartMs and EndMs, calls
// Apply, then plays the range. GUI thread only; the fade-out sync runs on the
// engine's output thread and touches only the channel.

#include "effects/effect_manager.h"

class TPlaybackEffectManager : public TEffectManager {
public:
    zv::engine::Handle FadeOutSync = 0; // 0 = none

    // Remove, then tempo, equalizer, gain, the fade-in slide and the
    // fade-out sync. Disabled: nothing after Remove. An empty segment gets
    // only the tempo; a fade-in that fills the segment leaves no fade-out.
    void Apply() override;
    // Takes the volume effect, the fade-out sync and the equalizer off and
    // sets the volume to 1.0; the tempo stays.
    void Remove() override;
    // Switching off takes the volume effect off at once (when enabled).
    void SetGainOn(bool on) override;
    // With gain on (and enabled), sets the level at once, creating the
    // volume effect if there is none.
    void SetGain(float db) override;
    void SetTempoOn(bool on) override;
    void SetTempo(float percent) override;
};
