#include "engine/clock_device.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace zv::engine {
namespace {

constexpr std::size_t PullFrames = 512;

} // namespace

std::unique_ptr<ClockDevice> ClockDevice::open(int rate, Pull pull)
{
    return std::make_unique<ClockDevice>(Key {}, rate, std::move(pull));
}

ClockDevice::ClockDevice(Key, int rate, Pull pull)
    : m_rate(rate)
    , m_pull(std::move(pull))
    , m_thread([this] { run(); })
{
}

ClockDevice::~ClockDevice()
{
    {
        const std::lock_guard lock(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ClockDevice::run()
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::int16_t> frames(2 * PullFrames);
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(PullFrames) / m_rate));
    auto next = Clock::now();
    std::unique_lock lock(m_lock);
    while (!m_quit) {
        lock.unlock();
        m_pull(frames.data(), PullFrames);
        lock.lock();
        // After a stall (a suspended process) the pace restarts from now
        // rather than catching up in a burst.
        next = std::max(next + period, Clock::now() - 4 * period);
        m_wake.wait_until(lock, next, [this] { return m_quit; });
    }
}

} // namespace zv::engine
