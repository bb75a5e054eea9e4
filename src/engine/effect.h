#pragma once
// An effect running inside a channel's data path. Called with the channel's
// lock held, on whichever thread pulls the channel's data.

#include <cstddef>

namespace zv::engine {

class Effect {
public:
    virtual ~Effect() = default;
    // samples: interleaved, nominal range -1..1, may exceed it between effects.
    virtual void process(float* samples, std::size_t frames, int channels, int rate) = 0;
};

} // namespace zv::engine
