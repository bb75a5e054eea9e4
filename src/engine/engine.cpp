// The engine's API: the handle table and the glue between handles and the
// channel, effect and encoder objects. One recursive lock serialises every
// call, so channels, effects and encoders need no locks of their own, and a
// callback running inside a call may call the engine again.

#include "engine/engine.h"

#include "engine/channel.h"
#include "engine/encoder.h"
#include "engine/error.h"
#include "engine/file_stream.h"
#include "engine/peaking_eq.h"
#include "engine/tempo_stream.h"
#include "engine/volume_effect.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cmath>
#include <mutex>
#include <unordered_map>

namespace zv::engine {
namespace {

struct EffectEntry {
    Handle channel;
    EffectType type;
    std::shared_ptr<Effect> effect;
};

struct EncoderEntry {
    Handle channel;
    std::shared_ptr<Encoder> encoder;
};

struct State {
    bool initialised = false;
    Handle lastHandle = 0;
    std::unordered_map<Handle, std::shared_ptr<Channel>> channels;
    std::unordered_map<Handle, EffectEntry> effects;
    std::unordered_map<Handle, EncoderEntry> encoders;

    Handle newHandle()
    {
        // Handles are never reused, so a stale handle can only fail.
        if (++lastHandle == 0)
            ++lastHandle;
        return lastHandle;
    }
};

std::recursive_mutex g_lock;
State g_state;

using Lock = std::lock_guard<std::recursive_mutex>;

Channel* findChannel(Handle handle)
{
    const auto it = g_state.channels.find(handle);
    if (it == g_state.channels.end()) {
        setError(BadHandle);
        return nullptr;
    }
    return it->second.get();
}

template <typename T> T* findChannelAs(Handle handle)
{
    Channel* channel = findChannel(handle);
    if (!channel)
        return nullptr;
    auto* typed = dynamic_cast<T*>(channel);
    if (!typed)
        setError(BadHandle);
    return typed;
}

template <typename T> T* findEffectAs(Handle fx, EffectType type)
{
    const auto it = g_state.effects.find(fx);
    if (it == g_state.effects.end() || it->second.type != type) {
        setError(BadHandle);
        return nullptr;
    }
    return static_cast<T*>(it->second.effect.get());
}

Handle addChannel(std::shared_ptr<Channel> channel)
{
    const Handle handle = g_state.newHandle();
    g_state.channels.emplace(handle, std::move(channel));
    setError(Ok);
    return handle;
}

Handle createFileStream(const std::string& path, std::uint32_t flags, bool wmaOnly)
{
    Lock lock(g_lock);
    if (!g_state.initialised)
        return fail(NotInitialised, Handle { 0 });
    auto stream = FileStream::open(path, flags, wmaOnly);
    if (!stream)
        return 0;
    return addChannel(std::move(stream));
}

// Detaches and forgets the channel's encoder; the last reference stops it.
void dropEncoderOf(Channel& channel)
{
    const Handle encoder = channel.encoderHandle();
    if (!encoder)
        return;
    channel.clearEncoder();
    g_state.encoders.erase(encoder);
}

} // namespace

bool init(int device, int rate)
{
    Lock lock(g_lock);
    if (g_state.initialised)
        return fail(AlreadyInitialised, false);
    if (rate <= 0)
        return fail(BadParameter, false);
    // Only the no-sound device exists until playback is built.
    if (device != NoSoundDevice)
        return fail(NoDevice, false);
    // Damaged frames are concealed and reported through error codes; the
    // decoder's own chatter must not reach the user's terminal.
    av_log_set_level(AV_LOG_QUIET);
    g_state.initialised = true;
    setError(Ok);
    return true;
}

bool shutdown()
{
    Lock lock(g_lock);
    if (!g_state.initialised)
        return fail(NotInitialised, false);
    // Encoders first: stopping one closes its input and waits for its file.
    g_state.encoders.clear();
    for (auto& [handle, channel] : g_state.channels)
        channel->clearEncoder();
    g_state.effects.clear();
    g_state.channels.clear();
    g_state.initialised = false;
    setError(Ok);
    return true;
}

Handle streamCreateFile(const std::string& path, std::uint32_t flags)
{
    return createFileStream(path, flags, false);
}

Handle streamCreateWmaFile(const std::string& path, std::uint32_t flags)
{
    return createFileStream(path, flags, true);
}

bool streamFree(Handle stream)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(stream);
    if (!channel)
        return false;
    dropEncoderOf(*channel);
    std::erase_if(g_state.effects, [stream](const auto& entry) { return entry.second.channel == stream; });
    g_state.channels.erase(stream);
    setError(Ok);
    return true;
}

bool channelGetInfo(Handle handle, ChannelInfo& info)
{
    Lock lock(g_lock);
    const Channel* channel = findChannel(handle);
    if (!channel)
        return false;
    info = channel->info();
    setError(Ok);
    return true;
}

std::uint64_t channelGetLength(Handle handle)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return NoPosition;
    const std::int64_t frames = channel->lengthFrames();
    if (frames < 0)
        return fail(NotAvailable, NoPosition);
    setError(Ok);
    return static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channel->frameBytes());
}

std::uint64_t channelGetPosition(Handle handle)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return NoPosition;
    const std::int64_t frames = channel->positionFrames();
    if (frames < 0)
        return fail(NotAvailable, NoPosition);
    setError(Ok);
    return static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channel->frameBytes());
}

bool channelSetPosition(Handle handle, std::uint64_t bytes)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return false;
    const auto frame = bytes / static_cast<std::uint64_t>(channel->frameBytes());
    if (frame > static_cast<std::uint64_t>(INT64_MAX))
        return fail(BadPosition, false);
    if (!channel->setPositionFrames(static_cast<std::int64_t>(frame)))
        return false;
    setError(Ok);
    return true;
}

double channelBytes2Seconds(Handle handle, std::uint64_t bytes)
{
    Lock lock(g_lock);
    const Channel* channel = findChannel(handle);
    if (!channel)
        return -1.0;
    const auto frames = bytes / static_cast<std::uint64_t>(channel->frameBytes());
    setError(Ok);
    return static_cast<double>(frames) / channel->rate();
}

std::uint64_t channelSeconds2Bytes(Handle handle, double seconds)
{
    Lock lock(g_lock);
    const Channel* channel = findChannel(handle);
    if (!channel)
        return NoPosition;
    if (!std::isfinite(seconds) || seconds < 0)
        return fail(BadParameter, NoPosition);
    // A tiny allowance keeps exact values such as 0.3 s x 44100 from
    // rounding down a whole frame through binary fractions.
    const double frames = std::floor(seconds * channel->rate() + 1e-6);
    if (frames >= 9.0e18)
        return fail(BadParameter, NoPosition);
    setError(Ok);
    return static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channel->frameBytes());
}

Activity channelIsActive(Handle handle)
{
    Lock lock(g_lock);
    const Channel* channel = findChannel(handle);
    if (!channel)
        return Activity::Stopped;
    setError(Ok);
    if (channel->isDecode())
        return channel->ended() ? Activity::Stopped : Activity::Playing;
    return Activity::Stopped;
}

std::int64_t channelGetData(Handle handle, void* buffer, std::uint32_t bytes)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return -1;
    if (!buffer)
        return fail(BadParameter, std::int64_t { -1 });
    const std::int64_t got = channel->getData(buffer, bytes);
    if (got >= 0)
        setError(Ok);
    return got;
}

bool channelSetAttribute(Handle handle, Attribute attribute, float value)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel || !channel->setAttribute(attribute, value))
        return false;
    setError(Ok);
    return true;
}

bool channelGetAttribute(Handle handle, Attribute attribute, float& value)
{
    Lock lock(g_lock);
    const Channel* channel = findChannel(handle);
    if (!channel || !channel->getAttribute(attribute, value))
        return false;
    setError(Ok);
    return true;
}

Handle tempoCreate(Handle source, std::uint32_t flags)
{
    Lock lock(g_lock);
    const auto it = g_state.channels.find(source);
    if (it == g_state.channels.end())
        return fail(BadHandle, Handle { 0 });
    auto tempo = TempoStream::create(it->second, flags);
    if (!tempo)
        return 0;
    return addChannel(std::move(tempo));
}

float tempoGetRateRatio(Handle tempo)
{
    Lock lock(g_lock);
    const auto* stream = findChannelAs<TempoStream>(tempo);
    if (!stream)
        return 0.0f;
    setError(Ok);
    return stream->rateRatio();
}

Handle tempoGetSource(Handle tempo)
{
    Lock lock(g_lock);
    const auto* stream = findChannelAs<TempoStream>(tempo);
    if (!stream)
        return 0;
    const auto source = stream->source();
    for (const auto& [handle, channel] : g_state.channels) {
        if (channel == source) {
            setError(Ok);
            return handle;
        }
    }
    // The source's handle was freed; the tempo stream still holds the object.
    return fail(BadHandle, Handle { 0 });
}

Handle channelSetFx(Handle handle, EffectType type, int priority)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return 0;
    std::shared_ptr<Effect> effect;
    if (type == EffectType::PeakEq)
        effect = std::make_shared<PeakingEq>();
    else
        effect = std::make_shared<VolumeEffect>();
    const Handle fx = g_state.newHandle();
    channel->addEffect(fx, effect, priority);
    g_state.effects.emplace(fx, EffectEntry { handle, type, std::move(effect) });
    setError(Ok);
    return fx;
}

bool channelRemoveFx(Handle handle, Handle fx)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return false;
    const auto it = g_state.effects.find(fx);
    if (it == g_state.effects.end() || it->second.channel != handle)
        return fail(BadHandle, false);
    channel->removeEffect(fx);
    g_state.effects.erase(it);
    setError(Ok);
    return true;
}

bool fxSetEqBand(Handle fx, const EqBand& band)
{
    Lock lock(g_lock);
    auto* eq = findEffectAs<PeakingEq>(fx, EffectType::PeakEq);
    if (!eq)
        return false;
    if (band.band < 0 || !std::isfinite(band.centreHz) || band.centreHz <= 0
        || !std::isfinite(band.bandwidthOctaves) || band.bandwidthOctaves <= 0 || !std::isfinite(band.gainDb))
        return fail(BadParameter, false);
    eq->setBand(band);
    setError(Ok);
    return true;
}

bool fxGetEqBand(Handle fx, EqBand& band)
{
    Lock lock(g_lock);
    const auto* eq = findEffectAs<PeakingEq>(fx, EffectType::PeakEq);
    if (!eq)
        return false;
    if (!eq->getBand(band))
        return fail(BadParameter, false);
    setError(Ok);
    return true;
}

bool fxSetVolume(Handle fx, float level)
{
    Lock lock(g_lock);
    auto* volume = findEffectAs<VolumeEffect>(fx, EffectType::Volume);
    if (!volume)
        return false;
    if (!std::isfinite(level) || level < 0)
        return fail(BadParameter, false);
    volume->setLevel(level);
    setError(Ok);
    return true;
}

bool fxGetVolume(Handle fx, float& level)
{
    Lock lock(g_lock);
    const auto* volume = findEffectAs<VolumeEffect>(fx, EffectType::Volume);
    if (!volume)
        return false;
    level = volume->level();
    setError(Ok);
    return true;
}

Handle encodeStart(Handle handle, const std::string& commandLine)
{
    Lock lock(g_lock);
    Channel* channel = findChannel(handle);
    if (!channel)
        return 0;
    const auto argv = splitCommandLine(commandLine);
    if (argv.empty())
        return fail(BadParameter, Handle { 0 });
    auto encoder = Encoder::start(argv, channel->rate(), channel->channels());
    if (!encoder)
        return 0;
    // One encoder per channel: a new one replaces (and stops) the old one.
    dropEncoderOf(*channel);
    const Handle enc = g_state.newHandle();
    channel->setEncoder(enc, encoder);
    g_state.encoders.emplace(enc, EncoderEntry { handle, std::move(encoder) });
    setError(Ok);
    return enc;
}

bool encodeStop(Handle encoder, std::string* errorOutput)
{
    std::shared_ptr<Encoder> stopped;
    {
        Lock lock(g_lock);
        const auto it = g_state.encoders.find(encoder);
        if (it == g_state.encoders.end())
            return fail(BadHandle, false);
        stopped = it->second.encoder;
        if (Channel* channel = findChannel(it->second.channel))
            channel->clearEncoder();
        g_state.encoders.erase(it);
    }
    // Waiting for the encoder to finish its file does not hold the lock.
    if (!stopped->stop(errorOutput))
        return false;
    setError(Ok);
    return true;
}

bool encodeIsActive(Handle encoder)
{
    Lock lock(g_lock);
    const auto it = g_state.encoders.find(encoder);
    if (it == g_state.encoders.end())
        return fail(BadHandle, false);
    setError(Ok);
    return it->second.encoder->active();
}

} // namespace zv::engine
