#include "engine/output.h"

#include "engine/clock_device.h"
#include "engine/engine.h"
#include "engine/sdl_device.h"

#include <algorithm>
#include <cstring>

namespace zv::engine {
namespace {

// The grain of the mix: a callback that starts another channel is heard
// within one block of its sync. About 6 ms at 44.1 kHz.
constexpr std::size_t BlockFrames = 256;
// Rendered ahead of the device: about 46 ms at 44.1 kHz. With the device's
// own buffer a play call is heard within some 60 ms.
constexpr std::size_t AheadFrames = 2048;
// The longest wait at close for mixed sound to be heard.
constexpr std::chrono::milliseconds DrainLimit(250);

} // namespace

std::unique_ptr<Output> Output::open(int device, int rate)
{
    auto output = std::make_unique<Output>(Key {}, rate);
    auto pull = [self = output.get()](std::int16_t* frames, std::size_t count) { self->pull(frames, count); };
    if (device == NoSoundDevice)
        output->m_device = ClockDevice::open(rate, std::move(pull));
    else
        output->m_device = SdlDevice::open(rate, std::move(pull));
    if (!output->m_device)
        return nullptr;
    return output;
}

Output::Output(Key, int rate)
    : m_mix(rate)
    , m_queue(2 * AheadFrames)
    , m_lastPullTime(Clock::now())
    , m_thread([this] { run(); })
{
}

Output::~Output()
{
    {
        const std::lock_guard lock(m_lock);
        m_quit = true;
    }
    m_taken.notify_all();
    m_thread.join();
    // A program that quits right after its sound ended still lets it be heard.
    const auto until = Clock::now() + DrainLimit;
    std::unique_lock lock(m_lock);
    while (m_device && heardFrameLocked() < m_soundEnd && Clock::now() < until)
        m_taken.wait_for(lock, std::chrono::milliseconds(5));
    lock.unlock();
    m_device.reset();
}

std::int64_t Output::heardFrame() const
{
    const std::lock_guard lock(m_lock);
    return heardFrameLocked();
}

// The latest pull is being played: it has sounded for as long as it has
// been out, and not more than its length.
std::int64_t Output::heardFrameLocked() const
{
    const double seconds = std::chrono::duration<double>(Clock::now() - m_lastPullTime).count();
    const auto played = static_cast<std::int64_t>(seconds * m_mix.rate());
    return m_pulled - m_lastPull + std::clamp<std::int64_t>(played, 0, m_lastPull);
}

void Output::run()
{
    std::vector<std::int16_t> block(2 * BlockFrames);
    std::int64_t rendered = 0;
    std::unique_lock lock(m_lock);
    while (!m_quit) {
        if (m_queued + BlockFrames > AheadFrames) {
            m_taken.wait(lock);
            continue;
        }
        const std::int64_t heard = heardFrameLocked();
        // Callbacks run while rendering: they may ask for the heard frame.
        lock.unlock();
        m_mix.render(block.data(), BlockFrames, rendered, heard);
        lock.lock();
        const auto sounding
            = std::find_if(block.rbegin(), block.rend(), [](std::int16_t v) { return v != 0; });
        if (sounding != block.rend())
            m_soundEnd = rendered + static_cast<std::int64_t>((block.rend() - sounding + 1) / 2);
        rendered += BlockFrames;
        const std::size_t end = (m_queueStart + m_queued) % AheadFrames;
        const std::size_t first = std::min(BlockFrames, AheadFrames - end);
        std::memcpy(&m_queue[2 * end], block.data(), 2 * first * sizeof(std::int16_t));
        std::memcpy(
            m_queue.data(), block.data() + 2 * first, 2 * (BlockFrames - first) * sizeof(std::int16_t));
        m_queued += BlockFrames;
    }
}

void Output::pull(std::int16_t* frames, std::size_t count)
{
    {
        const std::lock_guard lock(m_lock);
        const std::size_t n = std::min(count, m_queued);
        const std::size_t first = std::min(n, AheadFrames - m_queueStart);
        std::memcpy(frames, &m_queue[2 * m_queueStart], 2 * first * sizeof(std::int16_t));
        std::memcpy(frames + 2 * first, m_queue.data(), 2 * (n - first) * sizeof(std::int16_t));
        // The mixing thread fell behind: silence, which takes no frame
        // numbers, so positions stay true.
        std::memset(frames + 2 * n, 0, 2 * (count - n) * sizeof(std::int16_t));
        m_queueStart = (m_queueStart + n) % AheadFrames;
        m_queued -= n;
        m_pulled += static_cast<std::int64_t>(n);
        m_lastPull = static_cast<std::int64_t>(n);
        m_lastPullTime = Clock::now();
    }
    m_taken.notify_one();
}

} // namespace zv::engine
