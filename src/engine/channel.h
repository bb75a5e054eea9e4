#pragma once
// Base of every channel: the data path shared by file streams and tempo
// streams (read, effects by priority, encoder, syncs), the attributes, and
// the state of a playable channel at the output.
//
// Not thread-safe on its own: every call holds the channel's lock (mutex()),
// which the engine's API and the output's mixing thread take. Sync callbacks
// run with it held, so they may call the engine on the same channel.

#include "engine/engine.h"
#include "engine/mix_block.h"
#include "engine/sync_list.h"
#include "engine/volume_ramp.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zv::engine {

class Effect;
class Encoder;
class Voice;

class Channel {
public:
    explicit Channel(bool decode);
    virtual ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    virtual const ChannelInfo& info() const = 0;
    // Frames on the channel's own time line; -1 when unknown.
    virtual std::int64_t lengthFrames() = 0;
    virtual std::int64_t positionFrames() = 0;
    // False, with the error recorded, when the frame cannot be reached.
    virtual bool seekFrames(std::int64_t frame) = 0;
    // Reads up to frames frames of interleaved PCM before effects. Returns
    // the frames read, 0 at the end, or -1 with the error recorded.
    virtual std::int64_t readFrames(std::int16_t* out, std::size_t frames) = 0;
    // Frames to read (at least 1) until positionFrames() reaches position.
    virtual std::int64_t framesUntil(std::int64_t position);

    virtual bool setAttribute(Attribute attribute, float value);
    virtual bool getAttribute(Attribute attribute, float& value) const;

    // Shared by every channel that reads another one directly.
    std::recursive_mutex& mutex() const { return *m_mutex; }

    int rate() const { return info().rate; }
    int channels() const { return info().channels; }
    int frameBytes() const { return 2 * channels(); }
    bool isDecode() const { return m_decode; }
    bool ended() const { return m_ended; }

    // Reads, runs the effects, fires the syncs where the data reaches them
    // and feeds the encoder. Returns bytes, or -1 with Ended or DecodeFailed.
    std::int64_t getData(void* buffer, std::uint32_t bytes);
    // Reads and runs the effects: the data path of a playing channel.
    std::int64_t readProcessed(std::int16_t* out, std::size_t frames);
    // Repositions, clears the end mark and rearms the position syncs.
    bool setPositionFrames(std::int64_t frame);

    void addEffect(Handle handle, std::shared_ptr<Effect> effect, int priority);
    bool removeEffect(Handle handle);

    void setEncoder(Handle handle, std::shared_ptr<Encoder> encoder);
    Handle encoderHandle() const { return m_encoderHandle; }
    void clearEncoder();

    SyncList& syncs() { return m_syncs; }
    // Where the syncs measure from: the next frame to mix of a playable
    // channel, the read position of a decode channel.
    std::int64_t syncPositionFrames();
    VolumeRamp& volume() { return m_volume; }

    // A decode channel is Playing until its data has ended.
    Activity activity() const;
    // As the listener knows it: a channel that played to its end is Playing
    // until its last frame has been heard at output frame heardFrame.
    Activity heardActivity(std::int64_t heardFrame) const;
    // Playable channels. outputRate: of the mix the channel joins; it plays
    // from output frame startFrame on. A channel that played to its end
    // starts again from the beginning.
    bool play(bool restart, int outputRate, std::int64_t startFrame);
    bool pause();
    void stop() { m_activity = Activity::Stopped; }
    // The voice's report that the last frame has been mixed.
    void endPlayback();
    // The output's mixing thread: adds the channel's next frames to the
    // block while it plays (see Voice::render).
    void render(MixBlock& block);
    // Where playback stands: for a playable channel the frame being heard at
    // output frame heardFrame, otherwise positionFrames().
    std::int64_t playbackPositionFrames(std::int64_t heardFrame);

    // The handle is gone: playback stops, no sync fires any more and the
    // encoder is let go. The object lives on while others hold it.
    void markFreed();
    bool freed() const { return m_freed; }

protected:
    // For a channel that reads other's data directly.
    void shareLockWith(const Channel& other) { m_mutex = other.m_mutex; }

private:
    void runEffects(std::int16_t* samples, std::size_t frames);

    struct AttachedEffect {
        Handle handle;
        std::shared_ptr<Effect> effect;
        int priority;
    };

    std::shared_ptr<std::recursive_mutex> m_mutex;
    bool m_decode;
    bool m_ended = false;
    bool m_freed = false;
    Activity m_activity = Activity::Stopped;
    VolumeRamp m_volume;
    SyncList m_syncs;
    std::unique_ptr<Voice> m_voice; // from the first play on; never replaced, as it may be rendering
    std::vector<AttachedEffect> m_effects; // highest priority first
    std::vector<float> m_effectBuffer;
    Handle m_encoderHandle = 0;
    std::shared_ptr<Encoder> m_encoder;
};

} // namespace zv::engine
