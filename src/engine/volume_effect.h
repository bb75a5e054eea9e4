#pragma once
// Linear volume: multiplies every sample by the level.
//
// Not thread-safe: the engine serialises parameter calls with the data path
// of the channel that carries the effect.

#include "engine/effect.h"

namespace zv::engine {

class VolumeEffect final : public Effect {
public:
    // Pre: level is finite. 1.0 leaves the sound as it is.
    void setLevel(float level) { m_level = level; }
    float level() const { return m_level; }

    void process(float* samples, std::size_t frames, int channels, int rate) override;

private:
    float m_level = 1.0f;
};

} // namespace zv::engine
