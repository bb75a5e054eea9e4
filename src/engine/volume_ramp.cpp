#include "engine/volume_ramp.h"

#include <algorithm>
#include <cmath>

namespace zv::engine {

void VolumeRamp::set(float value)
{
    m_value = value;
    m_slideMs = 0;
    m_framesLeft = 0;
}

void VolumeRamp::slide(float target, std::uint32_t ms)
{
    if (ms == 0) {
        set(target);
        return;
    }
    m_target = target;
    m_slideMs = ms;
    m_framesLeft = 0;
}

void VolumeRamp::mixStereo(const float* src, float* dst, std::size_t frames, int rate)
{
    if (m_slideMs > 0) {
        // The rate is known only where the channel is mixed.
        m_framesLeft
            = std::max<std::int64_t>(1, std::llround(m_slideMs * static_cast<double>(rate) / 1000.0));
        m_step = (m_target - m_value) / static_cast<double>(m_framesLeft);
        m_slideMs = 0;
    }
    std::size_t i = 0;
    for (; i < frames && m_framesLeft > 0; ++i) {
        m_value = --m_framesLeft == 0 ? m_target : m_value + m_step;
        const auto v = static_cast<float>(m_value);
        dst[2 * i] += src[2 * i] * v;
        dst[2 * i + 1] += src[2 * i + 1] * v;
    }
    const auto v = static_cast<float>(m_value);
    for (; i < frames; ++i) {
        dst[2 * i] += src[2 * i] * v;
        dst[2 * i + 1] += src[2 * i + 1] * v;
    }
}

} // namespace zv::engine
