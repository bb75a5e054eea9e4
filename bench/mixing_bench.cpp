// What mixing playing channels costs: renders seconds of 44.1 kHz output as
// fast as it can from streams playing at once, each a tempo stream at +10 %
// with a ten-band equalizer and a volume effect (the effect preview's load),
// and prints the CPU time as a share of one core.
//
// Run by hand, never in CI:  mixing_bench [SECONDS] [STREAMS]
// Build with -DZV_BUILD_BENCH=ON, preferably in a Release tree.

#include "engine/channel.h"
#include "engine/file_stream.h"
#include "engine/output_mix.h"
#include "engine/peaking_eq.h"
#include "engine/tempo_stream.h"
#include "engine/volume_effect.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace ze = zv::engine;
namespace fs = std::filesystem;

namespace {

constexpr int OutputRate = 44100;
constexpr std::size_t BlockFrames = 256;

constexpr ze::EqBand Bands[] = { { 0, 70, 2.5f, 4 }, { 1, 180, 1.5f, 3 }, { 2, 320, 1.0f, 2 },
    { 3, 600, 1.0f, 1 }, { 4, 1000, 1.0f, 0.5f }, { 5, 3000, 1.0f, -1 }, { 6, 6000, 1.0f, 2 },
    { 7, 12000, 0.8f, 3 }, { 8, 14000, 0.3f, -2 }, { 9, 16000, 0.2f, 1 } };

void put(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Stereo 16-bit music-like material: two tones with vibrato and some noise.
void writeSong(const std::string& path, int rate, double seconds)
{
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put(out, 36 + frames * 4, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, 2, 2);
    put(out, static_cast<std::uint32_t>(rate), 4);
    put(out, static_cast<std::uint32_t>(rate * 4), 4);
    put(out, 4, 2);
    put(out, 16, 2);
    out.write("data", 4);
    put(out, frames * 4, 4);
    std::mt19937 random(1);
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double vibrato = 3.0 * std::sin(2 * std::numbers::pi * 5 * t);
        for (const double hz : { 440.0, 660.0 }) {
            const double v = 0.3 * std::sin(2 * std::numbers::pi * (hz + vibrato) * t) + noise(random);
            put(out, static_cast<std::uint32_t>(static_cast<std::int16_t>(std::lround(v * 32767))), 2);
        }
    }
}

double threadSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::shared_ptr<ze::Channel> previewChannel(const std::string& path, bool effects)
{
    if (!effects)
        return ze::FileStream::open(path, 0, false);
    auto tempo = ze::TempoStream::create(ze::FileStream::open(path, ze::StreamDecode, false), 0);
    if (!tempo)
        return nullptr;
    tempo->setAttribute(ze::Attribute::Tempo, 10.0f);
    auto eq = std::make_shared<ze::PeakingEq>();
    for (const ze::EqBand& band : Bands)
        eq->setBand(band);
    auto volume = std::make_shared<ze::VolumeEffect>();
    volume->setLevel(0.7f);
    tempo->addEffect(1, eq, 2);
    tempo->addEffect(2, volume, 1);
    return tempo;
}

// Renders seconds of output from streams channels playing path; returns
// the CPU seconds it took, or a negative value when a stream failed.
double run(const std::string& path, bool effects, int streams, double seconds)
{
    ze::OutputMix mix(OutputRate);
    std::vector<std::shared_ptr<ze::Channel>> channels;
    for (int i = 0; i < streams; ++i) {
        auto channel = previewChannel(path, effects);
        if (!channel || !channel->play(false, OutputRate, 0))
            return -1.0;
        mix.add(channel);
        channels.push_back(std::move(channel));
    }
    std::vector<std::int16_t> out(2 * BlockFrames);
    const auto frames = static_cast<std::int64_t>(seconds * OutputRate);
    const double start = threadSeconds();
    for (std::int64_t at = 0; at < frames; at += BlockFrames)
        mix.render(out.data(), BlockFrames, at, at);
    const double used = threadSeconds() - start;
    for (const auto& channel : channels) {
        if (channel->activity() != ze::Activity::Playing)
            return -1.0;
    }
    return used;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int streams = argc > 2 ? std::atoi(argv[2]) : 16;
    if (seconds <= 0 || streams <= 0) {
        std::fprintf(stderr, "usage: mixing_bench [SECONDS] [STREAMS]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("zv-mixing-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* name;
        int rate;
        bool effects;
    };
    int status = 0;
    std::printf("%d streams, %.1f s of %d Hz stereo output each run\n", streams, seconds, OutputRate);
    for (const Case c : { Case { "plain file streams, 44.1 kHz", 44100, false },
             Case { "tempo +10 %, EQ 10 bands, volume, 44.1 kHz", 44100, true },
             Case { "tempo +10 %, EQ 10 bands, volume, 48 kHz resampled", 48000, true } }) {
        const std::string path = (dir / ("song" + std::to_string(c.rate) + ".wav")).string();
        if (!fs::exists(path))
            writeSong(path, c.rate, seconds * 1.2 + 2.0);
        const double used = run(path, c.effects, streams, seconds);
        if (used < 0) {
            std::printf("%-52s failed\n", c.name);
            status = 1;
            continue;
        }
        const double total = used / seconds;
        std::printf("%-52s %6.3f s CPU: %6.2f %% of one core in all, %6.3f %% per stream\n", c.name, used,
            100.0 * total, 100.0 * total / streams);
    }
    fs::remove_all(dir);
    return status;
}
