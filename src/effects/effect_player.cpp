#include "effects/effect_player.h"

#include "audio/app_error.h"
#include "audio/audio_stream.h"

#include <utility>

namespace engine = zv::engine;

namespace {

// A playable tempo stream on source. On failure frees source, which nobody
// else holds yet, and throws.
engine::Handle CreateTempoStream(engine::Handle source)
{
    const engine::Handle tempo = engine::tempoCreate(source, 0);
    if (tempo != 0)
        return tempo;
    const int code = engine::lastError();
    engine::streamFree(source);
    throw AppError("无法为音效试听准备源文件(" + std::to_string(code) + ")", code);
}

} // namespace

TEffectPlayer::TEffectPlayer(const std::string& fileName, PostToGui post)
    : TEffectPlayer(fileName, std::move(post), OpenAudioStream(fileName, engine::StreamDecode, true))
{
}

TEffectPlayer::TEffectPlayer(const std::string& fileName, PostToGui post, engine::Handle source)
    : TPlayer(fileName, std::move(post), CreateTempoStream(source))
    , m_source(source)
{
    Manager.Channel = Stream();
}

TEffectPlayer::~TEffectPlayer()
{
    FreeStream();
    engine::streamFree(m_source);
}

void TEffectPlayer::PlayRange(std::uint32_t startMs, std::uint32_t endMs, std::uint32_t fromMs)
{
    Manager.StartMs = startMs;
    Manager.EndMs = endMs;
    Manager.Apply();
    TPlayer::PlayRange(startMs, endMs, fromMs);
}
