#include "engine/channel.h"

#include "engine/effect.h"
#include "engine/encoder.h"
#include "engine/error.h"
#include "engine/voice.h"

#include <algorithm>
#include <cmath>

namespace zv::engine {

Channel::Channel(bool decode)
    : m_mutex(std::make_shared<std::recursive_mutex>())
    , m_decode(decode)
{
}

Channel::~Channel() = default;

std::int64_t Channel::framesUntil(std::int64_t position)
{
    return std::max<std::int64_t>(1, position - positionFrames());
}

bool Channel::setAttribute(Attribute attribute, float value)
{
    if (attribute != Attribute::Volume || !std::isfinite(value))
        return fail(BadParameter, false);
    m_volume.set(std::clamp(value, 0.0f, 1.0f));
    return true;
}

bool Channel::getAttribute(Attribute attribute, float& value) const
{
    if (attribute != Attribute::Volume)
        return fail(BadParameter, false);
    value = m_volume.value();
    return true;
}

std::int64_t Channel::getData(void* buffer, std::uint32_t bytes)
{
    if (!m_decode)
        return fail(NotDecodeChannel, std::int64_t { -1 });
    if (m_ended)
        return fail(Ended, std::int64_t { -1 });
    const std::size_t frames = bytes / static_cast<std::uint32_t>(frameBytes());
    if (frames == 0)
        return 0;
    auto* samples = static_cast<std::int16_t*>(buffer);
    std::size_t done = 0;
    // Every pass re-reads the state: a callback may have moved or freed the
    // channel, or changed its syncs.
    while (!m_freed && !m_ended) {
        const auto syncAt = m_syncs.nextPosition();
        if (syncAt && m_syncs.fireNext(positionFrames()))
            continue;
        if (done == frames)
            break;
        auto want = frames - done;
        if (syncAt)
            want = std::min(want, static_cast<std::size_t>(framesUntil(*syncAt)));
        std::int16_t* at = samples + done * static_cast<std::size_t>(channels());
        const std::int64_t got = readProcessed(at, want);
        if (got < 0) {
            if (done == 0)
                return -1;
            break;
        }
        if (got == 0) {
            m_ended = true;
            m_syncs.fireEnd();
            break;
        }
        // A dead encoder does not stop decoding; encodeStop reports it.
        if (m_encoder)
            m_encoder->write(at, static_cast<std::size_t>(got * frameBytes()));
        done += static_cast<std::size_t>(got);
    }
    if (done == 0)
        return fail(m_freed ? BadHandle : Ended, std::int64_t { -1 });
    return static_cast<std::int64_t>(done) * frameBytes();
}

std::int64_t Channel::readProcessed(std::int16_t* out, std::size_t frames)
{
    const std::int64_t got = readFrames(out, frames);
    if (got > 0)
        runEffects(out, static_cast<std::size_t>(got));
    return got;
}

bool Channel::setPositionFrames(std::int64_t frame)
{
    if (!seekFrames(frame))
        return false;
    m_ended = false;
    m_syncs.rearm(frame);
    if (m_voice)
        m_voice->reset();
    return true;
}

void Channel::runEffects(std::int16_t* samples, std::size_t frames)
{
    if (m_effects.empty())
        return;
    const int ch = channels();
    const std::size_t count = frames * static_cast<std::size_t>(ch);
    m_effectBuffer.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_effectBuffer[i] = samples[i] * (1.0f / 32768.0f);
    for (const auto& attached : m_effects)
        attached.effect->process(m_effectBuffer.data(), frames, ch, rate());
    for (std::size_t i = 0; i < count; ++i) {
        const float scaled = std::nearbyint(m_effectBuffer[i] * 32768.0f);
        samples[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
}

void Channel::addEffect(Handle handle, std::shared_ptr<Effect> effect, int priority)
{
    // Stable: among equal priorities the earlier effect runs first.
    const auto at = std::find_if(m_effects.begin(), m_effects.end(),
        [priority](const AttachedEffect& e) { return e.priority < priority; });
    m_effects.insert(at, AttachedEffect { handle, std::move(effect), priority });
}

bool Channel::removeEffect(Handle handle)
{
    const auto at = std::find_if(
        m_effects.begin(), m_effects.end(), [handle](const AttachedEffect& e) { return e.handle == handle; });
    if (at == m_effects.end())
        return false;
    m_effects.erase(at);
    return true;
}

void Channel::setEncoder(Handle handle, std::shared_ptr<Encoder> encoder)
{
    m_encoderHandle = handle;
    m_encoder = std::move(encoder);
}

void Channel::clearEncoder()
{
    m_encoderHandle = 0;
    m_encoder.reset();
}

std::int64_t Channel::syncPositionFrames()
{
    if (m_voice) {
        if (const auto position = m_voice->mixPosition())
            return *position;
    }
    return positionFrames();
}

Activity Channel::activity() const
{
    if (m_decode)
        return m_ended ? Activity::Stopped : Activity::Playing;
    return m_activity;
}

Activity Channel::heardActivity(std::int64_t heardFrame) const
{
    if (!m_decode && m_activity == Activity::Stopped && m_ended && m_voice && m_voice->sounding(heardFrame))
        return Activity::Playing;
    return activity();
}

bool Channel::play(bool restart, int outputRate, std::int64_t startFrame)
{
    if ((restart || m_ended) && !setPositionFrames(0))
        return false;
    if (!m_voice)
        m_voice = std::make_unique<Voice>(rate(), channels(), outputRate);
    m_voice->startAt(startFrame);
    m_activity = Activity::Playing;
    return true;
}

bool Channel::pause()
{
    if (m_activity == Activity::Stopped)
        return fail(NotPlaying, false);
    m_activity = Activity::Paused;
    return true;
}

void Channel::endPlayback()
{
    m_activity = Activity::Stopped;
    m_ended = true;
}

void Channel::render(MixBlock& block)
{
    if (m_activity == Activity::Playing && m_voice)
        m_voice->render(*this, block);
}

std::int64_t Channel::playbackPositionFrames(std::int64_t heardFrame)
{
    if (m_voice) {
        if (const auto heard = m_voice->heardPosition(heardFrame))
            return *heard;
        if (const auto mixed = m_voice->mixPosition())
            return *mixed;
    }
    return positionFrames();
}

void Channel::markFreed()
{
    m_freed = true;
    m_activity = Activity::Stopped;
    m_syncs.clear();
    clearEncoder();
}

} // namespace zv::engine
