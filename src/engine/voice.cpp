#include "engine/voice.h"

#include "engine/channel.h"

#include <algorithm>
#include <cmath>

namespace zv::engine {
namespace {

// Upper bound on the channel frames one read asks for.
constexpr std::size_t MaxReadFrames = 4096;

} // namespace

Voice::Voice(int channelRate, int channels, int outputRate)
    : m_inRate(channelRate)
    , m_channels(channels)
    , m_outRate(outputRate)
    , m_converter(channelRate, channels, outputRate)
{
}

void Voice::reset()
{
    m_converter.reset();
    m_ready.clear();
    m_readyAt = 0;
    m_read = 0;
    m_mixed = 0;
    m_inputEnded = false;
    m_marks.clear();
    m_heard.clear();
}

std::optional<std::int64_t> Voice::mixPosition() const
{
    if (m_marks.empty())
        return std::nullopt;
    return positionAt(m_mixed);
}

std::optional<std::int64_t> Voice::heardPosition(std::int64_t heardFrame)
{
    dropHeardBefore(heardFrame);
    if (m_heard.empty())
        return std::nullopt;
    const Heard& a = m_heard.front();
    if (m_heard.size() == 1 || heardFrame <= a.frame)
        return a.position;
    const Heard& b = m_heard[1];
    return a.position + (heardFrame - a.frame) * (b.position - a.position) / (b.frame - a.frame);
}

void Voice::render(Channel& channel, MixBlock& block)
{
    dropHeardBefore(block.heardFrame);
    const std::int64_t skip = std::max<std::int64_t>(0, m_startFrame - block.firstFrame);
    std::size_t done = std::min(block.frames, static_cast<std::size_t>(skip));
    // Every pass re-reads the state: a callback may have stopped, moved or
    // freed the channel, or set and removed syncs.
    while (done < block.frames && channel.activity() == Activity::Playing) {
        block.cursor = block.firstFrame + static_cast<std::int64_t>(done);
        const auto syncAt = channel.syncs().nextPosition();
        const auto syncFrame = syncAt ? outputFrameOf(*syncAt) : std::nullopt;
        if (syncFrame && *syncFrame <= m_mixed) {
            channel.syncs().fireNext(*syncAt);
            continue;
        }
        if (readyFrames() == 0) {
            if (!fill(channel, block.frames - done))
                finish(channel);
            continue;
        }
        auto n = std::min(block.frames - done, readyFrames());
        if (syncFrame)
            n = std::min(n, static_cast<std::size_t>(*syncFrame - m_mixed));
        channel.volume().mixStereo(m_ready.data() + 2 * m_readyAt, block.sum + 2 * done, n, m_outRate);
        const std::int64_t from = positionAt(m_mixed);
        m_readyAt += n;
        m_mixed += static_cast<std::int64_t>(n);
        const std::int64_t start = block.cursor;
        if (m_heard.empty() || m_heard.back().frame != start)
            m_heard.push_back(Heard { start, from });
        m_heard.push_back(Heard { start + static_cast<std::int64_t>(n), positionAt(m_mixed) });
        done += n;
    }
    dropMarksBefore(m_mixed);
}

bool Voice::fill(Channel& channel, std::size_t outFrames)
{
    if (m_inputEnded)
        return false;
    if (m_readyAt > 0) {
        m_ready.erase(m_ready.begin(), m_ready.begin() + static_cast<std::ptrdiff_t>(2 * m_readyAt));
        m_readyAt = 0;
    }
    if (m_marks.empty())
        m_marks.push_back(Mark { m_read, channel.positionFrames() });
    const auto wanted
        = static_cast<std::size_t>(std::ceil(static_cast<double>(outFrames) * m_inRate / m_outRate));
    const std::size_t frames = std::clamp<std::size_t>(wanted + 1, 1, MaxReadFrames);
    m_pcm.resize(frames * static_cast<std::size_t>(m_channels));
    const std::int64_t got = channel.readProcessed(m_pcm.data(), frames);
    // A read that fails ends playback as the end of the data does.
    if (got <= 0) {
        m_inputEnded = true;
        m_converter.flush(m_ready);
        return true;
    }
    m_read += got;
    m_marks.push_back(Mark { m_read, channel.positionFrames() });
    if (!m_converter.convert(m_pcm.data(), static_cast<std::size_t>(got), m_ready))
        m_inputEnded = true;
    return true;
}

void Voice::finish(Channel& channel)
{
    // Rounding between the two rates may leave a sync at the very end
    // without a frame of its own.
    const auto syncAt = channel.syncs().nextPosition();
    if (syncAt && !m_marks.empty() && *syncAt <= m_marks.back().position) {
        channel.syncs().fireNext(*syncAt);
        return;
    }
    channel.endPlayback();
    channel.syncs().fireEnd();
}

std::int64_t Voice::positionAt(std::int64_t output) const
{
    const double input = static_cast<double>(output) * m_inRate / m_outRate;
    // The last mark at or before input.
    auto it = std::upper_bound(m_marks.begin(), m_marks.end(), input,
        [](double x, const Mark& mark) { return x < static_cast<double>(mark.input); });
    if (it == m_marks.begin())
        return m_marks.front().position;
    const Mark& a = *std::prev(it);
    if (it == m_marks.end())
        return a.position;
    const Mark& b = *it;
    const double position = static_cast<double>(a.position)
        + (input - static_cast<double>(a.input)) * static_cast<double>(b.position - a.position)
            / static_cast<double>(b.input - a.input);
    return static_cast<std::int64_t>(std::floor(position + 1e-9));
}

std::optional<std::int64_t> Voice::outputFrameOf(std::int64_t position) const
{
    const auto it = std::find_if(
        m_marks.begin(), m_marks.end(), [position](const Mark& mark) { return mark.position >= position; });
    if (it == m_marks.end())
        return std::nullopt;
    double input = static_cast<double>(it->input);
    if (it != m_marks.begin()) {
        const Mark& a = *std::prev(it);
        input = static_cast<double>(a.input)
            + static_cast<double>(position - a.position) * static_cast<double>(it->input - a.input)
                / static_cast<double>(it->position - a.position);
    }
    return static_cast<std::int64_t>(std::ceil(input * m_outRate / m_inRate - 1e-9));
}

void Voice::dropHeardBefore(std::int64_t frame)
{
    while (m_heard.size() >= 2 && m_heard[1].frame <= frame)
        m_heard.pop_front();
}

void Voice::dropMarksBefore(std::int64_t output)
{
    const double input = static_cast<double>(output) * m_inRate / m_outRate;
    while (m_marks.size() >= 2 && static_cast<double>(m_marks[1].input) <= input)
        m_marks.pop_front();
}

} // namespace zv::engine
