#include "source_facts.h"

#include "audio/app_error.h"
#include "audio/audio_stream.h"
#include "audio/stream_guard.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ze = zv::engine;

TSourceFacts ReadSourceFacts(const std::string& path)
{
    // An MP3 is indexed while FFmpeg loads.
    ze::loadDecodersInBackground();
    const StreamGuard stream(OpenAudioStream(path, ze::StreamDecode, true));
    return ReadSourceFacts(stream.get());
}

TSourceFacts ReadSourceFacts(ze::Handle stream)
{
    ze::ChannelInfo info;
    const std::uint64_t length = ze::channelGetLength(stream);
    const double seconds = length == ze::NoPosition ? -1.0 : ze::channelBytes2Seconds(stream, length);
    const bool known = seconds >= 0 && ze::channelGetInfo(stream, info);
    const int code = ze::lastError();
    if (!known)
        throw AppError("无法读取源文件的长度(" + std::to_string(code) + ")", code);

    TSourceFacts facts;
    const double ms = std::nearbyint(seconds * 1000.0);
    facts.LengthMs
        = static_cast<std::uint32_t>(std::min(ms, double { std::numeric_limits<std::uint32_t>::max() }));
    facts.Rate = info.rate;
    facts.Channels = info.channels;
    facts.Format = info.format;
    return facts;
}
