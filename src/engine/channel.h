#pragma once
// Base of every channel: the data path shared by file streams and tempo
// streams (read, effects by priority, encoder) and the attributes.
//
// Not thread-safe on its own: the engine's API serialises every call on a
// channel (engine.cpp).

#include "engine/engine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zv::engine {

class Effect;
class Encoder;

class Channel {
public:
    explicit Channel(bool decode)
        : m_decode(decode)
    {
    }
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

    virtual bool setAttribute(Attribute attribute, float value);
    virtual bool getAttribute(Attribute attribute, float& value) const;

    int rate() const { return info().rate; }
    int channels() const { return info().channels; }
    int frameBytes() const { return 2 * channels(); }
    bool isDecode() const { return m_decode; }
    bool ended() const { return m_ended; }

    // Reads, runs the effects and feeds the encoder. Returns bytes, or -1
    // with Ended or DecodeFailed.
    std::int64_t getData(void* buffer, std::uint32_t bytes);
    // Repositions and clears the end mark.
    bool setPositionFrames(std::int64_t frame);

    void addEffect(Handle handle, std::shared_ptr<Effect> effect, int priority);
    bool removeEffect(Handle handle);
    bool hasEffect(Handle handle) const;

    void setEncoder(Handle handle, std::shared_ptr<Encoder> encoder);
    Handle encoderHandle() const { return m_encoderHandle; }
    void clearEncoder();

private:
    void runEffects(std::int16_t* samples, std::size_t frames);

    struct AttachedEffect {
        Handle handle;
        std::shared_ptr<Effect> effect;
        int priority;
    };

    bool m_decode;
    bool m_ended = false;
    float m_volume = 1.0f;
    std::vector<AttachedEffect> m_effects; // highest priority first
    std::vector<float> m_effectBuffer;
    Handle m_encoderHandle = 0;
    std::shared_ptr<Encoder> m_encoder;
};

} // namespace zv::engine
