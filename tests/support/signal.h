#pragma once
// Test signals: generation, WAV files, and the measurements the tests make on
// decoded output. Samples are interleaved floats in -1..1.

#include <cstdint>
#include <string>
#include <vector>

namespace zvtest {

struct Signal {
    int rate = 44100;
    int channels = 2;
    std::vector<float> samples; // interleaved

    std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0.0; }
    // Frames [from, to) of channel 0, in seconds.
    std::vector<float> mono(double fromSeconds, double toSeconds) const;
};

// A sine of the given frequency and amplitude in every channel.
Signal sine(double hz, double seconds, int rate = 44100, int channels = 2, double amplitude = 0.5);
// Frame i holds the value of a counter (i mod 65536) scaled to 16 bits, so
// a decoded frame tells where in the source it came from.
Signal ramp(std::size_t frames, int rate = 44100, int channels = 2);

// Writes PCM WAV with 8, 16 or 24 bits per sample.
void writeWav(const std::string& path, const Signal& signal, int bitsPerSample = 16);
// Raw 16-bit frames back from a ramp signal's decoded sample value.
inline int rampIndex(std::int16_t sample)
{
    return static_cast<std::uint16_t>(sample);
}

double rmsDb(const std::vector<float>& mono);
// Frequency of the strongest component between loHz and hiHz, by a fine
// Goertzel scan (resolution about 0.1 Hz).
double dominantHz(const std::vector<float>& mono, int rate, double loHz, double hiHz);

// Decodes a whole file with the engine (no-sound device), 16-bit samples scaled to floats.
Signal decodeWithEngine(const std::string& path);

} // namespace zvtest
