#include "engine/output_converter.h"

#include <algorithm>

namespace zv::engine {

OutputConverter::OutputConverter(int inRate, int channels, int outRate)
    : m_inRate(inRate)
    , m_channels(channels)
    , m_outRate(outRate)
    , m_outChannels(channels == 1 ? 1 : 2)
{
}

bool OutputConverter::convert(const std::int16_t* in, std::size_t frames, std::vector<float>& out)
{
    if (!direct())
        return resample(in, frames, out);
    constexpr float scale = 1.0f / 32768.0f;
    const std::size_t at = out.size();
    out.resize(at + 2 * frames);
    float* to = out.data() + at;
    if (m_channels == 1) {
        for (std::size_t i = 0; i < frames; ++i)
            to[2 * i] = to[2 * i + 1] = in[i] * scale;
    } else {
        for (std::size_t i = 0; i < 2 * frames; ++i)
            to[i] = in[i] * scale;
    }
    return true;
}

bool OutputConverter::prepare()
{
    if (m_resampler)
        return true;
    const FfmpegLibrary* av = ffmpegCodecs();
    if (!av)
        return false;
    AVChannelLayout inLayout {};
    AVChannelLayout outLayout {};
    av->av_channel_layout_default(&inLayout, m_channels);
    av->av_channel_layout_default(&outLayout, m_outChannels);
    SwrContext* context = nullptr;
    const int rc = av->swr_alloc_set_opts2(&context, &outLayout, AV_SAMPLE_FMT_FLT, m_outRate, &inLayout,
        AV_SAMPLE_FMT_S16, m_inRate, 0, nullptr);
    av->av_channel_layout_uninit(&inLayout);
    av->av_channel_layout_uninit(&outLayout);
    if (rc < 0)
        return false;
    m_resampler.reset(context);
    if (av->swr_init(context) < 0) {
        m_resampler.reset();
        return false;
    }
    return true;
}

bool OutputConverter::resample(const std::int16_t* in, std::size_t frames, std::vector<float>& out)
{
    if (!prepare())
        return false;
    const int capacity = ff().swr_get_out_samples(m_resampler.get(), static_cast<int>(frames));
    if (capacity < 0)
        return false;
    m_scratch.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(m_outChannels));
    std::uint8_t* to[] = { reinterpret_cast<std::uint8_t*>(m_scratch.data()) };
    const std::uint8_t* from[] = { reinterpret_cast<const std::uint8_t*>(in) };
    const int got
        = ff().swr_convert(m_resampler.get(), to, capacity, in ? from : nullptr, static_cast<int>(frames));
    if (got < 0)
        return false;
    const auto count = static_cast<std::size_t>(got);
    if (m_outChannels == 2) {
        out.insert(out.end(), m_scratch.begin(), m_scratch.begin() + static_cast<std::ptrdiff_t>(2 * count));
    } else {
        const std::size_t at = out.size();
        out.resize(at + 2 * count);
        for (std::size_t i = 0; i < count; ++i)
            out[at + 2 * i] = out[at + 2 * i + 1] = m_scratch[i];
    }
    return true;
}

void OutputConverter::flush(std::vector<float>& out)
{
    if (m_resampler)
        resample(nullptr, 0, out);
}

void OutputConverter::reset()
{
    m_resampler.reset();
}

} // namespace zv::engine
