#pragma once
// Effects on the decode channel of a cut. A decode channel has no output
// volume, so gain and both fades are one volume effect whose level the cut
// loop advances block by block.
//
// Per cut: the owner sets Channel, StartByte, EndByte, StartMs and EndMs,
// calls Apply once, then UpdateBlock before reading each CutBlockBytes block
// with the byte position of the block's first byte. GUI thread only.

#include "effects/effect_manager.h"

#include <cstdint>

class TDecodeEffectManager : public TEffectManager {
public:
    std::uint64_t StartByte = 0; // segment on the decode channel
    std::uint64_t EndByte = 0;
    float Level = 0.0f; // linear factor now in force
    float TargetLevel = 0.0f; // steady factor: the gain factor, or 1.0 with gain off
    std::uint64_t FadeInEndByte = 0;
    float FadeInStep = 0.0f; // added per block
    std::uint64_t FadeOutStartByte = 0;
    float FadeOutStep = 0.0f; // subtracted per block

    // Sets the tempo, the equalizer, the levels and the fade positions and
    // steps. Clears GainOn and both fades for an empty segment, and a fade
    // that spans no bytes or that the fade-in leaves no room for.
    void Apply() override;
    // Takes the equalizer off and forgets the volume effect (it went with the
    // previous cut's channel); Level becomes 1.0.
    void Remove() override;
    // Moves Level one fade step, to the steady gain level, or, with gain off
    // and outside the fades, takes the volume effect off the channel.
    void UpdateBlock(std::uint64_t position);
    // Hands Level to the volume effect, creating it when there is none.
    void ApplyLevel();

private:
    std::uint64_t bytesAtMs(std::uint32_t ms) const;
};
