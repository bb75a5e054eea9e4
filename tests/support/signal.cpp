#include "support/signal.h"

#include "engine/engine.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace zvtest {

std::vector<float> Signal::mono(double fromSeconds, double toSeconds) const
{
    const auto from = static_cast<std::size_t>(std::max(0.0, fromSeconds) * rate);
    const auto to = std::min(frames(), static_cast<std::size_t>(std::max(0.0, toSeconds) * rate));
    std::vector<float> out;
    for (std::size_t i = from; i < to; ++i)
        out.push_back(samples[i * static_cast<std::size_t>(channels)]);
    return out;
}

Signal sine(double hz, double seconds, int rate, int channels, double amplitude)
{
    Signal s { rate, channels, {} };
    const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
    s.samples.resize(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c)
            s.samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v;
    }
    return s;
}

Signal ramp(std::size_t frames, int rate, int channels)
{
    Signal s { rate, channels, {} };
    s.samples.resize(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(i & 0xFFFF));
        for (int c = 0; c < channels; ++c)
            s.samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v / 32768.0f;
    }
    return s;
}

namespace {
void put(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}
} // namespace

void writeWav(const std::string& path, const Signal& signal, int bitsPerSample)
{
    std::ofstream out(path, std::ios::binary);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    const int bytesPerSample = bitsPerSample / 8;
    const auto dataBytes
        = static_cast<std::uint32_t>(signal.samples.size() * static_cast<std::size_t>(bytesPerSample));
    out.write("RIFF", 4);
    put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, static_cast<std::uint32_t>(signal.channels), 2);
    put(out, static_cast<std::uint32_t>(signal.rate), 4);
    put(out, static_cast<std::uint32_t>(signal.rate * signal.channels * bytesPerSample), 4);
    put(out, static_cast<std::uint32_t>(signal.channels * bytesPerSample), 2);
    put(out, static_cast<std::uint32_t>(bitsPerSample), 2);
    out.write("data", 4);
    put(out, dataBytes, 4);
    for (float v : signal.samples) {
        const double clamped = std::clamp(static_cast<double>(v), -1.0, 1.0);
        if (bitsPerSample == 8) {
            put(out, static_cast<std::uint32_t>(std::lround(clamped * 127.0) + 128), 1);
        } else {
            const double scale = bitsPerSample == 16 ? 32768.0 : 8388608.0;
            const long max = bitsPerSample == 16 ? 32767 : 8388607;
            const long value = std::clamp(std::lround(clamped * scale), -max - 1, max);
            put(out, static_cast<std::uint32_t>(value), bytesPerSample);
        }
    }
}

double rmsDb(const std::vector<float>& mono)
{
    if (mono.empty())
        return -200.0;
    double sum = 0;
    for (float v : mono)
        sum += static_cast<double>(v) * v;
    return 10.0 * std::log10(std::max(sum / static_cast<double>(mono.size()), 1e-20));
}

namespace {
double goertzelPower(const std::vector<float>& x, int rate, double hz)
{
    const double w = 2.0 * std::numbers::pi * hz / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (float v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}
} // namespace

double dominantHz(const std::vector<float>& mono, int rate, double loHz, double hiHz)
{
    double best = loHz, bestPower = -1;
    for (double step : { 1.0, 0.1 }) {
        const double lo = step == 1.0 ? loHz : best - 1.0;
        const double hi = step == 1.0 ? hiHz : best + 1.0;
        for (double hz = lo; hz <= hi; hz += step) {
            const double p = goertzelPower(mono, rate, hz);
            if (p > bestPower) {
                bestPower = p;
                best = hz;
            }
        }
    }
    return best;
}

Signal decodeWithEngine(const std::string& path)
{
    namespace ze = zv::engine;
    ze::init(ze::NoSoundDevice, 44100);
    const ze::Handle h = ze::streamCreateFile(path, ze::StreamDecode | ze::StreamPrescan);
    if (!h)
        throw std::runtime_error(
            "engine cannot open " + path + " (error " + std::to_string(ze::lastError()) + ")");
    ze::ChannelInfo info;
    ze::channelGetInfo(h, info);
    Signal s { info.rate, info.channels, {} };
    std::vector<std::int16_t> block(8192);
    for (;;) {
        const std::int64_t got
            = ze::channelGetData(h, block.data(), static_cast<std::uint32_t>(block.size() * 2));
        if (got <= 0)
            break;
        for (std::int64_t i = 0; i < got / 2; ++i)
            s.samples.push_back(block[static_cast<std::size_t>(i)] / 32768.0f);
    }
    ze::streamFree(h);
    return s;
}

} // namespace zvtest
