#include "engine/mp3_index.h"

#include "engine/unique_fd.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>

namespace {

using zv::engine::Mp3Index;
using zv::engine::UniqueFd;

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, stereo: 417 bytes, 1152 samples.
const std::string StereoHeader("\xFF\xFB\x90\x00", 4);
constexpr int StereoBytes = 417;
// MPEG-2 layer III, 64 kbit/s, 22050 Hz, mono: 208 bytes, 576 samples.
const std::string MonoLsfHeader("\xFF\xF3\x80\xC0", 4);
constexpr int MonoLsfBytes = 208;

std::string frames(int count, const std::string& header = StereoHeader, int bytes = StereoBytes)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += header + std::string(static_cast<std::size_t>(bytes - 4), '\0');
    return out;
}

std::string be32(std::uint32_t v)
{
    return { static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
        static_cast<char>(v) };
}

// An Info frame with the frame count and a LAME tag holding delay and padding.
std::string infoFrame(std::uint32_t frameCount, int delay, int padding)
{
    std::string body
        = std::string(32, '\0') + "Info" + be32(1) + be32(frameCount) + "LAME3.100" + std::string(12, '\0');
    const std::uint32_t delays
        = (static_cast<std::uint32_t>(delay) << 12) | static_cast<std::uint32_t>(padding);
    body += be32(delays).substr(1);
    return StereoHeader + body + std::string(static_cast<std::size_t>(StereoBytes - 4) - body.size(), '\0');
}

std::string id3v2(std::size_t payload)
{
    std::string tag = "ID3\x03";
    tag += std::string("\0\0", 2);
    for (int shift : { 21, 14, 7, 0 })
        tag.push_back(static_cast<char>((payload >> shift) & 0x7F));
    // Frame syncs inside a tag must not count.
    return tag + std::string(payload / 2, '\xFF') + std::string(payload - payload / 2, '\xFB');
}

// An APEv2 tag (header and footer) whose item holds what look like frames.
std::string apeTag()
{
    const std::string item = frames(3);
    const auto le32 = [](std::uint32_t v) {
        return std::string { static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24) };
    };
    const auto size = static_cast<std::uint32_t>(item.size() + 32);
    const std::string header
        = "APETAGEX" + le32(2000) + le32(size) + le32(1) + le32(0xA0000000) + std::string(8, '\0');
    const std::string footer
        = "APETAGEX" + le32(2000) + le32(size) + le32(1) + le32(0x80000000) + std::string(8, '\0');
    return header + item + footer;
}

std::string id3v1()
{
    return "TAG" + std::string(125, '\xFF');
}

struct IndexCase {
    const char* name;
    std::string bytes;
    std::size_t frameCount;
    std::int64_t firstOffset;
    int samplesPerFrame;
    std::int64_t leadingSkip;
    std::int64_t length;
};

void PrintTo(const IndexCase& c, std::ostream* os)
{
    *os << c.name;
}

class IndexTable : public ::testing::TestWithParam<IndexCase> { };

TEST_P(IndexTable, FindsTheAudioFramesAndTheLength)
{
    const IndexCase& c = GetParam();
    zvtest::TempDir dir;
    const std::string path = dir.file("x.mp3");
    std::ofstream(path, std::ios::binary) << c.bytes;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const auto index = Mp3Index::build(fd.get());
    ASSERT_TRUE(index);
    EXPECT_EQ(index->frameCount(), c.frameCount);
    EXPECT_EQ(index->frameOffset(0), c.firstOffset);
    EXPECT_EQ(index->samplesPerFrame(), c.samplesPerFrame);
    EXPECT_EQ(index->leadingSkip(), c.leadingSkip);
    EXPECT_EQ(index->lengthFrames(), c.length);
    for (std::size_t i = 1; i < index->frameCount(); ++i) {
        const auto at = static_cast<std::size_t>(index->frameOffset(i));
        ASSERT_EQ(c.bytes.substr(at, 2), c.bytes.substr(static_cast<std::size_t>(c.firstOffset), 2))
            << "frame " << i;
    }
}

const std::string Garbage = std::string(100, '\x55') + StereoHeader + std::string(200, '\x11');

INSTANTIATE_TEST_SUITE_P(Layouts, IndexTable,
    ::testing::Values(IndexCase { "plain", frames(20), 20, 0, 1152, 0, 20 * 1152 },
        IndexCase { "id3v2", id3v2(100) + frames(20), 20, 110, 1152, 0, 20 * 1152 },
        IndexCase { "id3v1_and_ape", frames(20) + apeTag() + id3v1(), 20, 0, 1152, 0, 20 * 1152 },
        IndexCase { "garbage_between", frames(10) + Garbage + frames(10), 20, 0, 1152, 0, 20 * 1152 },
        IndexCase { "garbage_before", Garbage + frames(5), 5, 304, 1152, 0, 5 * 1152 },
        IndexCase {
            "last_frame_cut", frames(20).substr(0, 20 * StereoBytes - 10), 19, 0, 1152, 0, 19 * 1152 },
        IndexCase { "lsf_mono", frames(30, MonoLsfHeader, MonoLsfBytes), 30, 0, 576, 0, 30 * 576 },
        // The decoder adds 529 samples of delay to the encoder's.
        IndexCase { "lame_tag", infoFrame(20, 576, 1200) + frames(20), 20, StereoBytes, 1152, 576 + 529,
            20 * 1152 - 576 - 1200 },
        // Cut short: the padding at the encoder's end is not there.
        IndexCase { "lame_tag_truncated", infoFrame(30, 576, 1200) + frames(20), 20, StereoBytes, 1152,
            576 + 529, 20 * 1152 - 576 - 529 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Mp3Index, TaggedLengthNeedsNoScan)
{
    zvtest::TempDir dir;
    const std::string tagged = dir.file("tagged.mp3");
    const std::string plain = dir.file("plain.mp3");
    std::ofstream(tagged, std::ios::binary) << id3v2(50) + infoFrame(20, 576, 1200) + frames(20);
    std::ofstream(plain, std::ios::binary) << frames(20);
    UniqueFd taggedFd(::open(tagged.c_str(), O_RDONLY | O_CLOEXEC));
    UniqueFd plainFd(::open(plain.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(Mp3Index::taggedLength(taggedFd.get()), 20 * 1152 - 576 - 1200);
    EXPECT_EQ(Mp3Index::taggedLength(plainFd.get()), -1);
}

TEST(Mp3Index, NoFramesNoIndex)
{
    zvtest::TempDir dir;
    const std::string path = dir.file("text.mp3");
    std::ofstream(path, std::ios::binary) << "\xFF\xFB not really " + std::string(3000, 'x');
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(Mp3Index::build(fd.get()));
}

} // namespace
