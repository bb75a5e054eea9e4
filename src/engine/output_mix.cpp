#include "engine/output_mix.h"

#include "engine/channel.h"

#include <algorithm>
#include <cmath>

namespace zv::engine {

void OutputMix::add(std::shared_ptr<Channel> channel)
{
    const std::lock_guard lock(m_lock);
    m_channels.push_back(std::move(channel));
}

void OutputMix::remove(const Channel* channel)
{
    const std::lock_guard lock(m_lock);
    std::erase_if(m_channels, [channel](const auto& c) { return c.get() == channel; });
}

void OutputMix::render(
    std::int16_t* out, std::size_t frames, std::int64_t firstFrame, std::int64_t heardFrame)
{
    {
        const std::lock_guard lock(m_lock);
        m_rendering = m_channels;
    }
    m_sum.assign(2 * frames, 0.0f);
    m_block = MixBlock { m_sum.data(), frames, firstFrame, heardFrame, firstFrame };
    for (const auto& channel : m_rendering) {
        const std::lock_guard lock(channel->mutex());
        channel->render(m_block);
    }
    // A channel freed meanwhile may end here, on this thread.
    m_rendering.clear();
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        const float scaled = std::nearbyint(m_sum[i] * 32768.0f);
        out[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
}

} // namespace zv::engine
