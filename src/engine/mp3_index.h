#pragma once
// Where the MPEG audio frames of a file lie, found from the frame headers
// alone (nothing is decoded), and the exact length the encoder meant: the
// encoder delay and padding of a Xing/Info frame's LAME tag are honoured the
// way FFmpeg's decoder honours them, so the index and a decode agree.
//
// The frame samples counted here are those the decoder produces; output
// sample s is decoded sample s + leadingSkip().

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zv::engine {

class Mp3Index {
public:
    // Scans the whole file open on fd with large sequential reads. Skips ID3v2
    // tags at the start, ID3v1 and APE tags at the end and garbage between
    // frames; a tag frame (Xing, Info, VBRI) is not an audio frame. nullopt
    // when no run of frames is found, the file cannot be read, or it is too
    // large for 32-bit offsets.
    static std::optional<Mp3Index> build(int fd);
    // The exact length in samples from the first frame's tag alone, without a
    // scan; -1 when the file has no tag giving its frame count.
    static std::int64_t taggedLength(int fd);
    // Bytes of the ID3v2 tags at the start of the file open on fd.
    static std::int64_t leadingTagBytes(int fd);
    // Bytes of the frame whose header starts at header (4 bytes), or 0 when
    // they are not a frame header.
    static int frameBytesAt(const std::uint8_t* header);

    // MPEG audio layer: 1, 2 or 3.
    int layer() const { return m_layer; }
    int sampleRate() const { return m_sampleRate; }
    int samplesPerFrame() const { return m_samplesPerFrame; }
    std::size_t frameCount() const { return m_offsets.size(); }
    std::int64_t frameOffset(std::size_t frame) const { return m_offsets[frame]; }
    // Decoded samples to drop before the first output sample.
    std::int64_t leadingSkip() const { return m_leadingSkip; }
    // Output samples per channel.
    std::int64_t lengthFrames() const { return m_length; }

private:
    int m_layer = 0;
    int m_sampleRate = 0;
    int m_samplesPerFrame = 0;
    std::int64_t m_leadingSkip = 0;
    std::int64_t m_length = 0;
    std::vector<std::uint32_t> m_offsets; // file offset of each audio frame
};

} // namespace zv::engine
