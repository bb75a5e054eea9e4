#pragma once
// The mix of every playing channel into the output's format: 16-bit stereo
// at the output's rate, summed with saturation. Holds the playable channels
// from creation to free; each mixes itself while it plays (Channel::render).

#include "engine/mix_block.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zv::engine {

class Channel;

class OutputMix {
public:
    explicit OutputMix(int rate)
        : m_rate(rate)
    {
    }

    int rate() const { return m_rate; }
    // Any thread; takes no other lock, so callers may hold the engine's.
    void add(std::shared_ptr<Channel> channel);
    void remove(const Channel* channel);

    // The mixing thread: renders frames frames into out, the first being
    // output frame firstFrame; heardFrame is the frame being heard now.
    // Sync callbacks run in here, with no lock held but their channel's.
    void render(std::int16_t* out, std::size_t frames, std::int64_t firstFrame, std::int64_t heardFrame);
    // The mixing thread, inside a callback: the output frame where it fired.
    std::int64_t cursor() const { return m_block.cursor; }

private:
    int m_rate;
    std::mutex m_lock; // guards m_channels
    std::vector<std::shared_ptr<Channel>> m_channels;
    std::vector<std::shared_ptr<Channel>> m_rendering; // the mixing thread's copy
    std::vector<float> m_sum;
    MixBlock m_block {}; // the block being rendered
};

} // namespace zv::engine
