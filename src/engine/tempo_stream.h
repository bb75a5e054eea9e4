#pragma once
// A channel that changes the tempo of a decode channel without changing its
// pitch (SoundTouch). Positions and lengths count on the source's time line;
// the data comes out tempo-changed. At a tempo change of 0 % the source's
// samples pass through untouched.
//
// Reads and repositions its source directly, so it shares its source's lock.
// The source stays open when the tempo stream is freed.

#include "engine/channel.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace zv::engine {

class TempoStream final : public Channel {
    struct Key {
        explicit Key() = default;
    };

public:
    // flags: StreamDecode for a channel pulled with getData. Returns nullptr,
    // with the error recorded, when source is not a decode channel
    // (NotDecodeChannel) or has a channel count the processor cannot take
    // (FileFormat).
    static std::shared_ptr<TempoStream> create(std::shared_ptr<Channel> source, std::uint32_t flags);
    TempoStream(Key, std::shared_ptr<Channel> source, bool decode);
    ~TempoStream() override;

    const ChannelInfo& info() const override;
    std::int64_t lengthFrames() override;
    // Where the data delivered so far has reached on the source's time line;
    // approximate while the tempo is changed, never decreasing between seeks.
    std::int64_t positionFrames() override;
    bool seekFrames(std::int64_t frame) override;
    std::int64_t readFrames(std::int16_t* out, std::size_t frames) override;
    // From the tempo: the position advances by the rate ratio per frame.
    std::int64_t framesUntil(std::int64_t position) override;

    // Tempo: percent change, clamped to MinTempo..MaxTempo; not finite is
    // BadParameter. Volume goes to the base.
    bool setAttribute(Attribute attribute, float value) override;
    bool getAttribute(Attribute attribute, float& value) const override;

    // Resulting rate over the source's: 1.2 at +20 %.
    float rateRatio() const { return 1.0f + m_percent / 100.0f; }
    std::shared_ptr<Channel> source() const { return m_source; }

    static constexpr float MinTempo = -95.0f;
    static constexpr float MaxTempo = 5000.0f;

private:
    bool bypassed() const { return m_percent == 0.0f; }
    // Pulls one block from the source into the processor, or flushes it at the
    // source's end. False, with the error recorded, when the source fails.
    bool feed();
    void finish();
    void remember(const float* samples, std::size_t frames);
    void restart(std::int64_t frame);

    std::shared_ptr<Channel> m_source;
    std::unique_ptr<soundtouch::SoundTouch> m_touch;
    int m_channels;
    float m_percent = 0.0f;
    bool m_flushed = false; // the source has ended and the processor's tail is out
    double m_position = 0; // source frames the delivered output stands for
    double m_owed = 0; // output frames the input fed so far calls for, not yet delivered
    std::vector<std::int16_t> m_pcm; // a block read from the source
    std::vector<float> m_input; // the same block for the processor
    std::vector<float> m_output; // what the processor hands back
    std::vector<float> m_recent; // the source's last frames, to pad its end with
};

} // namespace zv::engine
