#include "engine/channel.h"

#include "engine/effect.h"
#include "engine/encoder.h"
#include "engine/error.h"

#include <algorithm>
#include <cmath>

namespace zv::engine {

Channel::~Channel() = default;

bool Channel::setAttribute(Attribute attribute, float value)
{
    if (attribute != Attribute::Volume || !std::isfinite(value))
        return fail(BadParameter, false);
    m_volume = std::clamp(value, 0.0f, 1.0f);
    return true;
}

bool Channel::getAttribute(Attribute attribute, float& value) const
{
    if (attribute != Attribute::Volume)
        return fail(BadParameter, false);
    value = m_volume;
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
    const std::int64_t got = readFrames(samples, frames);
    if (got < 0)
        return -1;
    if (got == 0) {
        m_ended = true;
        return fail(Ended, std::int64_t { -1 });
    }
    runEffects(samples, static_cast<std::size_t>(got));
    const std::int64_t gotBytes = got * frameBytes();
    // A dead encoder does not stop decoding; encodeStop reports it.
    if (m_encoder)
        m_encoder->write(samples, static_cast<std::size_t>(gotBytes));
    return gotBytes;
}

bool Channel::setPositionFrames(std::int64_t frame)
{
    if (!seekFrames(frame))
        return false;
    m_ended = false;
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

bool Channel::hasEffect(Handle handle) const
{
    return std::any_of(
        m_effects.begin(), m_effects.end(), [handle](const AttachedEffect& e) { return e.handle == handle; });
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

} // namespace zv::engine
