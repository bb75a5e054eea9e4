#include "engine/encoder.h"

#include "engine/engine.h"
#include "engine/error.h"
#include "support/command.h"
#include "support/signal.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace zv::engine;

namespace {

std::vector<std::int16_t> pcm(const zvtest::Signal& signal)
{
    std::vector<std::int16_t> out;
    for (float v : signal.samples)
        out.push_back(static_cast<std::int16_t>(std::lround(v * 32767.0f)));
    return out;
}

// Feeds data in the block size the cut job uses.
bool feed(Encoder& encoder, const void* data, std::size_t bytes, std::size_t block = 2000)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t at = 0; at < bytes; at += block)
        if (!encoder.write(p + at, std::min(block, bytes - at)))
            return false;
    return true;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::set<int> openFds(const std::string& procFdDir)
{
    std::set<int> fds;
    for (const auto& entry : fs::directory_iterator(procFdDir))
        fds.insert(std::stoi(entry.path().filename().string()));
    return fds;
}

std::vector<pid_t> ourChildren()
{
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readFile(entry.path() / "stat");
        // pid (comm) state ppid ...; comm may hold blanks, so parse after ')'.
        std::istringstream rest(stat.substr(stat.rfind(')') + 1));
        char state = 0;
        pid_t ppid = 0;
        if (rest >> state >> ppid && ppid == getpid())
            children.push_back(std::stoi(name));
    }
    return children;
}

bool anyChildLeft()
{
    siginfo_t info {};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

std::uint32_t le(const std::string& bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

TEST(SplitCommandLine, SplitsLikeAShellWithoutExpanding)
{
    struct Case {
        std::string line;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases {
        { "lame --alt-preset cbr 128  - out.mp3", { "lame", "--alt-preset", "cbr", "128", "-", "out.mp3" } },
        { "  \t lame\t-\n x  ", { "lame", "-", "x" } },
        { "\"/usr/bin/lame\" - \"/home/u/my song.mp3\"", { "/usr/bin/lame", "-", "/home/u/my song.mp3" } },
        { R"("/home/u/my \"song\" $(x) \`y\` \\z.mp3")", { R"(/home/u/my "song" $(x) `y` \z.mp3)" } },
        { R"("a\b\n\'" c)", { R"(a\b\n\')", "c" } },
        { "$(touch x) `rm y` $HOME *.mp3 a;b |c",
            { "$(touch", "x)", "`rm", "y`", "$HOME", "*.mp3", "a;b", "|c" } },
        { "a \"\" b \"\"", { "a", "", "b", "" } },
        { "x\"y z\"w 'p q'r", { "xy zw", "p qr" } },
        { R"('a "b" \c $d')", { R"(a "b" \c $d)" } },
        { R"(a\ b \"c\" d\)", { "a b", "\"c\"", "d\\" } },
        { "\"open to the end", { "open to the end" } },
        { "", {} },
        { " \t\n", {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.words) << "line: " << c.line;
}

TEST(Encoder, WritesAFileThatDecodesBackToTheInput)
{
    zvtest::TempDir dir;
    const auto signal = zvtest::sine(440.0, 1.0, 44100, 2);
    const auto samples = pcm(signal);
    struct Case {
        std::string output;
        std::vector<std::string> argv;
        std::string codec;
    };
    const std::vector<Case> cases {
        { dir.file("out.mp3"), { "lame", "--alt-preset", "cbr", "128", "-", dir.file("out.mp3") }, "mp3" },
        { dir.file("out.m4r"),
            { "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-f", "wav", "-i", "-", "-c:a",
                "aac", "-b:a", "128k", "-f", "ipod", "-y", "file:" + dir.file("out.m4r") },
            "aac" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv[0]);
        const auto encoder = Encoder::start(c.argv, signal.rate, signal.channels);
        ASSERT_TRUE(encoder);
        EXPECT_TRUE(encoder->active());
        EXPECT_TRUE(feed(*encoder, samples.data(), samples.size() * 2));
        std::string errors;
        ASSERT_TRUE(encoder->stop(&errors)) << errors;
        EXPECT_FALSE(encoder->active());

        const auto probe = zvtest::runCommand({ "ffprobe", "-v", "error", "-show_entries",
            "stream=codec_name:format=duration", "-of", "default=nw=1", c.output });
        EXPECT_NE(probe.out.find("codec_name=" + c.codec), std::string::npos) << probe.out;
        // A reader that trusted a data size would stop early; every second must be there.
        const auto durationAt = probe.out.find("duration=");
        ASSERT_NE(durationAt, std::string::npos) << probe.out;
        EXPECT_NEAR(std::stod(probe.out.substr(durationAt + 9)), 1.0, 0.1);

        const auto decoded = zvtest::runCommand({ "ffmpeg", "-v", "error", "-nostdin", "-i", c.output, "-f",
            "s16le", "-ac", "1", "-ar", "44100", "-" });
        std::vector<float> mono;
        for (std::size_t at = 0; at + 1 < decoded.out.size(); at += 2) {
            std::int16_t v;
            std::memcpy(&v, decoded.out.data() + at, 2);
            mono.push_back(v / 32768.0f);
        }
        ASSERT_GT(mono.size(), 40000u);
        EXPECT_NEAR(zvtest::dominantHz(mono, 44100, 200.0, 2000.0), 440.0, 2.0);
    }
}

TEST(Encoder, HandsOverAWavHeaderWithUnknownSizesAndEveryByte)
{
    zvtest::TempDir dir;
    const auto capture = dir.file("capture.wav");
    const auto encoder = Encoder::start({ "tee", capture }, 22050, 1);
    ASSERT_TRUE(encoder);

    // Small blocks that get batched, then one larger than a batch.
    std::string data;
    for (int i = 0; i < 300000; ++i)
        data += static_cast<char>(i * 7 % 251);
    ASSERT_TRUE(feed(*encoder, data.data(), 100001));
    ASSERT_TRUE(encoder->write(data.data() + 100001, data.size() - 100001));
    ASSERT_TRUE(encoder->stop(nullptr));

    const std::string got = readFile(capture);
    ASSERT_EQ(got.size(), 44 + data.size());
    EXPECT_EQ(got.substr(0, 4), "RIFF");
    EXPECT_EQ(le(got, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(got.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le(got, 16, 4), 16u);
    EXPECT_EQ(le(got, 20, 2), 1u); // PCM
    EXPECT_EQ(le(got, 22, 2), 1u); // channels
    EXPECT_EQ(le(got, 24, 4), 22050u); // rate
    EXPECT_EQ(le(got, 28, 4), 22050u * 2); // bytes per second
    EXPECT_EQ(le(got, 32, 2), 2u); // bytes per frame
    EXPECT_EQ(le(got, 34, 2), 16u);
    EXPECT_EQ(got.substr(36, 4), "data");
    EXPECT_EQ(le(got, 40, 4), 0xFFFFFFFFu);
    EXPECT_TRUE(got.substr(44) == data) << "the PCM after the header differs from what was written";
}

TEST(Encoder, DestroyingARunningEncoderFinishesItsFile)
{
    zvtest::TempDir dir;
    const auto capture = dir.file("capture.wav");
    auto encoder = Encoder::start({ "tee", capture }, 44100, 2);
    ASSERT_TRUE(encoder);
    const std::string data(30000, 'x'); // stays batched until the end
    ASSERT_TRUE(feed(*encoder, data.data(), data.size()));
    encoder.reset();
    EXPECT_EQ(fs::file_size(capture), 44 + data.size());
    EXPECT_FALSE(anyChildLeft());
}

TEST(Encoder, ProgramThatCannotBeStartedFailsWithEncoderStart)
{
    zvtest::TempDir dir;
    const auto notExecutable = dir.file("encoder");
    std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
    // A shell would run a text file without a "#!" line; it must not be run.
    const auto script = dir.file("script");
    std::ofstream(script) << "touch " << dir.file("PWNED") << "\n";
    fs::permissions(script, fs::perms::owner_all);
    const auto fdsBefore = openFds("/proc/self/fd");

    for (const std::string& program : { std::string("zv-no-such-encoder"), dir.file("missing"), notExecutable,
             script, dir.path().string() }) {
        setError(Ok);
        EXPECT_EQ(Encoder::start({ program, "-" }, 44100, 2), nullptr) << program;
        EXPECT_EQ(lastError(), EncoderStart) << program;
    }
    setError(Ok);
    EXPECT_EQ(Encoder::start({}, 44100, 2), nullptr);
    EXPECT_EQ(lastError(), EncoderStart);
    EXPECT_FALSE(fs::exists(dir.file("PWNED")));
    EXPECT_EQ(openFds("/proc/self/fd"), fdsBefore);
    EXPECT_FALSE(anyChildLeft());
}

TEST(Encoder, FailingProgramReportsItsErrorOutput)
{
    zvtest::TempDir dir;
    const auto encoder = Encoder::start({ "lame", "--no-such-option", "-", dir.file("out.mp3") }, 44100, 2);
    ASSERT_TRUE(encoder);
    // Writing after it has exited fails too; the exit status must still be
    // the failure reported.
    for (int i = 0; i < 10000 && encoder->active(); ++i)
        usleep(1000);
    ASSERT_FALSE(encoder->active());
    const std::vector<char> block(100000, 0);
    EXPECT_FALSE(encoder->write(block.data(), block.size()));

    std::string errors;
    setError(Ok);
    EXPECT_FALSE(encoder->stop(&errors));
    EXPECT_EQ(lastError(), EncoderFailed);
    EXPECT_NE(errors.find("--no-such-option"), std::string::npos) << errors;

    std::string again;
    setError(Ok);
    EXPECT_FALSE(encoder->stop(&again));
    EXPECT_EQ(lastError(), EncoderFailed);
    EXPECT_EQ(again, errors);
}

TEST(Encoder, ProgramThatStopsReadingEarlyFailsWritesWithoutKillingUs)
{
    const auto encoder = Encoder::start({ "head", "-c", "10" }, 44100, 2);
    ASSERT_TRUE(encoder);
    const std::vector<char> block(2000, 0);
    bool taken = true;
    for (std::size_t sent = 0; taken && sent < 64u << 20; sent += block.size())
        taken = encoder->write(block.data(), block.size());
    EXPECT_FALSE(taken) << "writes kept succeeding after the encoder exited";
    EXPECT_FALSE(encoder->active());
    EXPECT_FALSE(encoder->write(block.data(), block.size()));

    setError(Ok);
    EXPECT_FALSE(encoder->stop(nullptr));
    EXPECT_EQ(lastError(), EncoderWrite);
}

TEST(Encoder, FileNameFromTheCommandLineIsNeverExecuted)
{
    zvtest::TempDir dir;
    const std::string name = dir.file("a $(touch PWNED) `touch PWNED2` \"q\" \\x.raw");
    std::string escaped;
    for (char c : name) {
        if (c == '\\' || c == '"' || c == '$' || c == '`')
            escaped += '\\';
        escaped += c;
    }
    const auto argv = splitCommandLine("\"tee\" \"" + escaped + "\"");
    ASSERT_EQ(argv, (std::vector<std::string> { "tee", name }));

    const auto encoder = Encoder::start(argv, 44100, 2);
    ASSERT_TRUE(encoder);
    ASSERT_TRUE(encoder->stop(nullptr));
    EXPECT_EQ(fs::file_size(name), 44u);
    EXPECT_FALSE(fs::exists("PWNED"));
    EXPECT_FALSE(fs::exists("PWNED2"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Encoder, EncodersInheritOnlyTheirOwnStandardStreams)
{
    const auto fdsBefore = openFds("/proc/self/fd");
    {
        const auto first = Encoder::start({ "cat" }, 44100, 2);
        const auto second = Encoder::start({ "cat" }, 44100, 2);
        ASSERT_TRUE(first && second);
        const auto children = ourChildren();
        ASSERT_EQ(children.size(), 2u);
        // Another encoder's input held open by a child would keep that
        // encoder from ever seeing the end of its data.
        // Right after exec the child's loader briefly holds its libraries
        // open, so a clean child may take a moment to show only 0, 1 and 2;
        // a leaked descriptor stays.
        const std::set<int> standard { 0, 1, 2 };
        for (pid_t child : children) {
            const std::string fdDir = "/proc/" + std::to_string(child) + "/fd";
            auto fds = openFds(fdDir);
            for (int tries = 0; fds != standard && tries < 200; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                fds = openFds(fdDir);
            }
            EXPECT_EQ(fds, standard) << "child " << child;
        }
        // Newest first: with a leak, the checks above fail instead of this hanging.
        EXPECT_TRUE(second->stop(nullptr));
        EXPECT_TRUE(first->stop(nullptr));
        EXPECT_EQ(openFds("/proc/self/fd"), fdsBefore);
    }
    EXPECT_EQ(openFds("/proc/self/fd"), fdsBefore);
    EXPECT_FALSE(anyChildLeft());
}

// Launched before its channel exists, an encoder gets nothing until it is
// attached, then the channel's own header and exactly the bytes it delivers.
TEST(EncoderLaunch, AttachedLaterItGetsTheChannelsHeaderAndData)
{
    zvtest::TempDir dir;
    shutdown();
    ASSERT_TRUE(init(NoSoundDevice, 44100));
    zvtest::writeWav(dir.file("in.wav"), zvtest::sine(440.0, 0.5, 22050, 1));
    const auto capture = dir.file("capture.wav");

    const Handle encoder = encodeLaunch("tee \"" + capture + "\"");
    ASSERT_NE(encoder, 0u);
    EXPECT_TRUE(encodeIsActive(encoder));
    const Handle stream = streamCreateFile(dir.file("in.wav"), StreamDecode);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(encodeAttach(encoder, stream));
    EXPECT_FALSE(encodeAttach(encoder, stream));
    EXPECT_EQ(lastError(), BadHandle);

    std::string delivered;
    std::vector<char> block(3000);
    for (std::int64_t got; (got = channelGetData(stream, block.data(), 3000)) > 0;)
        delivered.append(block.data(), static_cast<std::size_t>(got));
    ASSERT_TRUE(encodeStop(encoder));
    EXPECT_TRUE(shutdown());

    const std::string got = readFile(capture);
    ASSERT_EQ(got.size(), 44 + delivered.size());
    EXPECT_EQ(le(got, 22, 2), 1u); // channels
    EXPECT_EQ(le(got, 24, 4), 22050u); // rate
    EXPECT_EQ(le(got, 40, 4), 0xFFFFFFFFu);
    EXPECT_TRUE(got.substr(44) == delivered) << "the PCM after the header differs from what was delivered";
}

// One never attached has no file to finish: stopping it, or shutting the
// engine down, ends it instead of waiting for it, and leaves neither a
// process nor a descriptor behind.
TEST(EncoderLaunch, NeverAttachedItIsEndedNotWaitedFor)
{
    shutdown(); // closes whatever device an earlier test left open
    const auto fdsBefore = openFds("/proc/self/fd");
    ASSERT_TRUE(init(NoSoundDevice, 44100));
    const Handle stopped = encodeLaunch("sleep 60");
    const Handle leftOver = encodeLaunch("sleep 60");
    ASSERT_TRUE(stopped && leftOver);
    const auto started = std::chrono::steady_clock::now();

    setError(Ok);
    EXPECT_FALSE(encodeStop(stopped));
    EXPECT_EQ(lastError(), EncoderFailed);
    EXPECT_TRUE(shutdown());

    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_FALSE(anyChildLeft());
    EXPECT_EQ(openFds("/proc/self/fd"), fdsBefore);
}

} // namespace
