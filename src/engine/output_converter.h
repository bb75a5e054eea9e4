#pragma once
// Turns a channel's 16-bit PCM into the output's format: float stereo at the
// output's rate. Mono goes to both sides at full level, more than two
// channels are mixed down (libswresample's matrix), other rates are
// resampled (libswresample). Output frame j stands for input frame
// j x inRate / outRate from the last reset: the resampler holds some input
// back rather than delaying the output.

#include "engine/ffmpeg_handles.h"

#include <cstdint>
#include <vector>

namespace zv::engine {

class OutputConverter {
public:
    OutputConverter(int inRate, int channels, int outRate);

    // Appends the converted frames to out (interleaved stereo). False when
    // the resampler cannot be set up or fails.
    bool convert(const std::int16_t* in, std::size_t frames, std::vector<float>& out);
    // Appends what the resampler still holds, as if the input ended here.
    void flush(std::vector<float>& out);
    // Forgets what the resampler holds.
    void reset();

private:
    bool direct() const { return m_inRate == m_outRate && m_channels <= 2; }
    bool prepare();
    bool resample(const std::int16_t* in, std::size_t frames, std::vector<float>& out);

    int m_inRate;
    int m_channels;
    int m_outRate;
    int m_outChannels; // of the resampler: mono stays mono until it is spread
    SwrContextPtr m_resampler;
    std::vector<float> m_scratch;
};

} // namespace zv::engine
