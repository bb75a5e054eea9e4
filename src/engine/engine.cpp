// The engine's API: the handle table and the glue between handles and the
// channel, effect and encoder objects.
//
// Locks: the engine's lock guards the tables and is held only briefly, never
// while waiting for a channel's lock. Each channel's own lock guards the
// channel (data path, effects, syncs, playback) and is held while its sync
// callbacks run, so a callback may call the engine again: it takes the
// engine's lock after its channel's, never the other way round. Freeing a
// channel takes its lock, so it waits for a callback in progress, and after
// it no callback of the channel runs.

#include "engine/engine.h"

#include "engine/channel.h"
#include "engine/encoder.h"
#include "engine/error.h"
#include "engine/ffmpeg_library.h"
#include "engine/file_stream.h"
#include "engine/output.h"
#include "engine/peaking_eq.h"
#include "engine/tempo_stream.h"
#include "engine/volume_effect.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace zv::engine {
namespace {

struct EffectEntry {
    Handle channel;
    EffectType type;
    std::shared_ptr<Channel> owner;
    std::shared_ptr<Effect> effect;
};

struct EncoderEntry {
    Handle channel; // 0 while launched but not attached
    std::shared_ptr<Encoder> encoder;
};

struct State {
    bool initialised = false;
    Handle lastHandle = 0;
    std::unique_ptr<Output> output;
    std::unordered_map<Handle, std::shared_ptr<Channel>> channels;
    std::unordered_map<Handle, EffectEntry> effects;
    std::unordered_map<Handle, EncoderEntry> encoders;
};

std::mutex g_lock;
State g_state;

using Lock = std::lock_guard<std::mutex>;

// Handles are never reused, so a stale handle can only fail. Engine's lock held.
Handle newHandleLocked()
{
    if (++g_state.lastHandle == 0)
        ++g_state.lastHandle;
    return g_state.lastHandle;
}

Handle newHandle()
{
    const Lock lock(g_lock);
    return newHandleLocked();
}

std::shared_ptr<Channel> lookup(Handle handle)
{
    const Lock lock(g_lock);
    const auto it = g_state.channels.find(handle);
    if (it == g_state.channels.end())
        return fail(BadHandle, std::shared_ptr<Channel> {});
    return it->second;
}

// A channel found by its handle and locked for the rest of the call. Empty,
// with BadHandle recorded, when the handle is stale or the channel was freed
// while the call waited for its lock.
class LockedChannel {
public:
    explicit LockedChannel(Handle handle)
        : m_channel(lookup(handle))
    {
        if (!m_channel)
            return;
        m_lock = std::unique_lock(m_channel->mutex());
        if (m_channel->freed()) {
            m_lock.unlock();
            m_channel.reset();
            setError(BadHandle);
        }
    }

    explicit operator bool() const { return m_channel != nullptr; }
    Channel* operator->() const { return m_channel.get(); }
    Channel& operator*() const { return *m_channel; }
    const std::shared_ptr<Channel>& shared() const { return m_channel; }

private:
    std::shared_ptr<Channel> m_channel;
    std::unique_lock<std::recursive_mutex> m_lock; // released before the channel
};

std::int64_t heardFrame()
{
    const Lock lock(g_lock);
    return g_state.output ? g_state.output->heardFrame() : 0;
}

Handle addChannel(std::shared_ptr<Channel> channel)
{
    const Lock lock(g_lock);
    if (!g_state.initialised)
        return fail(NotInitialised, Handle { 0 });
    const Handle handle = newHandleLocked();
    if (!channel->isDecode())
        g_state.output->mix().add(channel);
    g_state.channels.emplace(handle, std::move(channel));
    setError(Ok);
    return handle;
}

Handle createFileStream(const std::string& path, std::uint32_t flags, bool wmaOnly)
{
    {
        const Lock lock(g_lock);
        if (!g_state.initialised)
            return fail(NotInitialised, Handle { 0 });
    }
    // Opening may index a whole file: no lock is held meanwhile.
    auto stream = FileStream::open(path, flags, wmaOnly);
    if (!stream)
        return 0;
    return addChannel(std::move(stream));
}

// The effect fx of the given type and the channel carrying it; BadHandle
// when there is none.
template <typename T>
std::shared_ptr<T> findEffect(Handle fx, EffectType type, std::shared_ptr<Channel>& owner)
{
    const Lock lock(g_lock);
    const auto it = g_state.effects.find(fx);
    if (it == g_state.effects.end() || it->second.type != type)
        return fail(BadHandle, std::shared_ptr<T> {});
    owner = it->second.owner;
    return std::static_pointer_cast<T>(it->second.effect);
}

// Runs change on the effect fx with its channel locked. False with BadHandle
// when the effect or its channel is gone.
template <typename T, typename Change> bool withEffect(Handle fx, EffectType type, Change change)
{
    std::shared_ptr<Channel> owner;
    const auto effect = findEffect<T>(fx, type, owner);
    if (!effect)
        return false;
    const std::lock_guard lock(owner->mutex());
    if (owner->freed())
        return fail(BadHandle, false);
    return change(*effect);
}

// Removes the channel's encoder, if any, from the table and hands it back to
// be stopped once the locks are released. Engine's lock held.
std::shared_ptr<Encoder> takeChannelEncoderLocked(const Channel& channel)
{
    const auto it = g_state.encoders.find(channel.encoderHandle());
    if (it == g_state.encoders.end())
        return nullptr;
    auto encoder = std::move(it->second.encoder);
    g_state.encoders.erase(it);
    return encoder;
}

} // namespace

bool init(int device, int rate)
{
    const Lock lock(g_lock);
    if (g_state.initialised)
        return fail(AlreadyInitialised, false);
    if (rate <= 0)
        return fail(BadParameter, false);
    if (device != DefaultDevice && device != NoSoundDevice)
        return fail(NoDevice, false);
    auto output = Output::open(device, rate);
    if (!output)
        return false;
    g_state.output = std::move(output);
    g_state.initialised = true;
    setError(Ok);
    return true;
}

bool shutdown()
{
    std::unique_ptr<Output> output;
    std::unordered_map<Handle, std::shared_ptr<Channel>> channels;
    std::unordered_map<Handle, EffectEntry> effects;
    std::unordered_map<Handle, EncoderEntry> encoders;
    {
        const Lock lock(g_lock);
        if (!g_state.initialised)
            return fail(NotInitialised, false);
        // The mixing thread cannot wait for itself.
        if (g_state.output->onMixingThread())
            return fail(BadParameter, false);
        output = std::move(g_state.output);
        channels.swap(g_state.channels);
        effects.swap(g_state.effects);
        encoders.swap(g_state.encoders);
        g_state.initialised = false;
    }
    // Silences the device and waits for a callback still running; one that
    // calls the engine meanwhile finds no handles.
    output.reset();
    for (const auto& [handle, channel] : channels) {
        const std::lock_guard lock(channel->mutex());
        channel->markFreed();
    }
    // Encoders before channels: stopping one closes its input and waits for
    // its file.
    encoders.clear();
    setError(Ok);
    return true;
}

void loadDecodersInBackground()
{
    loadFfmpegInBackground();
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
    // Stops when the last reference goes, after the locks are released.
    std::shared_ptr<Encoder> encoder;
    std::shared_ptr<Channel> channel;
    {
        const Lock lock(g_lock);
        const auto it = g_state.channels.find(stream);
        if (it == g_state.channels.end())
            return fail(BadHandle, false);
        channel = std::move(it->second);
        g_state.channels.erase(it);
        std::erase_if(
            g_state.effects, [stream](const auto& entry) { return entry.second.channel == stream; });
        const auto enc = std::find_if(g_state.encoders.begin(), g_state.encoders.end(),
            [stream](const auto& entry) { return entry.second.channel == stream; });
        if (enc != g_state.encoders.end()) {
            encoder = enc->second.encoder;
            g_state.encoders.erase(enc);
        }
        if (g_state.output)
            g_state.output->mix().remove(channel.get());
    }
    // Waits for a callback of the channel in progress on another thread.
    {
        const std::lock_guard lock(channel->mutex());
        channel->markFreed();
    }
    setError(Ok);
    return true;
}

bool channelGetInfo(Handle handle, ChannelInfo& info)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    info = channel->info();
    setError(Ok);
    return true;
}

std::uint64_t channelGetLength(Handle handle)
{
    const LockedChannel channel(handle);
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
    const LockedChannel channel(handle);
    if (!channel)
        return NoPosition;
    const std::int64_t frames
        = channel->isDecode() ? channel->positionFrames() : channel->playbackPositionFrames(heardFrame());
    if (frames < 0)
        return fail(NotAvailable, NoPosition);
    setError(Ok);
    return static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channel->frameBytes());
}

bool channelSetPosition(Handle handle, std::uint64_t bytes)
{
    const LockedChannel channel(handle);
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
    const LockedChannel channel(handle);
    if (!channel)
        return -1.0;
    const auto frames = bytes / static_cast<std::uint64_t>(channel->frameBytes());
    setError(Ok);
    return static_cast<double>(frames) / channel->rate();
}

std::uint64_t channelSeconds2Bytes(Handle handle, double seconds)
{
    const LockedChannel channel(handle);
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
    const LockedChannel channel(handle);
    if (!channel)
        return Activity::Stopped;
    setError(Ok);
    return channel->isDecode() ? channel->activity() : channel->heardActivity(heardFrame());
}

bool channelPlay(Handle handle, bool restart)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    if (channel->isDecode())
        return fail(DecodeOnly, false);
    int rate = 0;
    std::int64_t startFrame = 0;
    {
        const Lock lock(g_lock);
        if (!g_state.output)
            return fail(NotInitialised, false);
        rate = g_state.output->rate();
        // Started by a callback: the sound goes on from the callback's frame.
        if (g_state.output->onMixingThread())
            startFrame = g_state.output->mix().cursor();
    }
    if (!channel->play(restart, rate, startFrame))
        return false;
    setError(Ok);
    return true;
}

bool channelPause(Handle handle)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    if (channel->isDecode())
        return fail(DecodeOnly, false);
    if (!channel->pause())
        return false;
    setError(Ok);
    return true;
}

bool channelStop(Handle handle)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    if (channel->isDecode())
        return fail(DecodeOnly, false);
    channel->stop();
    setError(Ok);
    return true;
}

std::int64_t channelGetData(Handle handle, void* buffer, std::uint32_t bytes)
{
    const LockedChannel channel(handle);
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
    const LockedChannel channel(handle);
    if (!channel || !channel->setAttribute(attribute, value))
        return false;
    setError(Ok);
    return true;
}

bool channelGetAttribute(Handle handle, Attribute attribute, float& value)
{
    const LockedChannel channel(handle);
    if (!channel || !channel->getAttribute(attribute, value))
        return false;
    setError(Ok);
    return true;
}

bool channelSlideAttribute(Handle handle, Attribute attribute, float target, std::uint32_t ms)
{
    if (attribute != Attribute::Volume || !std::isfinite(target))
        return fail(BadParameter, false);
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    channel->volume().slide(std::clamp(target, 0.0f, 1.0f), ms);
    setError(Ok);
    return true;
}

Handle channelSetSync(Handle handle, SyncType type, std::uint64_t param, SyncCallback callback)
{
    if (!callback || (type != SyncType::End && type != SyncType::Position))
        return fail(BadParameter, Handle { 0 });
    const LockedChannel channel(handle);
    if (!channel)
        return 0;
    const std::uint64_t frame = param / static_cast<std::uint64_t>(channel->frameBytes());
    const auto at = static_cast<std::int64_t>(std::min<std::uint64_t>(frame, INT64_MAX));
    const Handle sync = newHandle();
    channel->syncs().add(sync, handle, type, at, std::move(callback), channel->syncPositionFrames());
    setError(Ok);
    return sync;
}

bool channelRemoveSync(Handle handle, Handle sync)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    if (!channel->syncs().remove(sync))
        return fail(BadHandle, false);
    setError(Ok);
    return true;
}

Handle tempoCreate(Handle sourceHandle, std::uint32_t flags)
{
    const auto source = lookup(sourceHandle);
    if (!source)
        return 0;
    std::shared_ptr<TempoStream> tempo;
    {
        const std::lock_guard lock(source->mutex());
        if (source->freed())
            return fail(BadHandle, Handle { 0 });
        tempo = TempoStream::create(source, flags);
    }
    if (!tempo)
        return 0;
    return addChannel(std::move(tempo));
}

float tempoGetRateRatio(Handle handle)
{
    const LockedChannel channel(handle);
    if (!channel)
        return 0.0f;
    const auto* tempo = dynamic_cast<const TempoStream*>(&*channel);
    if (!tempo)
        return fail(BadHandle, 0.0f);
    setError(Ok);
    return tempo->rateRatio();
}

Handle tempoGetSource(Handle handle)
{
    const Lock lock(g_lock);
    const auto it = g_state.channels.find(handle);
    // The type and the source of a channel never change: no channel lock.
    const auto* tempo
        = it == g_state.channels.end() ? nullptr : dynamic_cast<const TempoStream*>(it->second.get());
    if (!tempo)
        return fail(BadHandle, Handle { 0 });
    const auto source = tempo->source();
    for (const auto& [sourceHandle, channel] : g_state.channels) {
        if (channel == source) {
            setError(Ok);
            return sourceHandle;
        }
    }
    // The source's handle was freed; the tempo stream still holds the object.
    return fail(BadHandle, Handle { 0 });
}

Handle channelSetFx(Handle handle, EffectType type, int priority)
{
    const LockedChannel channel(handle);
    if (!channel)
        return 0;
    std::shared_ptr<Effect> effect;
    if (type == EffectType::PeakEq)
        effect = std::make_shared<PeakingEq>();
    else
        effect = std::make_shared<VolumeEffect>();
    Handle fx = 0;
    {
        const Lock lock(g_lock);
        // Freed while this call waited for the channel's lock.
        if (!g_state.channels.contains(handle))
            return fail(BadHandle, Handle { 0 });
        fx = newHandleLocked();
        g_state.effects.emplace(fx, EffectEntry { handle, type, channel.shared(), effect });
    }
    channel->addEffect(fx, std::move(effect), priority);
    setError(Ok);
    return fx;
}

bool channelRemoveFx(Handle handle, Handle fx)
{
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    {
        const Lock lock(g_lock);
        const auto it = g_state.effects.find(fx);
        if (it == g_state.effects.end() || it->second.channel != handle)
            return fail(BadHandle, false);
        g_state.effects.erase(it);
    }
    channel->removeEffect(fx);
    setError(Ok);
    return true;
}

bool fxSetEqBand(Handle fx, const EqBand& band)
{
    if (band.band < 0 || !std::isfinite(band.centreHz) || band.centreHz <= 0
        || !std::isfinite(band.bandwidthOctaves) || band.bandwidthOctaves <= 0
        || !std::isfinite(band.gainDb)) {
        // A stale handle still counts as the failure.
        std::shared_ptr<Channel> owner;
        if (!findEffect<PeakingEq>(fx, EffectType::PeakEq, owner))
            return false;
        return fail(BadParameter, false);
    }
    if (!withEffect<PeakingEq>(fx, EffectType::PeakEq, [&band](PeakingEq& eq) {
            eq.setBand(band);
            return true;
        }))
        return false;
    setError(Ok);
    return true;
}

bool fxGetEqBand(Handle fx, EqBand& band)
{
    if (!withEffect<PeakingEq>(fx, EffectType::PeakEq,
            [&band](const PeakingEq& eq) { return eq.getBand(band) ? true : fail(BadParameter, false); }))
        return false;
    setError(Ok);
    return true;
}

bool fxSetVolume(Handle fx, float level)
{
    if (!std::isfinite(level) || level < 0) {
        std::shared_ptr<Channel> owner;
        if (!findEffect<VolumeEffect>(fx, EffectType::Volume, owner))
            return false;
        return fail(BadParameter, false);
    }
    if (!withEffect<VolumeEffect>(fx, EffectType::Volume, [level](VolumeEffect& volume) {
            volume.setLevel(level);
            return true;
        }))
        return false;
    setError(Ok);
    return true;
}

bool fxGetVolume(Handle fx, float& level)
{
    if (!withEffect<VolumeEffect>(fx, EffectType::Volume, [&level](const VolumeEffect& volume) {
            level = volume.level();
            return true;
        }))
        return false;
    setError(Ok);
    return true;
}

Handle encodeStart(Handle handle, const std::string& commandLine)
{
    // A replaced encoder stops when this goes, after the locks are released.
    std::shared_ptr<Encoder> replaced;
    const LockedChannel channel(handle);
    if (!channel)
        return 0;
    const auto argv = splitCommandLine(commandLine);
    if (argv.empty())
        return fail(BadParameter, Handle { 0 });
    auto encoder = Encoder::start(argv, channel->rate(), channel->channels());
    if (!encoder)
        return 0;
    Handle enc = 0;
    {
        const Lock lock(g_lock);
        replaced = takeChannelEncoderLocked(*channel);
        enc = newHandleLocked();
        g_state.encoders.emplace(enc, EncoderEntry { handle, encoder });
    }
    channel->setEncoder(enc, std::move(encoder));
    setError(Ok);
    return enc;
}

Handle encodeLaunch(const std::string& commandLine)
{
    const auto argv = splitCommandLine(commandLine);
    if (argv.empty())
        return fail(BadParameter, Handle { 0 });
    auto encoder = Encoder::launch(argv);
    if (!encoder)
        return 0;
    const Lock lock(g_lock);
    const Handle enc = newHandleLocked();
    g_state.encoders.emplace(enc, EncoderEntry { 0, std::move(encoder) });
    setError(Ok);
    return enc;
}

bool encodeAttach(Handle encoder, Handle handle)
{
    // A replaced encoder stops when this goes, after the locks are released.
    std::shared_ptr<Encoder> replaced;
    const LockedChannel channel(handle);
    if (!channel)
        return false;
    std::shared_ptr<Encoder> attached;
    {
        const Lock lock(g_lock);
        const auto it = g_state.encoders.find(encoder);
        if (it == g_state.encoders.end() || it->second.channel != 0)
            return fail(BadHandle, false);
        // The header is all an encoder waiting for its channel has been
        // sent: it fits the pipe, so this never blocks under the lock.
        if (!it->second.encoder->begin(channel->rate(), channel->channels()))
            return false;
        it->second.channel = handle;
        attached = it->second.encoder;
        replaced = takeChannelEncoderLocked(*channel);
    }
    channel->setEncoder(encoder, std::move(attached));
    setError(Ok);
    return true;
}

bool encodeStop(Handle encoder, std::string* errorOutput)
{
    std::shared_ptr<Encoder> stopped;
    Handle handle = 0;
    {
        const Lock lock(g_lock);
        const auto it = g_state.encoders.find(encoder);
        if (it == g_state.encoders.end())
            return fail(BadHandle, false);
        stopped = it->second.encoder;
        handle = it->second.channel;
        g_state.encoders.erase(it);
    }
    if (handle != 0) {
        const LockedChannel channel(handle);
        if (channel && channel->encoderHandle() == encoder)
            channel->clearEncoder();
    }
    // Waiting for the encoder to finish its file holds no lock.
    if (!stopped->stop(errorOutput))
        return false;
    setError(Ok);
    return true;
}

bool encodeIsActive(Handle encoder)
{
    std::shared_ptr<Encoder> running;
    {
        const Lock lock(g_lock);
        const auto it = g_state.encoders.find(encoder);
        if (it == g_state.encoders.end())
            return fail(BadHandle, false);
        running = it->second.encoder;
    }
    setError(Ok);
    return running->active();
}

} // namespace zv::engine
