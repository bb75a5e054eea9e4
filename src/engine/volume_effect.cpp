#include "engine/volume_effect.h"

namespace zv::engine {

void VolumeEffect::process(float* samples, std::size_t frames, int channels, int /*rate*/)
{
    if (m_level == 1.0f)
        return;
    const std::size_t count = frames * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] *= m_level;
}

} // namespace zv::engine
