#pragma once
// The no-sound device: a thread that pulls the output at the pace a sound
// card would and discards it, so playback, positions and syncs behave as
// they do on a real device.

#include "engine/device.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace zv::engine {

class ClockDevice final : public Device {
    struct Key {
        explicit Key() = default;
    };

public:
    static std::unique_ptr<ClockDevice> open(int rate, Pull pull);
    ClockDevice(Key, int rate, Pull pull);
    ~ClockDevice() override;

private:
    void run();

    int m_rate;
    Pull m_pull;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace zv::engine
