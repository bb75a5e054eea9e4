#include "support/disk_capture.h"

#include "engine/engine.h"
#include "support/sounding.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace engine = zv::engine;

namespace zvtest {

DiskCapture::DiskCapture(const std::string& path)
    : m_path(path)
    , m_driver("SDL_AUDIODRIVER", "disk")
    , m_file("SDL_DISKAUDIOFILE", path)
{
    engine::shutdown();
    if (!engine::init(engine::DefaultDevice, 44100))
        throw std::runtime_error(
            "the disk audio device did not open: " + std::to_string(engine::lastError()));
    m_open = true;
}

DiskCapture::~DiskCapture()
{
    if (m_open)
        engine::shutdown();
    engine::init(engine::NoSoundDevice, 44100);
}

Signal DiskCapture::finish()
{
    engine::shutdown();
    m_open = false;
    return readCapture(m_path);
}

Signal readCapture(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Signal s { 44100, 2, {} };
    s.samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < s.samples.size(); ++i) {
        const auto lo = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        s.samples[i] = static_cast<std::int16_t>(lo | (hi << 8)) / 32768.0f;
    }
    return s;
}

SoundSpan findSound(const Signal& signal, float threshold)
{
    SoundSpan span;
    bool found = false;
    for (std::size_t i = 0; i < signal.frames(); ++i) {
        if (std::fabs(signal.samples[i * static_cast<std::size_t>(signal.channels)]) > threshold) {
            if (!found)
                span.begin = i;
            found = true;
            span.end = i + 1;
        }
    }
    return span;
}

double toneDb(const Signal& signal, double hz, double fromSeconds, double toSeconds)
{
    const std::vector<float> x = signal.mono(fromSeconds, toSeconds);
    if (x.size() < 2)
        return -200.0;
    const double w = 2.0 * std::numbers::pi * hz / signal.rate;
    double re = 0, im = 0, windowSum = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double hann
            = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (x.size() - 1));
        re += hann * x[i] * std::cos(w * static_cast<double>(i));
        im -= hann * x[i] * std::sin(w * static_cast<double>(i));
        windowSum += hann;
    }
    const double amplitude = 2.0 * std::hypot(re, im) / windowSum;
    return 20.0 * std::log10(std::max(amplitude, 1e-10));
}

ToneChange measureToneChange(const Signal& captured, double hz)
{
    const Signal played = sounding(captured);
    const SoundSpan sound = findSound(played);
    const double s = static_cast<double>(sound.begin) / played.rate;
    const double e = static_cast<double>(sound.end) / played.rate;
    return { sound.seconds(played.rate),
        toneDb(played, hz, e - 0.3, e - 0.05) - toneDb(played, hz, s + 0.05, s + 0.3),
        dominantHz(played.mono(e - 0.3, e - 0.05), played.rate, hz / 2, hz * 2) };
}

} // namespace zvtest
