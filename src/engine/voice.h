#pragma once
// A playable channel at the output: its data converted to the output's
// format, what has been read ahead of the mix, and the maps from mixed and
// heard output frames back to the channel's time line.
//
// Owned by its channel and guarded by the channel's lock. render() runs on
// the output's mixing thread; the position queries on any thread.

#include "engine/mix_block.h"
#include "engine/output_converter.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace zv::engine {

class Channel;

class Voice {
public:
    Voice(int channelRate, int channels, int outputRate);

    // Playback moved: forgets what was read ahead and what was heard.
    void reset();
    // Output frames before frame are left to others: a channel started by a
    // callback begins where the callback fired.
    void startAt(std::int64_t frame) { m_startFrame = frame; }
    // The channel's position at the next frame to mix; none before the first
    // read since the last reset.
    std::optional<std::int64_t> mixPosition() const;
    // The channel's position at output frame heardFrame; none when nothing
    // was mixed since the last reset.
    std::optional<std::int64_t> heardPosition(std::int64_t heardFrame);
    // Whether frames mixed since the last reset are still to be heard.
    bool sounding(std::int64_t heardFrame) const
    {
        return !m_heard.empty() && m_heard.back().frame > heardFrame;
    }

    // Adds the playing channel's next frames to the block. Fires the
    // channel's position syncs at the frame where playback reaches them and
    // its End syncs after its last frame; stops where the channel stops
    // playing (its end, or a callback that stops or frees it).
    void render(Channel& channel, MixBlock& block);

private:
    // Where the channel stood after input frame input (counted from the reset).
    struct Mark {
        std::int64_t input;
        std::int64_t position;
    };
    // Where the channel stood at an output frame.
    struct Heard {
        std::int64_t frame;
        std::int64_t position;
    };

    std::size_t readyFrames() const { return m_ready.size() / 2 - m_readyAt; }
    // Reads and converts about outFrames more output frames. False once the
    // channel's data has ended and everything is converted.
    bool fill(Channel& channel, std::size_t outFrames);
    void finish(Channel& channel);
    std::int64_t positionAt(std::int64_t output) const;
    // The first output frame at which the channel reaches position; none
    // when that lies beyond what has been read.
    std::optional<std::int64_t> outputFrameOf(std::int64_t position) const;
    void dropHeardBefore(std::int64_t frame);
    void dropMarksBefore(std::int64_t output);

    int m_inRate;
    int m_channels;
    int m_outRate;
    OutputConverter m_converter;
    std::vector<std::int16_t> m_pcm; // one read of the channel
    std::vector<float> m_ready; // converted, not yet mixed, from m_readyAt frames on
    std::size_t m_readyAt = 0;
    std::int64_t m_read = 0; // input frames read since the reset
    std::int64_t m_mixed = 0; // output frames mixed since the reset
    bool m_inputEnded = false;
    std::int64_t m_startFrame = 0;
    std::deque<Mark> m_marks; // the first at or before the mixed frames
    std::deque<Heard> m_heard; // the first at or before the heard frame
};

} // namespace zv::engine
