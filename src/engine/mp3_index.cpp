#include "engine/mp3_index.h"

#include "engine/fd_read.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace zv::engine {
namespace {

// The decoder's own delay (filter bank), which the LAME tag's encoder delay
// does not include.
constexpr std::int64_t DecoderDelay = 529;
constexpr std::size_t WindowBytes = 512 * 1024;
// Enough for one ID3v2 tag header.
constexpr std::size_t TagHeaderBytes = 10;
// Frames that must follow a candidate header before we trust it.
constexpr int ConfirmFrames = 2;
// Sync, version, layer and sample rate: what every frame of a stream shares.
constexpr std::uint32_t StreamMask = 0xFFFE0C00;

struct Header {
    int bytes = 0;
    int samples = 0;
    int rate = 0;
    int layer = 0;
    bool lsf = false; // MPEG-2 or 2.5
    bool mono = false;
};

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t { p[0] } << 24) | (std::uint32_t { p[1] } << 16) | (std::uint32_t { p[2] } << 8)
        | p[3];
}

std::uint32_t le32(const std::uint8_t* p)
{
    return (std::uint32_t { p[3] } << 24) | (std::uint32_t { p[2] } << 16) | (std::uint32_t { p[1] } << 8)
        | p[0];
}

// Free format (bitrate index 0) is not indexed.
bool parseHeader(std::uint32_t h, Header& out)
{
    if ((h & 0xFFE00000) != 0xFFE00000)
        return false;
    const int versionBits = (h >> 19) & 3;
    const int layerBits = (h >> 17) & 3;
    const int bitrateIndex = (h >> 12) & 15;
    const int rateIndex = (h >> 10) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;

    static constexpr int Kbps[2][3][15]
        = { { { 0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448 },
                { 0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384 },
                { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 } },
              { { 0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256 },
                  { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 },
                  { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160 } } };
    static constexpr int Rates[3] = { 44100, 48000, 32000 };

    out.lsf = versionBits != 3;
    out.layer = 4 - layerBits;
    out.rate = Rates[rateIndex] >> (versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2);
    out.mono = ((h >> 6) & 3) == 3;
    const int bitrate = Kbps[out.lsf ? 1 : 0][out.layer - 1][bitrateIndex] * 1000;
    const int padding = (h >> 9) & 1;
    if (out.layer == 1) {
        out.bytes = (12 * bitrate / out.rate + padding) * 4;
        out.samples = 384;
    } else {
        const bool half = out.layer == 3 && out.lsf;
        out.bytes = (half ? 72 : 144) * bitrate / out.rate + padding;
        out.samples = half ? 576 : 1152;
    }
    return true;
}

// A window over the file, refilled with large reads as the scan moves on.
class Reader {
public:
    Reader(int fd, std::int64_t size, std::size_t windowBytes = WindowBytes)
        : m_fd(fd)
        , m_size(size)
        , m_window(windowBytes)
    {
    }

    // bytes bytes at offset, or nullptr past the end or on a read error.
    const std::uint8_t* at(std::int64_t offset, std::size_t bytes)
    {
        if (offset < 0 || offset + static_cast<std::int64_t>(bytes) > m_size)
            return nullptr;
        if (offset < m_start || offset + static_cast<std::int64_t>(bytes) > m_start + m_filled) {
            const std::int64_t got = readAt(m_fd, m_window.data(), m_window.size(), offset);
            if (got < static_cast<std::int64_t>(bytes)) {
                m_failed = got < 0;
                m_filled = 0;
                return nullptr;
            }
            m_start = offset;
            m_filled = got;
        }
        return m_window.data() + (offset - m_start);
    }

    std::int64_t size() const { return m_size; }
    bool failed() const { return m_failed; }

private:
    int m_fd;
    std::int64_t m_size;
    std::vector<std::uint8_t> m_window;
    std::int64_t m_start = 0;
    std::int64_t m_filled = 0;
    bool m_failed = false;
};

std::int64_t skipId3v2(Reader& reader)
{
    std::int64_t at = 0;
    for (;;) {
        const std::uint8_t* p = reader.at(at, TagHeaderBytes);
        if (!p || std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF
            || ((p[6] | p[7] | p[8] | p[9]) & 0x80))
            return at;
        const std::int64_t size = (p[6] << 21) | (p[7] << 14) | (p[8] << 7) | p[9];
        at += 10 + size + ((p[5] & 0x10) ? 10 : 0);
    }
}

// End of the audio data: before an ID3v1 tag and an APEv2 tag, in that order
// from the end.
std::int64_t audioEnd(Reader& reader, std::int64_t begin)
{
    std::int64_t end = reader.size();
    if (const std::uint8_t* p = reader.at(end - 128, 3); p && std::memcmp(p, "TAG", 3) == 0)
        end -= 128;
    if (const std::uint8_t* p = reader.at(end - 32, 32); p && std::memcmp(p, "APETAGEX", 8) == 0) {
        const std::int64_t bytes = std::int64_t { le32(p + 12) } + ((le32(p + 20) & 0x80000000u) ? 32 : 0);
        if (bytes <= end - begin)
            end -= bytes;
    }
    return end;
}

// A frame whose header is valid, matches the stream (when stream is not 0)
// and fits before end.
bool frameAt(Reader& reader, std::int64_t at, std::int64_t end, std::uint32_t stream, Header& header,
    std::uint32_t& word)
{
    const std::uint8_t* p = at + 4 <= end ? reader.at(at, 4) : nullptr;
    if (!p)
        return false;
    word = be32(p);
    return parseHeader(word, header) && (stream == 0 || (word & StreamMask) == stream)
        && at + header.bytes <= end;
}

// The first offset from at on where a frame starts that the next frames
// confirm (or that reaches the end of the data); -1 when there is none.
std::int64_t findFrame(Reader& reader, std::int64_t at, std::int64_t end, std::uint32_t stream)
{
    for (; at + 4 <= end; ++at) {
        const std::uint8_t* p = reader.at(at, 1);
        if (!p)
            return -1;
        if (*p != 0xFF)
            continue;
        Header header;
        std::uint32_t word = 0;
        if (!frameAt(reader, at, end, stream, header, word))
            continue;
        std::int64_t next = at + header.bytes;
        bool confirmed = true;
        for (int i = 0; i < ConfirmFrames && next + 4 <= end; ++i) {
            Header following;
            std::uint32_t followingWord = 0;
            if (!frameAt(reader, next, end, word & StreamMask, following, followingWord)) {
                confirmed = false;
                break;
            }
            next += following.bytes;
        }
        if (confirmed)
            return at;
    }
    return -1;
}

struct Tag {
    bool isTagFrame = false;
    std::int64_t frames = -1; // audio frames the encoder wrote, -1 when not told
    bool hasDelays = false;
    int encoderDelay = 0;
    int padding = 0;
};

// Reads the Xing/Info (with LAME extension) or VBRI tag of the first frame.
Tag readTag(int fd, std::int64_t at, const Header& header)
{
    Tag tag;
    if (header.layer != 3)
        return tag;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(header.bytes));
    if (readAt(fd, frame.data(), frame.size(), at) != header.bytes)
        return tag;
    const auto fits = [&](std::size_t offset, std::size_t bytes) { return offset + bytes <= frame.size(); };
    const std::size_t xing = 4 + (header.lsf ? (header.mono ? 9 : 17) : (header.mono ? 17 : 32));
    if (fits(xing, 8)
        && (std::memcmp(&frame[xing], "Xing", 4) == 0 || std::memcmp(&frame[xing], "Info", 4) == 0)) {
        tag.isTagFrame = true;
        const std::uint32_t flags = be32(&frame[xing + 4]);
        std::size_t p = xing + 8;
        if ((flags & 1) && fits(p, 4)) {
            tag.frames = be32(&frame[p]);
            p += 4;
        }
        p += ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
        // The encoder's name, then 12 bytes of other fields, then the delays.
        if (fits(p, 24)
            && (std::memcmp(&frame[p], "LAME", 4) == 0 || std::memcmp(&frame[p], "Lavf", 4) == 0
                || std::memcmp(&frame[p], "Lavc", 4) == 0)) {
            const std::uint32_t delays
                = (std::uint32_t { frame[p + 21] } << 16) | (frame[p + 22] << 8) | frame[p + 23];
            tag.hasDelays = true;
            tag.encoderDelay = static_cast<int>(delays >> 12);
            tag.padding = static_cast<int>(delays & 0xFFF);
        }
    } else if (fits(36, 18) && std::memcmp(&frame[36], "VBRI", 4) == 0) {
        tag.isTagFrame = true;
        if (frame[40] == 0 && frame[41] == 1)
            tag.frames = be32(&frame[50]);
    }
    return tag;
}

std::int64_t fileSize(int fd)
{
    struct stat st { };
    return ::fstat(fd, &st) == 0 ? st.st_size : -1;
}

// Output samples of frames decoded frames, with the encoder padding removed
// only when the file holds every frame the encoder wrote.
std::int64_t trimmedLength(std::int64_t frames, int samplesPerFrame, const Tag& tag)
{
    const std::int64_t decoded = frames * samplesPerFrame;
    if (!tag.hasDelays)
        return decoded;
    const std::int64_t tail
        = tag.frames == frames ? std::max<std::int64_t>(tag.padding, DecoderDelay) : DecoderDelay;
    return std::max<std::int64_t>(0, decoded - tag.encoderDelay - tail);
}

} // namespace

int Mp3Index::frameBytesAt(const std::uint8_t* header)
{
    Header parsed;
    return parseHeader(be32(header), parsed) ? parsed.bytes : 0;
}

std::int64_t Mp3Index::leadingTagBytes(int fd)
{
    // Only tag headers are read: every open asks, whatever the format.
    Reader reader(fd, fileSize(fd), TagHeaderBytes);
    return std::min(skipId3v2(reader), reader.size());
}

std::int64_t Mp3Index::taggedLength(int fd)
{
    Reader reader(fd, fileSize(fd));
    const std::int64_t begin = skipId3v2(reader);
    const std::int64_t first = findFrame(reader, begin, reader.size(), 0);
    Header header;
    std::uint32_t word = 0;
    if (first < 0 || !frameAt(reader, first, reader.size(), 0, header, word))
        return -1;
    const Tag tag = readTag(fd, first, header);
    return tag.frames > 0 ? trimmedLength(tag.frames, header.samples, tag) : -1;
}

std::optional<Mp3Index> Mp3Index::build(int fd)
{
    const std::int64_t size = fileSize(fd);
    if (size < 0 || size > static_cast<std::int64_t>(UINT32_MAX))
        return std::nullopt;
    Reader reader(fd, size);
    const std::int64_t begin = skipId3v2(reader);
    const std::int64_t end = audioEnd(reader, begin);
    std::int64_t at = findFrame(reader, begin, end, 0);
    Header first;
    std::uint32_t word = 0;
    if (at < 0 || !frameAt(reader, at, end, 0, first, word))
        return std::nullopt;
    const std::uint32_t stream = word & StreamMask;
    const Tag tag = readTag(fd, at, first);
    if (tag.isTagFrame)
        at += first.bytes;

    Mp3Index index;
    index.m_layer = first.layer;
    index.m_sampleRate = first.rate;
    index.m_samplesPerFrame = first.samples;
    // Reserving what the tag or the first frame's size foretells keeps the
    // vector from doubling past its final size on long files.
    const std::int64_t expected = tag.frames > 0 ? tag.frames : (end - at) / first.bytes;
    index.m_offsets.reserve(static_cast<std::size_t>(std::min<std::int64_t>(expected, size / 24) + 16));
    while (at >= 0) {
        Header header;
        word = 0;
        if (frameAt(reader, at, end, stream, header, word)) {
            index.m_offsets.push_back(static_cast<std::uint32_t>(at));
            at += header.bytes;
        } else if (at + 4 > end || (parseHeader(word, header) && (word & StreamMask) == stream)) {
            // The data ends here, or its last frame was cut short.
            break;
        } else {
            at = findFrame(reader, at + 1, end, stream);
        }
    }
    if (reader.failed() || index.m_offsets.empty())
        return std::nullopt;
    if (index.m_offsets.capacity() > index.m_offsets.size() + index.m_offsets.size() / 8)
        index.m_offsets.shrink_to_fit();

    const auto frames = static_cast<std::int64_t>(index.m_offsets.size());
    index.m_leadingSkip = tag.hasDelays ? tag.encoderDelay + DecoderDelay : 0;
    index.m_length = trimmedLength(frames, first.samples, tag);
    return index;
}

} // namespace zv::engine
