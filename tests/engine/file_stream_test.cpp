#include "engine/file_stream.h"

#include "engine/error.h"
#include "engine/ffmpeg_library.h"
#include "support/command.h"
#include "support/file_checks.h"
#include "support/scoped_env.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace zv::engine;
namespace fs = std::filesystem;

constexpr std::uint32_t Exact = StreamDecode | StreamPrescan;

std::shared_ptr<FileStream> openStream(
    const std::string& path, std::uint32_t flags = Exact, bool wmaOnly = false)
{
    setError(Ok);
    return FileStream::open(path, flags, wmaOnly);
}

// Reads up to frames frames in blocks of the size the cut uses.
std::vector<std::int16_t> readUpTo(FileStream& stream, std::int64_t frames)
{
    std::vector<std::int16_t> out;
    std::vector<std::int16_t> block(500 * static_cast<std::size_t>(stream.channels()));
    std::int64_t done = 0;
    while (done < frames) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(frames - done, 500));
        const std::int64_t got = stream.readFrames(block.data(), want);
        if (got < 0)
            ADD_FAILURE() << "read failed with error " << lastError();
        if (got <= 0)
            break;
        out.insert(out.end(), block.begin(), block.begin() + got * stream.channels());
        done += got;
    }
    return out;
}

std::vector<std::int16_t> readToEnd(FileStream& stream)
{
    return readUpTo(stream, INT64_MAX);
}

using zvtest::readBytes;
using zvtest::writeBytes;

void encodeVbrMp3(const std::string& wav, const std::string& mp3)
{
    if (zvtest::runCommand({ "lame", "--quiet", "-V", "2", wav, mp3 }).exitCode != 0)
        throw std::runtime_error("lame failed");
}

// How each fixture is made from a generated signal.
enum class Maker { Wav, LameCbr, LameVbr, Ffmpeg };

struct DecodeCase {
    const char* name;
    Maker maker;
    int rate;
    int channels;
    int bits; // of the WAV we write (the encoders' input)
    std::vector<std::string> ffmpegArgs;
    const char* extension;
    const char* format;
    const char* codec;
    // Frames the decoded length may differ from the source's. PCM, FLAC,
    // Vorbis (granule positions) and MP3 (the LAME tag gives encoder delay
    // and padding) are exact. MPEG audio without that tag keeps the
    // encoder's delay and the padding of its last 1152-frame block. FFmpeg's WMA decoder drops the last partial
    // block (up to 2048 frames); AAC in MP4 keeps the encoder's padding of
    // the last 1024-frame block, as ffmpeg itself does.
    std::int64_t tolerance;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string makeFixture(const zvtest::TempDir& dir, const DecodeCase& c, const zvtest::Signal& signal)
{
    const std::string wav = dir.file(std::string(c.name) + "-source.wav");
    zvtest::writeWav(wav, signal, c.bits);
    const std::string out = dir.file(std::string(c.name) + c.extension);
    switch (c.maker) {
    case Maker::Wav:
        return wav;
    case Maker::LameCbr:
        zvtest::makeMp3(wav, out, c.channels == 1 ? 64 : 128);
        break;
    case Maker::LameVbr:
        encodeVbrMp3(wav, out);
        break;
    case Maker::Ffmpeg:
        zvtest::makeWithFfmpeg(wav, c.ffmpegArgs, out);
        break;
    }
    return out;
}

class DecodeTable : public ::testing::TestWithParam<DecodeCase> { };

TEST_P(DecodeTable, ReportsFormatAndDeliversTheWholeSignal)
{
    const DecodeCase& c = GetParam();
    zvtest::TempDir dir;
    // An odd length, so no codec's block size divides it.
    const zvtest::Signal signal = zvtest::sine(440.0, 1.37, c.rate, c.channels);
    const auto frames = static_cast<std::int64_t>(signal.frames());
    const std::string path = makeFixture(dir, c, signal);

    auto stream = openStream(path);
    ASSERT_TRUE(stream) << "error " << lastError();
    const ChannelInfo info = stream->info();
    EXPECT_EQ(info.rate, c.rate);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.format, c.format);
    EXPECT_EQ(info.codec, c.codec);
    EXPECT_NEAR(stream->lengthFrames(), frames, c.tolerance);

    const auto pcm = readToEnd(*stream);
    const auto decoded = static_cast<std::int64_t>(pcm.size()) / c.channels;
    EXPECT_NEAR(decoded, frames, c.tolerance);
    EXPECT_EQ(stream->lengthFrames(), decoded);
    EXPECT_EQ(stream->positionFrames(), decoded);
    std::vector<std::int16_t> more(static_cast<std::size_t>(c.channels));
    EXPECT_EQ(stream->readFrames(more.data(), 1), 0);

    std::vector<float> mono;
    for (std::size_t i = 0; i < pcm.size(); i += static_cast<std::size_t>(c.channels))
        mono.push_back(pcm[i] / 32768.0f);
    EXPECT_NEAR(zvtest::dominantHz(mono, c.rate, 300, 600), 440.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeTable,
    ::testing::Values(
        DecodeCase { "wav8_mono_22050", Maker::Wav, 22050, 1, 8, {}, ".wav", "wav", "pcm_u8", 0 },
        DecodeCase { "wav16_stereo_44100", Maker::Wav, 44100, 2, 16, {}, ".wav", "wav", "pcm_s16le", 0 },
        DecodeCase { "wav24_stereo_48000", Maker::Wav, 48000, 2, 24, {}, ".wav", "wav", "pcm_s24le", 0 },
        DecodeCase { "wav24_mono_44100", Maker::Wav, 44100, 1, 24, {}, ".wav", "wav", "pcm_s24le", 0 },
        DecodeCase { "wav_float_stereo_48000", Maker::Ffmpeg, 48000, 2, 16, { "-c:a", "pcm_f32le" }, ".wav",
            "wav", "pcm_f32le", 0 },
        DecodeCase { "wav32_mono_22050", Maker::Ffmpeg, 22050, 1, 16, { "-c:a", "pcm_s32le" }, ".wav", "wav",
            "pcm_s32le", 0 },
        DecodeCase { "mp3_cbr_stereo_44100", Maker::LameCbr, 44100, 2, 16, {}, ".mp3", "mp3", "mp3", 0 },
        DecodeCase { "mp3_vbr_stereo_44100", Maker::LameVbr, 44100, 2, 16, {}, ".mp3", "mp3", "mp3", 0 },
        DecodeCase { "mp3_cbr_mono_22050", Maker::LameCbr, 22050, 1, 16, {}, ".mp3", "mp3", "mp3", 0 },
        DecodeCase { "mp3_vbr_stereo_48000", Maker::LameVbr, 48000, 2, 16, {}, ".mp3", "mp3", "mp3", 0 },
        DecodeCase { "mp2_stereo_48000", Maker::Ffmpeg, 48000, 2, 16, { "-c:a", "mp2", "-b:a", "192k" }, ".mp2",
            "mp3", "mp2", 2304 },
        DecodeCase { "wma_stereo_44100", Maker::Ffmpeg, 44100, 2, 16, { "-c:a", "wmav2", "-b:a", "128k" },
            ".wma", "asf", "wmav2", 2048 },
        DecodeCase { "flac_stereo_48000", Maker::Ffmpeg, 48000, 2, 24, { "-c:a", "flac" }, ".flac", "flac",
            "flac", 0 },
        DecodeCase { "ogg_vorbis_mono_44100", Maker::Ffmpeg, 44100, 1, 16, { "-c:a", "libvorbis" }, ".ogg",
            "ogg", "vorbis", 0 },
        DecodeCase { "m4a_aac_stereo_44100", Maker::Ffmpeg, 44100, 2, 16, { "-c:a", "aac" }, ".m4a", "mov",
            "aac", 1024 }),
    [](const auto& info) { return std::string(info.param.name); });

struct SeekCase {
    const char* name;
    Maker maker;
    int rate;
    int channels;
    int bits;
    std::vector<std::string> ffmpegArgs;
    const char* extension;
    // Largest difference from a decode from the start, in 16-bit steps.
    int maxDifference;
};

void PrintTo(const SeekCase& c, std::ostream* os)
{
    *os << c.name;
}

class SeekTable : public ::testing::TestWithParam<SeekCase> { };

// The ramp makes every frame tell where it came from; through a lossy codec
// the decode from the start is the reference instead.
TEST_P(SeekTable, ReadingAfterASeekContinuesExactlyAsADecodeFromTheStart)
{
    const SeekCase& c = GetParam();
    zvtest::TempDir dir;
    const zvtest::Signal signal
        = zvtest::ramp(static_cast<std::size_t>(c.rate * 3 + 123), c.rate, c.channels);
    const std::string path = makeFixture(dir,
        DecodeCase { c.name, c.maker, c.rate, c.channels, c.bits, c.ffmpegArgs, c.extension, "", "", 0 },
        signal);
    auto reference = openStream(path);
    ASSERT_TRUE(reference);
    const auto whole = readToEnd(*reference);
    const std::int64_t frames = static_cast<std::int64_t>(whole.size()) / c.channels;
    ASSERT_GT(frames, c.rate * 2);

    auto stream = openStream(path);
    ASSERT_TRUE(stream);
    // Backwards, forwards, near and far, inside the first MP3 frames and at the end.
    for (const std::int64_t target : { frames / 2 + 17, std::int64_t { 3 }, std::int64_t { 0 },
             std::int64_t { 1152 * 20 + 5 }, frames - 700, std::int64_t { 1105 }, std::int64_t { 1200 },
             std::int64_t { c.rate + 1 }, frames, std::int64_t { 575 }, frames - 1 }) {
        SCOPED_TRACE("seek to " + std::to_string(target));
        ASSERT_TRUE(stream->seekFrames(target)) << "error " << lastError();
        EXPECT_EQ(stream->positionFrames(), target);
        const auto got = readUpTo(*stream, 2000);
        ASSERT_EQ(static_cast<std::int64_t>(got.size()) / c.channels,
            std::min<std::int64_t>(2000, frames - target));
        int worst = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            worst = std::max(
                worst, std::abs(got[i] - whole[static_cast<std::size_t>(target * c.channels) + i]));
        EXPECT_LE(worst, c.maxDifference);
        if (c.maker == Maker::Wav && !got.empty()) {
            EXPECT_EQ(zvtest::rampIndex(got[0]), target & 0xFFFF);
        }
    }
    EXPECT_FALSE(stream->seekFrames(frames + 1));
    EXPECT_EQ(lastError(), BadPosition);
}

// Vorbis is left out: FFmpeg 5.1's Ogg demuxer misreports timestamps after a
// seek once the end of the file has been read.
INSTANTIATE_TEST_SUITE_P(Formats, SeekTable,
    ::testing::Values(SeekCase { "wav16_stereo_44100", Maker::Wav, 44100, 2, 16, {}, ".wav", 0 },
        SeekCase { "wav24_mono_48000", Maker::Wav, 48000, 1, 24, {}, ".wav", 0 },
        SeekCase { "mp3_cbr_stereo_44100", Maker::LameCbr, 44100, 2, 16, {}, ".mp3", 0 },
        SeekCase { "mp3_vbr_stereo_44100", Maker::LameVbr, 44100, 2, 16, {}, ".mp3", 0 },
        SeekCase { "mp3_cbr_mono_22050", Maker::LameCbr, 22050, 1, 16, {}, ".mp3", 0 },
        SeekCase { "flac_stereo_44100", Maker::Ffmpeg, 44100, 2, 16, { "-c:a", "flac" }, ".flac", 0 },
        SeekCase { "wma2_stereo_44100", Maker::Ffmpeg, 44100, 2, 16, { "-c:a", "wmav2" }, ".wma", 0 },
        SeekCase { "wma1_mono_22050", Maker::Ffmpeg, 22050, 1, 16, { "-c:a", "wmav1" }, ".wma", 0 },
        SeekCase { "m4a_aac_stereo_48000", Maker::Ffmpeg, 48000, 2, 16, { "-c:a", "aac" }, ".m4a", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

// A stereo 44100 Hz sine as a 16-bit WAV and as a LAME MP3 of it.
struct Mp3Fixture {
    std::string wav;
    std::string mp3;
    std::int64_t frames;
};

Mp3Fixture makeMp3Fixture(const zvtest::TempDir& dir, double seconds)
{
    const zvtest::Signal signal = zvtest::sine(440.0, seconds);
    Mp3Fixture f { dir.file("source.wav"), dir.file("source.mp3"),
        static_cast<std::int64_t>(signal.frames()) };
    zvtest::writeWav(f.wav, signal);
    zvtest::makeMp3(f.wav, f.mp3);
    return f;
}

TEST(FileStream, Mp3WithoutPrescanTakesItsLengthFromTheTagAndDecodesAlike)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 2.21);
    auto plain = openStream(f.mp3, StreamDecode);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->lengthFrames(), f.frames);
    auto indexed = openStream(f.mp3);
    ASSERT_TRUE(indexed);
    // FFmpeg's own demuxer and our index trim the same samples.
    EXPECT_EQ(readToEnd(*plain), readToEnd(*indexed));
}

// FFmpeg is shown the file from behind the tag; its positions and seeks must
// still land in the right place. PCM shows any slip, having no frame headers
// to resynchronise on.
TEST(FileStream, AudioAfterALargeId3TagOpensAndSeeks)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 1.0);
    // An ID3v2.3 tag of 200000 bytes (sizes in 7-bit bytes) full of frame syncs.
    const std::string tag = std::string("ID3\x03\0\0\x00\x0C\x1A\x40", 10) + std::string(200000, '\xFF');
    for (const auto& [source, flags] :
        { std::pair { f.mp3, Exact }, std::pair { f.mp3, StreamDecode }, std::pair { f.wav, Exact } }) {
        SCOPED_TRACE(source + " flags " + std::to_string(flags));
        const std::string tagged = source + ".tagged";
        writeBytes(tagged, tag + readBytes(source));
        auto stream = openStream(tagged, flags);
        ASSERT_TRUE(stream) << "error " << lastError();
        EXPECT_EQ(stream->lengthFrames(), f.frames);
        const auto whole = readToEnd(*stream);
        ASSERT_EQ(static_cast<std::int64_t>(whole.size()) / 2, f.frames);
        ASSERT_TRUE(stream->seekFrames(f.frames / 2));
        const auto half = readToEnd(*stream);
        EXPECT_TRUE(
            std::equal(half.begin(), half.end(), whole.end() - static_cast<std::ptrdiff_t>(half.size())));
        EXPECT_EQ(half.size(), whole.size() - static_cast<std::size_t>(f.frames / 2) * 2);
    }
}

TEST(FileStream, TruncatedMp3HasTheLengthOfWhatIsThere)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 4.0);
    const std::string whole = readBytes(f.mp3);
    const std::string cut = dir.file("cut.mp3");
    writeBytes(cut, whole.substr(0, whole.size() * 4 / 10));

    auto stream = openStream(cut);
    ASSERT_TRUE(stream) << "error " << lastError();
    const std::int64_t length = stream->lengthFrames();
    // At 128 kbit/s every frame holds 1152 samples in 417 or 418 bytes; the
    // last frame is cut short and the encoder delay comes off the start.
    const std::int64_t expected = static_cast<std::int64_t>(whole.size() * 4 / 10) / 418 * 1152 - 1105;
    EXPECT_NEAR(length, expected, 2 * 1152);
    EXPECT_EQ(static_cast<std::int64_t>(readToEnd(*stream).size()) / 2, length);
}

TEST(FileStream, DamagedMp3FramesAreSkippedNotFatal)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 3.0);
    std::string bytes = readBytes(f.mp3);
    // Garbage with false frame syncs over a few frames in the middle.
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 1500; ++i)
        bytes[i] = static_cast<char>(i % 7 == 0 ? 0xFF : (i * 37) & 0xFF);
    const std::string damaged = dir.file("damaged.mp3");
    writeBytes(damaged, bytes);

    for (const std::uint32_t flags : { Exact, StreamDecode }) {
        auto stream = openStream(damaged, flags);
        ASSERT_TRUE(stream) << "error " << lastError();
        const auto decoded = static_cast<std::int64_t>(readToEnd(*stream).size()) / 2;
        EXPECT_EQ(stream->lengthFrames(), decoded);
        EXPECT_GT(decoded, f.frames - 8 * 1152);
        EXPECT_LE(decoded, f.frames);
    }
}

TEST(FileStream, FileCutShortWhileOpenFailsTheRead)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 10.0);
    auto stream = openStream(f.mp3);
    ASSERT_TRUE(stream);
    fs::resize_file(f.mp3, 1000);
    EXPECT_FALSE(stream->seekFrames(f.frames - 1000));
    EXPECT_EQ(lastError(), DecodeFailed);
    std::vector<std::int16_t> block(1000);
    EXPECT_EQ(stream->readFrames(block.data(), 500), -1);
    EXPECT_EQ(lastError(), DecodeFailed);
}

TEST(FileStream, WavWithoutSamplesIsEmptyNotAnError)
{
    zvtest::TempDir dir;
    const std::string path = dir.file("empty.wav");
    zvtest::writeWav(path, zvtest::Signal { 22050, 1, {} });
    auto stream = openStream(path);
    ASSERT_TRUE(stream) << "error " << lastError();
    EXPECT_EQ(stream->info().rate, 22050);
    EXPECT_EQ(stream->lengthFrames(), 0);
    std::int16_t sample = 0;
    EXPECT_EQ(stream->readFrames(&sample, 1), 0);
    EXPECT_TRUE(stream->seekFrames(0));
    EXPECT_FALSE(stream->seekFrames(1));
}

TEST(FileStream, WavWhoseHeaderPromisesMoreThanTheFileHoldsHasTheLengthItHolds)
{
    zvtest::TempDir dir;
    const std::string path = dir.file("cut.wav");
    zvtest::writeWav(path, zvtest::ramp(10000, 44100, 2));
    fs::resize_file(path, 44 + 4 * 6000 + 2); // half a frame too
    auto stream = openStream(path);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->lengthFrames(), 6000);
    EXPECT_EQ(readToEnd(*stream).size(), 2u * 6000);
}

// Names that a shell, an option parser or FFmpeg's protocol and pattern
// handling would read as something else.
TEST(FileStream, OpensFilesWhateverTheirNames)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 0.5);
    for (const std::string name : { "10:30.mp3", "http:x.mp3", "file:y.mp3", "-a.mp3", "$(rm -rf x).mp3",
             "`id`.mp3", "it's \"quoted\".mp3", "song%d.mp3", "中文歌曲 铃声.mp3", "name with blanks.mp3" }) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        fs::copy_file(f.mp3, path);
        auto stream = openStream(path);
        ASSERT_TRUE(stream) << "error " << lastError();
        EXPECT_EQ(stream->lengthFrames(), f.frames);
    }
}

std::string pngBytes()
{
    // Signature and a 1x1 header chunk: enough for FFmpeg to see an image.
    return std::string(
        "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90\x77\x53\xde", 33);
}

TEST(FileStream, RefusesWhatIsNotReadableAudio)
{
    zvtest::TempDir dir;
    const std::string wav = dir.file("good.wav");
    zvtest::writeWav(wav, zvtest::sine(440, 0.5));
    const std::string good = readBytes(wav);
    std::string badFormat = good;
    badFormat.replace(20, 16, std::string(16, '\0')); // format tag, channels, rate, sizes all 0

    writeBytes(dir.file("empty.mp3"), "");
    writeBytes(dir.file("text.mp3"), "This is not music at all, just some words in a text file.\n");
    writeBytes(dir.file("image.wav"), pngBytes());
    writeBytes(dir.file("header-cut.wav"), good.substr(0, 30));
    writeBytes(dir.file("header-zeroed.wav"), badFormat);
    fs::create_directory(dir.file("folder.mp3"));
    ASSERT_EQ(mkfifo(dir.file("fifo.wav").c_str(), 0600), 0);

    const struct {
        const char* name;
        int error;
    } cases[] = {
        { "missing.mp3", FileOpen },
        { "folder.mp3", FileOpen },
        { "fifo.wav", FileOpen },
        { "empty.mp3", FileFormat },
        { "text.mp3", FileFormat },
        { "image.wav", FileFormat },
        { "header-cut.wav", FileFormat },
        { "header-zeroed.wav", FileFormat },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(openStream(dir.file(c.name)));
        EXPECT_EQ(lastError(), c.error);
    }
}

// An open while the libraries still load in the background waits for them.
TEST(FileStream, OpeningWhileFfmpegLoadsInTheBackgroundWaitsForIt)
{
    zvtest::TempDir dir;
    zvtest::writeWav(dir.file("good.wav"), zvtest::sine(440, 0.2));
    loadFfmpegInBackground();
    loadFfmpegInBackground();
    const auto stream = openStream(dir.file("good.wav"));
    ASSERT_TRUE(stream) << "error " << lastError();
    EXPECT_EQ(readToEnd(*stream).size(), 8820u * 2);
}

// Without FFmpeg the program still runs: an open fails with a code of its
// own, while a missing file is still told as such. An MP3 we index ourselves
// needs no container library.
TEST(FileStream, WithoutFfmpegOpeningFailsWithItsOwnCode)
{
    zvtest::TempDir dir;
    const Mp3Fixture f = makeMp3Fixture(dir, 0.2);
    struct Case {
        const char* library;
        int major;
        bool mp3Opens;
    };
    for (const Case c : { Case { "libavformat.so.", LIBAVFORMAT_VERSION_MAJOR, true },
             Case { "libavcodec.so.", LIBAVCODEC_VERSION_MAJOR, false } }) {
        SCOPED_TRACE(c.library);
        // An unloadable library found first. The loader reads its search
        // path when a program starts, so the opens run in a program of their own.
        const zvtest::TempDir libraries;
        writeBytes(libraries.file(c.library + std::to_string(c.major)), "");
        const zvtest::ScopedEnv searchPath("LD_LIBRARY_PATH", libraries.path().string());
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                const bool missingTold = !openStream(dir.file("missing.wav")) && lastError() == FileOpen;
                const bool wavTold = !openStream(f.wav) && lastError() == DecoderLibraryMissing;
                const bool mp3Right = c.mp3Opens ? openStream(f.mp3) != nullptr
                                                 : !openStream(f.mp3) && lastError() == DecoderLibraryMissing;
                std::exit(missingTold && wavTold && mp3Right ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

TEST(FileStream, RefusesAFileItMayNotRead)
{
    zvtest::TempDir dir;
    const std::string path = dir.file("locked.wav");
    zvtest::writeWav(path, zvtest::sine(440, 0.2));
    fs::permissions(path, fs::perms::none);
    fs::permissions(dir.path(), fs::perms::all);
    // Root reads every file: try as an ordinary user in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        const bool refused = !openStream(path) && lastError() == FileOpen;
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened or wrong error, 3: could not drop root";
}

// WMA files are ASF: a header of objects, each a GUID and a 64-bit size.
class WmaFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string wav = m_dir.file("source.wav");
        zvtest::writeWav(wav, zvtest::sine(440, 1.0));
        m_wav = wav;
        m_wma = m_dir.file("source.wma");
        zvtest::makeWithFfmpeg(wav, { "-c:a", "wmav2" }, m_wma);
        m_bytes = readBytes(m_wma);
    }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_dir.file(name);
        writeBytes(path, bytes);
        return path;
    }

    // Inserts an object of the given GUID (file byte order) first in the header.
    std::string withHeaderObject(const std::string& guid, const std::string& body) const
    {
        std::string bytes = m_bytes;
        std::string object = guid + le(24 + body.size(), 8) + body;
        bytes.replace(16, 8, le(readLe(bytes, 16, 8) + object.size(), 8));
        bytes.replace(24, 4, le(readLe(bytes, 24, 4) + 1, 4));
        bytes.insert(30, object);
        return bytes;
    }

    static std::string le(std::uint64_t value, int bytes)
    {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        return out;
    }

    static std::uint64_t readLe(const std::string& bytes, std::size_t at, int count)
    {
        std::uint64_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        return value;
    }

    zvtest::TempDir m_dir;
    std::string m_wav;
    std::string m_wma;
    std::string m_bytes;
};

TEST_F(WmaFile, OpensAsWma)
{
    auto stream = openStream(m_wma, Exact, true);
    ASSERT_TRUE(stream) << "error " << lastError();
    EXPECT_EQ(stream->info().codec, "wmav2");
}

TEST_F(WmaFile, AnythingButAsfIsNotWma)
{
    EXPECT_FALSE(openStream(m_wav, Exact, true));
    EXPECT_EQ(lastError(), FileFormat);
}

TEST_F(WmaFile, ContentEncryptionMeansProtected)
{
    const std::string contentEncryption(
        "\xFB\xB3\x11\x22\x23\xBD\xD2\x11\xB4\xB7\x00\xA0\xC9\x55\xFC\x6E", 16);
    const std::string extendedEncryption(
        "\x14\xE6\x8A\x29\x22\x26\x17\x4C\xB9\x35\xDA\xE0\x7E\xE9\x28\x9C", 16);
    // Secret data, protection type, key id and licence URL, each with its length.
    const std::string drm
        = le(4, 4) + "abcd" + le(4, 4) + std::string("DRM\0", 4) + le(2, 4) + "k1" + le(0, 4);
    for (const auto& bytes : { withHeaderObject(contentEncryption, drm),
             withHeaderObject(extendedEncryption, le(4, 4) + "<xm>") }) {
        EXPECT_FALSE(openStream(write("protected.wma", bytes), Exact, true));
        EXPECT_EQ(lastError(), WmaProtected);
    }
}

TEST_F(WmaFile, CodecWithoutDecoderIsUnavailable)
{
    const std::string streamProperties(
        "\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);
    std::string bytes = m_bytes;
    const std::size_t at = bytes.find(streamProperties);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at + 78, 2, le(0xBEEF, 2)); // the audio format tag
    EXPECT_FALSE(openStream(write("unknown.wma", bytes), Exact, true));
    EXPECT_EQ(lastError(), WmaUnavailable);
}

} // namespace
