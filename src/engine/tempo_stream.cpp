#include "engine/tempo_stream.h"

#include "engine/error.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace zv::engine {
namespace {

// Source frames pulled into the processor at a time.
constexpr std::size_t FeedFrames = 4096;
// Source frames kept to pad the end with.
constexpr std::size_t RecentFrames = 4096;
// Upper bound on the frames one read delivers, so a huge request does not
// become a huge buffer.
constexpr std::size_t MaxReadFrames = 65536;

} // namespace

std::shared_ptr<TempoStream> TempoStream::create(std::shared_ptr<Channel> source, std::uint32_t flags)
{
    if (!source)
        return fail(BadHandle, std::shared_ptr<TempoStream> {});
    if (!source->isDecode())
        return fail(NotDecodeChannel, std::shared_ptr<TempoStream> {});
    const int channels = source->channels();
    if (channels < 1 || channels > SOUNDTOUCH_MAX_CHANNELS || source->rate() <= 0)
        return fail(FileFormat, std::shared_ptr<TempoStream> {});
    return std::make_shared<TempoStream>(Key {}, std::move(source), (flags & StreamDecode) != 0);
}

TempoStream::TempoStream(Key, std::shared_ptr<Channel> source, bool decode)
    : Channel(decode)
    , m_source(std::move(source))
    , m_touch(std::make_unique<soundtouch::SoundTouch>())
    , m_channels(m_source->channels())
{
    shareLockWith(*m_source);
    m_touch->setSampleRate(static_cast<unsigned>(m_source->rate()));
    m_touch->setChannels(static_cast<unsigned>(m_channels));
    // The full search for joining points: quick seeking trades quality for
    // speed, and the full search is already far faster than real time.
    m_touch->setSetting(SETTING_USE_QUICKSEEK, 0);
    const std::int64_t position = m_source->positionFrames();
    m_position = static_cast<double>(std::max<std::int64_t>(position, 0));
}

TempoStream::~TempoStream() = default;

const ChannelInfo& TempoStream::info() const
{
    return m_source->info();
}

std::int64_t TempoStream::lengthFrames()
{
    return m_source->lengthFrames();
}

std::int64_t TempoStream::positionFrames()
{
    const std::int64_t source = m_source->positionFrames();
    if (bypassed())
        return source;
    const std::int64_t delivered = std::llround(m_position);
    return source >= 0 ? std::min(delivered, source) : delivered;
}

std::int64_t TempoStream::framesUntil(std::int64_t position)
{
    if (bypassed())
        return m_source->framesUntil(position);
    const double frames
        = (static_cast<double>(position) - m_position) / (1.0 + static_cast<double>(m_percent) / 100.0);
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(frames - 1e-9)));
}

bool TempoStream::seekFrames(std::int64_t frame)
{
    if (!m_source->setPositionFrames(frame))
        return false;
    restart(frame);
    return true;
}

void TempoStream::restart(std::int64_t frame)
{
    m_touch->clear();
    m_flushed = false;
    m_position = static_cast<double>(frame);
    m_owed = 0;
    m_recent.clear();
}

bool TempoStream::setAttribute(Attribute attribute, float value)
{
    if (attribute != Attribute::Tempo)
        return Channel::setAttribute(attribute, value);
    if (!std::isfinite(value))
        return fail(BadParameter, false);
    const float percent = std::clamp(value, MinTempo, MaxTempo);
    if (percent == m_percent)
        return true;
    const bool wasBypassed = bypassed();
    const std::int64_t here = positionFrames();
    m_percent = percent;
    if (bypassed() != wasBypassed && here >= 0) {
        // What the processor holds belongs to the old mode: go on from where
        // the delivered data has reached, losing nothing and repeating nothing.
        if (here != m_source->positionFrames())
            m_source->setPositionFrames(here);
        restart(m_source->positionFrames());
    }
    m_touch->setTempo(1.0 + static_cast<double>(m_percent) / 100.0);
    return true;
}

bool TempoStream::getAttribute(Attribute attribute, float& value) const
{
    if (attribute != Attribute::Tempo)
        return Channel::getAttribute(attribute, value);
    value = m_percent;
    return true;
}

bool TempoStream::feed()
{
    m_pcm.resize(FeedFrames * static_cast<std::size_t>(m_channels));
    const std::int64_t got = m_source->readFrames(m_pcm.data(), FeedFrames);
    if (got < 0)
        return false;
    if (got == 0) {
        finish();
        return true;
    }
    const std::size_t count = static_cast<std::size_t>(got) * static_cast<std::size_t>(m_channels);
    m_input.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_input[i] = m_pcm[i] * (1.0f / 32768.0f);
    m_touch->putSamples(m_input.data(), static_cast<unsigned>(got));
    m_owed += static_cast<double>(got) / (1.0 + static_cast<double>(m_percent) / 100.0);
    remember(m_input.data(), static_cast<std::size_t>(got));
    return true;
}

void TempoStream::remember(const float* samples, std::size_t frames)
{
    const auto ch = static_cast<std::size_t>(m_channels);
    m_recent.insert(m_recent.end(), samples, samples + frames * ch);
    if (m_recent.size() > RecentFrames * ch)
        m_recent.erase(m_recent.begin(), m_recent.end() - static_cast<std::ptrdiff_t>(RecentFrames * ch));
}

void TempoStream::finish()
{
    // The processor's own flush pads with silence, and at slow tempos its
    // search for a joining point lands in it, leaving holes in the last tens
    // of milliseconds. Padding with the source's end played back and forth
    // keeps the tail whole; readFrames cuts the output to what the real input
    // calls for.
    const auto ch = static_cast<std::size_t>(m_channels);
    const std::size_t recent = m_recent.size() / ch;
    if (recent > 0) {
        const auto padFrames
            = static_cast<std::size_t>(std::max(m_touch->getSetting(SETTING_INITIAL_LATENCY), 0));
        m_input.resize(padFrames * ch);
        for (std::size_t i = 0; i < padFrames; ++i) {
            const std::size_t lap = i / recent;
            const std::size_t k = i % recent;
            const std::size_t from = lap % 2 == 0 ? recent - 1 - k : k;
            std::copy_n(m_recent.begin() + static_cast<std::ptrdiff_t>(from * ch), ch,
                m_input.begin() + static_cast<std::ptrdiff_t>(i * ch));
        }
        m_touch->putSamples(m_input.data(), static_cast<unsigned>(padFrames));
    }
    m_touch->flush();
    m_flushed = true;
}

std::int64_t TempoStream::readFrames(std::int16_t* out, std::size_t frames)
{
    if (bypassed())
        return m_source->readFrames(out, frames);
    frames = std::min(frames, MaxReadFrames);
    while (m_touch->numSamples() < frames && !m_flushed) {
        if (!feed())
            return -1;
    }
    if (m_flushed)
        frames = std::min(frames, static_cast<std::size_t>(std::max(std::llround(m_owed), 0LL)));
    m_output.resize(frames * static_cast<std::size_t>(m_channels));
    const unsigned got = m_touch->receiveSamples(m_output.data(), static_cast<unsigned>(frames));
    const std::size_t count = std::size_t { got } * static_cast<std::size_t>(m_channels);
    for (std::size_t i = 0; i < count; ++i) {
        const float scaled = std::nearbyint(m_output[i] * 32768.0f);
        out[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    m_owed -= got;
    m_position += got * (1.0 + static_cast<double>(m_percent) / 100.0);
    return got;
}

} // namespace zv::engine
