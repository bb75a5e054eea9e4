#pragma once
// What the engine actually played: the engine is opened on SDL's disk driver,
// which writes the device's stream (silence included) to a file.

#include "support/scoped_env.h"
#include "support/signal.h"

#include <cstddef>
#include <string>

namespace zvtest {

class DiskCapture {
public:
    // Shuts any engine down and opens it on the default device (44100 Hz),
    // writing to path. Throws when the device cannot be opened.
    explicit DiskCapture(const std::string& path);
    // Leaves the engine initialised on the no-sound device, as the other
    // tests expect.
    ~DiskCapture();
    DiskCapture(const DiskCapture&) = delete;
    DiskCapture& operator=(const DiskCapture&) = delete;

    // Shuts the engine down (freeing every handle) and returns everything
    // the device played since it opened, 44100 Hz stereo.
    Signal finish();

private:
    std::string m_path;
    ScopedEnv m_driver;
    ScopedEnv m_file;
    bool m_open = false;
};

// A capture file as the disk driver writes it: 16-bit stereo at 44100 Hz.
Signal readCapture(const std::string& path);

// The first and one past the last frame whose channel 0 exceeds the
// threshold; {0, 0} when there is none.
struct SoundSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    double seconds(int rate) const { return static_cast<double>(end - begin) / rate; }
};
SoundSpan findSound(const Signal& signal, float threshold = 2.0f / 32768);

// A tone whose sound changed part-way, seen in the captured sound without
// the gaps a busy machine may leave (see sounding()): its
// length, the tone's level over its last 0.3 s against its first 0.3 s
// (leaving 50 ms at each edge), and the dominant frequency of the last part.
struct ToneChange {
    double seconds = 0;
    double laterDb = 0;
    double laterHz = 0;
};
ToneChange measureToneChange(const Signal& played, double hz);

// Amplitude in dB (full scale 0 dB) of the hz component of channel 0 over
// [fromSeconds, toSeconds), measured by Goertzel with a Hann window.
double toneDb(const Signal& signal, double hz, double fromSeconds, double toSeconds);

} // namespace zvtest
