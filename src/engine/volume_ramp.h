#pragma once
// A channel's volume where it is mixed, with a linear slide that advances
// one step per mixed frame, so it runs over played sound: a paused channel's
// slide waits.
//
// Guarded by the channel's lock.

#include <cstddef>
#include <cstdint>

namespace zv::engine {

class VolumeRamp {
public:
    float value() const { return static_cast<float>(m_value); }
    // Ends any slide. Pre: 0 <= value <= 1.
    void set(float value);
    // Moves to target over ms milliseconds of mixed sound; 0 ms sets it.
    // Pre: 0 <= target <= 1.
    void slide(float target, std::uint32_t ms);
    // Adds frames of stereo src to dst at the volume, advancing any slide;
    // rate: of the mix, which the slide's length counts in.
    void mixStereo(const float* src, float* dst, std::size_t frames, int rate);

private:
    double m_value = 1.0;
    double m_target = 1.0;
    double m_step = 0.0;
    std::uint32_t m_slideMs = 0; // of a slide that has not mixed a frame yet
    std::int64_t m_framesLeft = 0; // of the running slide
};

} // namespace zv::engine
