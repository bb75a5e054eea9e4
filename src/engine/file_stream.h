#pragma once
// A file decoded with FFmpeg into interleaved signed 16-bit PCM at the file's
// own rate and channel count, with sample-exact positions.
//
// The file is opened here and handed to FFmpeg as an open file, so its name
// is never read as a protocol, option or pattern. An MP3 opened with
// StreamPrescan is read through its own frame index (Mp3Index), straight
// into the decoder when the file starts with a frame (after ID3v2 tags): its
// length honours the encoder's delay and padding and seeking lands on the exact
// sample a decode from the start would give there. Other formats seek by
// timestamp and decode forward to the exact sample.
//
// Not thread-safe: the engine's API serialises every call on a channel.

#include "engine/channel.h"
#include "engine/fd_io_context.h"
#include "engine/ffmpeg_handles.h"
#include "engine/mp3_index.h"
#include "engine/unique_fd.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zv::engine {

class FileStream final : public Channel {
    struct Key {
        explicit Key() = default;
    };

public:
    // flags: StreamDecode, StreamPrescan. wmaOnly: the file must be ASF.
    // Returns nullptr with the error recorded: FileOpen (missing, unreadable,
    // not a regular file), DecoderLibraryMissing (FFmpeg cannot be loaded),
    // FileFormat (no decodable audio), WmaProtected (ASF with rights
    // management) and, with wmaOnly, WmaUnavailable (an ASF codec without a
    // decoder).
    static std::shared_ptr<FileStream> open(const std::string& path, std::uint32_t flags, bool wmaOnly);
    FileStream(Key, bool decode);
    ~FileStream() override;

    // format: the container's short name ("mp3", "wav", "asf", "mov" ...);
    // codec: the codec's name ("mp3", "pcm_s16le", "wmav2" ...).
    const ChannelInfo& info() const override;
    // Exact for MP3 with prescan, PCM and formats whose header tells it;
    // otherwise the container's estimate until the end has been decoded.
    std::int64_t lengthFrames() override;
    std::int64_t positionFrames() override;
    // BadPosition beyond the length; DecodeFailed when reading fails.
    bool seekFrames(std::int64_t frame) override;
    // Frames read, 0 at the end, -1 with DecodeFailed when reading fails. A
    // damaged packet is skipped as players do (an MP3 frame becomes silence,
    // so positions stay exact).
    std::int64_t readFrames(std::int16_t* out, std::size_t frames) override;

private:
    enum class Step { Ready, End, Failed };

    int start(const std::string& path, bool prescan, bool wmaOnly);
    int openIndexedMp3(Mp3Index index);
    void adoptIndex(Mp3Index index);
    int openContainer(bool prescan, bool wmaOnly);
    std::int64_t containerLength() const;

    Step fillPending();
    Step decodeFrame();
    Step readPacket();
    Step readMp3Packet();
    bool convertFrame();
    bool prepareResampler(const AVFrame& frame);
    void adoptFormat(const AVFrame& frame);
    void advanceTo(std::int64_t frame);
    void clearPending();
    bool seekContainer(std::int64_t frame);
    bool rewind();
    std::int64_t framesOf(std::int64_t timestamp) const;

    UniqueFd m_fd;
    FdSource m_source;
    IoContextPtr m_io;
    FormatContextPtr m_format;
    AVStream* m_stream = nullptr;
    CodecContextPtr m_decoder;
    PacketPtr m_packet;
    FramePtr m_frame;
    SwrContextPtr m_resampler;
    AVSampleFormat m_resamplerFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout m_resamplerLayout {};
    int m_resamplerRate = 0;

    // MP3 read frame by frame through the index, from a window of the file.
    std::optional<Mp3Index> m_index;
    std::size_t m_nextMp3Frame = 0;
    std::vector<std::uint8_t> m_window;
    std::int64_t m_windowOffset = 0;
    std::size_t m_windowBytes = 0;

    ChannelInfo m_info;
    AVChannelLayout m_layout {}; // of the output
    std::int64_t m_length = -1;
    std::int64_t m_position = 0; // output frame the next read delivers
    std::int64_t m_decodePosition
        = 0; // output frame of the next decoded sample; -1 right after a container seek
    std::int64_t m_originPts = AV_NOPTS_VALUE; // of the first decoded frame
    int m_frameGrid = 0; // frames per codec frame where timestamps are too coarse to place a frame
    std::int64_t m_firstPacketPos = -1;
    std::int64_t m_firstPacketTs = AV_NOPTS_VALUE;
    std::int64_t m_packetsRead = 0;
    bool m_decodedAny = false;
    int m_decodeErrors = 0; // consecutive

    // Output waiting for a reader: m_silence frames, then m_pendingFrames
    // frames at m_pending (in m_pcm or in m_frame).
    std::int64_t m_silence = 0;
    const std::int16_t* m_pending = nullptr;
    std::int64_t m_pendingFrames = 0;
    std::vector<std::int16_t> m_pcm;
};

} // namespace zv::engine
