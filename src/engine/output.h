#pragma once
// The engine's output: a mixing thread renders the playing channels a little
// ahead of the device into a queue, and the device drains the queue at the
// pace of the sound. Rendering ahead lets a sync callback take a while (open
// the next file) without a gap in the sound.
//
// Output frames are numbered from 0 at open, in the order they are played.

#include "engine/device.h"
#include "engine/output_mix.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zv::engine {

class Output {
    struct Key {
        explicit Key() = default;
    };

public:
    // device: DefaultDevice or NoSoundDevice. nullptr with NoDevice recorded
    // when the device cannot be opened.
    static std::unique_ptr<Output> open(int device, int rate);
    Output(Key, int rate);
    // Stops the mixing thread (after any callback running on it has
    // returned), lets the device play what was mixed, then closes it. Not
    // from the mixing thread.
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    OutputMix& mix() { return m_mix; }
    int rate() const { return m_mix.rate(); }
    // The output frame being heard now. Any thread; takes no other lock.
    std::int64_t heardFrame() const;
    bool onMixingThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    using Clock = std::chrono::steady_clock;

    void run();
    void pull(std::int16_t* frames, std::size_t count);
    std::int64_t heardFrameLocked() const;

    OutputMix m_mix;
    mutable std::mutex m_lock; // guards the queue and the device's progress
    std::condition_variable m_taken; // the device took frames, or quit
    std::vector<std::int16_t> m_queue; // a ring of stereo frames
    std::size_t m_queueStart = 0; // frame index into the ring
    std::size_t m_queued = 0;
    std::int64_t m_pulled = 0; // output frames handed to the device
    std::int64_t m_lastPull = 0; // of them, in the latest pull
    std::int64_t m_soundEnd = 0; // one past the last output frame that was not silent
    Clock::time_point m_lastPullTime;
    bool m_quit = false;
    std::thread m_thread;
    std::unique_ptr<Device> m_device;
};

} // namespace zv::engine
