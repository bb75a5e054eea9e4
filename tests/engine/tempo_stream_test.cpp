#include "engine/tempo_stream.h"

#include "support/signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace zv::engine;

// A decode channel serving a generated signal, so the tempo stream is tested
// without a decoder beneath it.
class FakeSource final : public Channel {
public:
    explicit FakeSource(const zvtest::Signal& signal, bool decode = true)
        : Channel(decode)
        , m_info { signal.rate, signal.channels, "wav", "pcm_s16le" }
        , m_channels(signal.channels)
    {
        for (float v : signal.samples)
            m_pcm.push_back(
                static_cast<std::int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L)));
    }

    const ChannelInfo& info() const override { return m_info; }
    std::int64_t lengthFrames() override { return static_cast<std::int64_t>(m_pcm.size()) / m_channels; }
    std::int64_t positionFrames() override { return m_position; }
    bool seekFrames(std::int64_t frame) override
    {
        if (frame < 0 || frame > lengthFrames())
            return false;
        m_position = frame;
        return true;
    }
    std::int64_t readFrames(std::int16_t* out, std::size_t frames) override
    {
        const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(frames), lengthFrames() - m_position);
        std::copy_n(m_pcm.begin() + m_position * m_channels, n * m_channels, out);
        m_position += n;
        return n;
    }

    const std::vector<std::int16_t>& pcm() const { return m_pcm; }

private:
    ChannelInfo m_info;
    int m_channels;
    std::int64_t m_position = 0;
    std::vector<std::int16_t> m_pcm;
};

std::shared_ptr<TempoStream> tempoOver(const zvtest::Signal& signal, float percent)
{
    auto tempo = TempoStream::create(std::make_shared<FakeSource>(signal), StreamDecode);
    if (tempo)
        tempo->setAttribute(Attribute::Tempo, percent);
    return tempo;
}

// Reads up to maxFrames (all when 0) in the cut job's 2000-byte blocks.
std::vector<std::int16_t> readAll(Channel& channel, std::size_t maxFrames = 0)
{
    std::vector<std::int16_t> out;
    std::vector<std::int16_t> block(1000);
    const auto frameSamples = static_cast<std::size_t>(channel.channels());
    for (;;) {
        std::uint32_t bytes = 2000;
        if (maxFrames) {
            const std::size_t left = maxFrames - out.size() / frameSamples;
            if (left == 0)
                break;
            bytes = static_cast<std::uint32_t>(std::min<std::size_t>(bytes, left * 2 * frameSamples));
        }
        const std::int64_t got = channel.getData(block.data(), bytes);
        if (got <= 0)
            break;
        out.insert(out.end(), block.begin(), block.begin() + got / 2);
    }
    return out;
}

zvtest::Signal asSignal(const std::vector<std::int16_t>& pcm, int rate = 44100, int channels = 2)
{
    zvtest::Signal s { rate, channels, {} };
    for (std::int16_t v : pcm)
        s.samples.push_back(v / 32768.0f);
    return s;
}

TEST(TempoStream, CreationNeedsADecodeSourceAndTempoIsClampedAndChecked)
{
    const zvtest::Signal tone = zvtest::sine(440, 0.1);
    EXPECT_EQ(TempoStream::create(std::make_shared<FakeSource>(tone, false), StreamDecode), nullptr);
    EXPECT_EQ(lastError(), NotDecodeChannel);

    auto source = std::make_shared<FakeSource>(tone);
    auto tempo = TempoStream::create(source, StreamDecode);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->source(), source);
    EXPECT_TRUE(tempo->isDecode());
    EXPECT_EQ(tempo->rate(), 44100);
    EXPECT_EQ(tempo->lengthFrames(), source->lengthFrames());

    float value = -1;
    EXPECT_FALSE(tempo->setAttribute(Attribute::Tempo, NAN));
    EXPECT_EQ(lastError(), BadParameter);
    ASSERT_TRUE(tempo->setAttribute(Attribute::Tempo, 1e6f));
    tempo->getAttribute(Attribute::Tempo, value);
    EXPECT_EQ(value, TempoStream::MaxTempo);
    ASSERT_TRUE(tempo->setAttribute(Attribute::Tempo, 20));
    EXPECT_FLOAT_EQ(tempo->rateRatio(), 1.2f);
    // Volume belongs to the base.
    ASSERT_TRUE(tempo->setAttribute(Attribute::Volume, 0.5f));
    tempo->getAttribute(Attribute::Volume, value);
    EXPECT_EQ(value, 0.5f);
    tempo->getAttribute(Attribute::Tempo, value);
    EXPECT_EQ(value, 20.0f);
}

class TempoStreamDuration : public testing::TestWithParam<float> { };

// Pitch stays, duration scales by 1/ratio, and the tail is flushed: the
// whole source comes out, the last milliseconds included.
TEST_P(TempoStreamDuration, KeepsPitchAndScalesDuration)
{
    const float percent = GetParam();
    const zvtest::Signal tone = zvtest::sine(440, 3.0);
    auto tempo = tempoOver(tone, percent);
    ASSERT_NE(tempo, nullptr);
    const zvtest::Signal out = asSignal(readAll(*tempo));

    const double expected = tone.seconds() / tempo->rateRatio();
    EXPECT_NEAR(out.seconds(), expected, 0.005) << percent << " %";
    EXPECT_NEAR(zvtest::dominantHz(out.mono(0.2, out.seconds() - 0.2), out.rate, 300, 600), 440, 2);
    for (double from = out.seconds() - 0.05; from < out.seconds() - 0.004; from += 0.005)
        EXPECT_GT(zvtest::rmsDb(out.mono(from, from + 0.005)), -12)
            << "hole in the tail " << out.seconds() - from << " s before the end";
    EXPECT_EQ(tempo->positionFrames(), tempo->lengthFrames());
}

INSTANTIATE_TEST_SUITE_P(Percents, TempoStreamDuration, testing::Values(20.0f, -30.0f, 150.0f));

TEST(TempoStream, ZeroTempoPassesTheSourceThroughBitExactly)
{
    const zvtest::Signal ramp = zvtest::ramp(50000);
    auto source = std::make_shared<FakeSource>(ramp);
    auto tempo = TempoStream::create(source, StreamDecode);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(readAll(*tempo), source->pcm());

    ASSERT_TRUE(tempo->setPositionFrames(12345));
    EXPECT_EQ(tempo->positionFrames(), 12345);
    const auto rest = readAll(*tempo);
    ASSERT_EQ(rest.size(), source->pcm().size() - 12345 * 2);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), source->pcm().begin() + 12345 * 2));
}

// Switching the tempo off or on in mid-stream goes on from where the delivered
// data has reached, so nothing held in the processor is skipped or repeated.
TEST(TempoStream, SwitchingTempoOffAndOnResumesAtThePosition)
{
    const zvtest::Signal ramp = zvtest::ramp(100000);
    auto tempo = tempoOver(ramp, 20);
    readAll(*tempo, 30000);
    const std::int64_t reached = tempo->positionFrames();
    EXPECT_NEAR(static_cast<double>(reached), 36000, 1500);

    ASSERT_TRUE(tempo->setAttribute(Attribute::Tempo, 0));
    EXPECT_EQ(tempo->positionFrames(), reached);
    const auto rest = readAll(*tempo, 10);
    ASSERT_EQ(rest.size(), 20u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(zvtest::rampIndex(rest[static_cast<std::size_t>(i) * 2]), reached + i);

    ASSERT_TRUE(tempo->setAttribute(Attribute::Tempo, 20));
    EXPECT_EQ(tempo->positionFrames(), reached + 10);
    readAll(*tempo, 1000);
    EXPECT_NEAR(static_cast<double>(tempo->positionFrames()), static_cast<double>(reached + 10 + 1200), 300);
}

// Output starts at the seek point: no gap and no silent lead-in from the
// processor's latency. The source has a silent gap whose place in the output
// shows where the output stands on the source's time line.
TEST(TempoStream, SeekThenReadStartsAtTheSeekPoint)
{
    zvtest::Signal source = zvtest::sine(440, 6.0);
    const double gapStart = 4.0;
    for (std::size_t i = static_cast<std::size_t>(gapStart * 44100);
         i < static_cast<std::size_t>(4.2 * 44100); ++i)
        source.samples[2 * i] = source.samples[2 * i + 1] = 0;
    auto tempo = tempoOver(source, 20);
    readAll(*tempo, 10000); // something already in the processor

    const double seekTo = 2.5;
    ASSERT_TRUE(tempo->setPositionFrames(static_cast<std::int64_t>(seekTo * 44100)));
    EXPECT_EQ(tempo->positionFrames(), static_cast<std::int64_t>(seekTo * 44100));
    const zvtest::Signal out = asSignal(readAll(*tempo, 44100 * 2));
    EXPECT_GT(zvtest::rmsDb(out.mono(0, 0.01)), -12) << "silent lead-in";

    std::size_t firstSilent = 0;
    for (std::size_t i = 0; i + 441 < out.frames(); ++i) {
        const auto window = out.mono(static_cast<double>(i) / 44100, static_cast<double>(i + 441) / 44100);
        if (zvtest::rmsDb(window) < -40) {
            firstSilent = i;
            break;
        }
        i += 40;
    }
    const double expected = (gapStart - seekTo) / 1.2;
    EXPECT_NEAR(static_cast<double>(firstSilent) / 44100, expected, 0.015);
}

TEST(TempoStream, PositionNeverDecreasesWhileReading)
{
    auto tempo = tempoOver(zvtest::sine(440, 2.0), 20);
    std::vector<std::int16_t> block(1000);
    std::int64_t last = 0;
    while (tempo->getData(block.data(), 2000) > 0) {
        const std::int64_t now = tempo->positionFrames();
        ASSERT_GE(now, last);
        last = now;
    }
    EXPECT_EQ(last, 88200);
}

} // namespace
