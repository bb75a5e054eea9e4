#pragma once
// Where the output's frames go: a device that pulls interleaved stereo
// 16-bit frames on its own thread at the pace the sound is played.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zv::engine {

class Device {
public:
    // Fills count frames. Runs on the device's thread.
    using Pull = std::function<void(std::int16_t* frames, std::size_t count)>;

    virtual ~Device() = default; // stops pulling before it returns
};

} // namespace zv::engine
