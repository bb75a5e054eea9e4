#include "cutter/player.h"

#include "audio/audio_stream.h"

#include <cmath>
#include <limits>
#include <utility>

namespace engine = zv::engine;

namespace {

// Seconds on the stream's time line as whole milliseconds; 0 when the engine
// gives no time.
std::uint32_t ToMs(double seconds, bool roundHalfEven)
{
    if (!(seconds > 0))
        return 0;
    const double ms = roundHalfEven ? std::nearbyint(seconds * 1000.0) : std::trunc(seconds * 1000.0);
    return ms >= std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                           : static_cast<std::uint32_t>(ms);
}

} // namespace

TPlayer::TPlayer(const std::string& fileName, PostToGui post)
    : TPlayer(fileName, std::move(post), OpenAudioStream(fileName, 0, true))
{
}

TPlayer::TPlayer(const std::string& fileName, PostToGui post, engine::Handle stream)
    : m_post(std::move(post))
    , m_stream(stream)
    , m_fileName(fileName)
{
    const std::uint64_t length = engine::channelGetLength(m_stream);
    m_lengthBytes = length == engine::NoPosition ? 0 : length;
    m_lengthMs = ToMs(engine::channelBytes2Seconds(m_stream, m_lengthBytes), true);
    // Fires at every natural end; it goes with the stream.
    engine::channelSetSync(m_stream, engine::SyncType::End, 0,
        [notify = StoppedNotifier()](engine::Handle, engine::Handle) { notify(); });
}

TPlayer::~TPlayer()
{
    FreeStream();
}

void TPlayer::FreeStream()
{
    if (m_stream != 0)
        engine::streamFree(std::exchange(m_stream, 0));
}

std::uint32_t TPlayer::PositionMs() const
{
    const std::uint64_t bytes = engine::channelGetPosition(m_stream);
    if (bytes == engine::NoPosition)
        return 0;
    return ToMs(engine::channelBytes2Seconds(m_stream, bytes), false);
}

void TPlayer::Play()
{
    m_playing = true;
    engine::channelPlay(m_stream, false);
}

void TPlayer::Pause()
{
    engine::channelPause(m_stream);
    m_playing = false;
}

void TPlayer::SeekMs(std::uint32_t ms)
{
    const std::uint64_t bytes = engine::channelSeconds2Bytes(m_stream, ms / 1000.0);
    if (bytes != engine::NoPosition)
        engine::channelSetPosition(m_stream, bytes);
}

void TPlayer::PlayRange(std::uint32_t startMs, std::uint32_t endMs, std::uint32_t fromMs)
{
    const std::uint64_t fromBytes = engine::channelSeconds2Bytes(m_stream, fromMs / 1000.0);
    const std::uint64_t endBytes = engine::channelSeconds2Bytes(m_stream, endMs / 1000.0);
    if (fromBytes == engine::NoPosition || endBytes == engine::NoPosition || fromBytes >= endBytes)
        return;
    // Playing on from wherever the stream stands would sound the wrong part.
    if (!engine::channelSetPosition(m_stream, fromBytes))
        return;
    m_rangeStart = startMs;
    m_rangeEnd = endMs;
    m_rangeLength = endMs - startMs;
    m_playing = true;
    // Runs on the output thread at the end sample: stopping there ends the
    // sound exactly at endMs.
    m_rangeSync = engine::channelSetSync(m_stream, engine::SyncType::Position, endBytes,
        [notify = StoppedNotifier()](engine::Handle sync, engine::Handle channel) {
            engine::channelRemoveSync(channel, sync);
            engine::channelStop(channel);
            notify();
        });
    engine::channelPlay(m_stream, false);
}

void TPlayer::PlaySegment(std::uint32_t startMs, std::uint32_t endMs)
{
    PlayRange(startMs, endMs, startMs);
}

void TPlayer::RemoveRangeSync()
{
    engine::channelRemoveSync(m_stream, m_rangeSync);
}

std::function<void()> TPlayer::StoppedNotifier()
{
    return [post = m_post, alive = std::weak_ptr<bool>(m_alive), this] {
        post([alive, this] {
            if (alive.lock())
                NotifyStopped();
        });
    };
}

void TPlayer::NotifyStopped()
{
    if (OnStop)
        OnStop();
    m_playing = false;
}
