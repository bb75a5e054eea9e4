#pragma once
// The effect preview's player: plays the source through a tempo stream and
// puts the effects of Manager on before each range play. GUI thread only, as
// TPlayer.

#include "cutter/player.h"
#include "effects/playback_effect_manager.h"

class TEffectPlayer : public TPlayer {
public:
    // Opens fileName for decoding (prescanned) and plays it through a tempo
    // stream, which becomes Stream and Manager's Channel. Throws AppError
    // with the opening message, or when the tempo stream cannot be made.
    TEffectPlayer(const std::string& fileName, PostToGui post);
    // Frees the tempo stream, then the decoding stream under it.
    ~TEffectPlayer() override;

    TPlaybackEffectManager Manager;

    // Sets Manager's segment, applies its effects, then plays the range, so
    // the effects are in place before the first sample sounds.
    void PlayRange(std::uint32_t startMs, std::uint32_t endMs, std::uint32_t fromMs) override;

private:
    TEffectPlayer(const std::string& fileName, PostToGui post, zv::engine::Handle source);

    zv::engine::Handle m_source; // the decoding stream the tempo stream reads
};
