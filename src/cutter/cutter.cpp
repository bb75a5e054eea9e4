#include "cutter/cutter.h"

#include "audio/app_error.h"
#include "audio/audio_stream.h"
#include "audio/dialogs_service.h"
#include "audio/encoder_command.h"
#include "audio/file_names.h"
#include "cutter/partial_output.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <strings.h>
#include <utility>

namespace ze = zv::engine;

namespace {

[[noreturn]] void FailWithCode(const std::string& text, int code)
{
    throw AppError(text + "(" + std::to_string(code) + ")", code);
}

[[noreturn]] void FailWithEngineError(const std::string& text)
{
    FailWithCode(text, ze::lastError());
}

bool IsM4r(const std::string& format)
{
    return strcasecmp(format.c_str(), "m4r") == 0;
}

// Also true for the same file reached through links, "..", relative paths or
// a hard link.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::exists(b, error))
        return std::filesystem::equivalent(a, b, error);
    std::error_code errorA;
    std::error_code errorB;
    const auto canonicalA = std::filesystem::weakly_canonical(a, errorA);
    const auto canonicalB = std::filesystem::weakly_canonical(b, errorB);
    return !errorA && !errorB && canonicalA == canonicalB;
}

class StreamGuard {
public:
    explicit StreamGuard(ze::Handle stream)
        : m_stream(stream)
    {
    }
    ~StreamGuard() { ze::streamFree(m_stream); }
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;
    ze::Handle get() const { return m_stream; }

private:
    ze::Handle m_stream;
};

// Stops the encoder when the cut is abandoned, so it has closed its file
// before the partial output is removed.
class EncoderGuard {
public:
    explicit EncoderGuard(ze::Handle encoder)
        : m_encoder(encoder)
    {
    }
    ~EncoderGuard()
    {
        if (m_encoder)
            ze::encodeStop(m_encoder);
    }
    EncoderGuard(const EncoderGuard&) = delete;
    EncoderGuard& operator=(const EncoderGuard&) = delete;
    ze::Handle get() const { return m_encoder; }
    // Waits until the encoder has finished its file; false when it failed.
    bool Stop()
    {
        const ze::Handle encoder = std::exchange(m_encoder, 0);
        return ze::encodeStop(encoder);
    }

private:
    ze::Handle m_encoder;
};

// Gives the windows back however the cut ends; its own failures are dropped
// so they cannot hide the cut's error.
class WindowsRestorer {
public:
    explicit WindowsRestorer(TCutHost& host)
        : m_host(host)
    {
    }
    ~WindowsRestorer()
    {
        try {
            m_host.EnableWindows();
        } catch (...) {
        }
        try {
            m_host.HideProgress();
        } catch (...) {
        }
    }
    WindowsRestorer(const WindowsRestorer&) = delete;
    WindowsRestorer& operator=(const WindowsRestorer&) = delete;

private:
    TCutHost& m_host;
};

} // namespace

TCutter::TCutter(TCutHost& host)
    : m_host(host)
{
}

std::string TCutter::FinalOutputPath(const std::string& outputPath, const std::string& format)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(outputPath, error);
    const std::string path = error ? outputPath : absolute.string();
    return IsM4r(format) ? ChangeFileExt(path, ".m4r") : path;
}

void TCutter::Execute(std::uint32_t startMs, std::uint32_t endMs, const std::string& outputPath, int bitrate,
    const std::string& format)
{
    if (endMs <= startMs) {
        Dialogs().message("“开始时间”必须小于“结束时间”。");
        return;
    }
    const std::string output = FinalOutputPath(outputPath, format);
    if (IsSameFile(SourceFile, output))
        throw AppError("输出文件不能是源文件本身，请另选输出文件。");
    std::error_code error;
    if (std::filesystem::is_directory(output, error))
        throw AppError("输出文件不能是一个目录：" + output);

    const StreamGuard source(OpenAudioStream(SourceFile, ze::StreamDecode, true));
    const StreamGuard tempo(ze::tempoCreate(source.get(), ze::StreamDecode));
    if (!tempo.get())
        FailWithEngineError("无法为剪切准备源文件");

    TPartialOutput partial(output);

    m_host.SetProgress(0);
    const WindowsRestorer restorer(m_host);
    m_host.DisableWindows();
    m_host.SetTexts("正在剪切", "正在剪切，请稍等……");
    m_host.ShowProgress();

    EncodeSegment(tempo.get(), startMs, endMs, partial, bitrate, format);

    if (m_host.AskShowFile("剪切完成", "剪切完成，要打开文件所在目录吗？"))
        m_host.ShowFile(output);
}

void TCutter::EncodeSegment(ze::Handle tempo, std::uint32_t startMs, std::uint32_t endMs,
    TPartialOutput& output, int bitrate, const std::string& format)
{
    if (DecodeEffects.Enabled && DecodeEffects.TempoOn) {
        ze::channelSetAttribute(tempo, ze::Attribute::Tempo, DecodeEffects.TempoPercent);
        // The source segment yields (end - start) / ratio of output.
        const float ratio = ze::tempoGetRateRatio(tempo);
        if (ratio > 0) {
            const double length = std::nearbyint((endMs - startMs) / static_cast<double>(ratio));
            const double maxLength = std::numeric_limits<std::uint32_t>::max() - startMs;
            endMs = startMs + static_cast<std::uint32_t>(std::min(length, maxLength));
        }
    }

    const std::uint64_t startBytes = ze::channelSeconds2Bytes(tempo, startMs / 1000.0);
    const std::uint64_t endBytes = ze::channelSeconds2Bytes(tempo, endMs / 1000.0);
    // Reading on from wherever the stream stands would write the wrong part.
    if (startBytes == ze::NoPosition || endBytes == ze::NoPosition
        || !ze::channelSetPosition(tempo, startBytes))
        FailWithEngineError("无法定位到“开始时间”，剪切失败");

    const std::string command = BuildEncoderCommand(format, bitrate, output.Path());

    DecodeEffects.Channel = tempo;
    DecodeEffects.StartByte = startBytes;
    DecodeEffects.EndByte = endBytes;
    DecodeEffects.StartMs = startMs;
    DecodeEffects.EndMs = endMs;
    DecodeEffects.Apply();

    EncoderGuard encoder(ze::encodeStart(tempo, command));
    if (!encoder.get())
        FailWithEngineError("无法启动编码器，输出文件没有写成");

    const std::int64_t total = static_cast<std::int64_t>(endBytes) - static_cast<std::int64_t>(startBytes);
    std::int64_t done = 0;
    bool encoderAlive = true;
    while (ze::channelIsActive(tempo) != ze::Activity::Stopped) {
        DecodeEffects.UpdateBlock(startBytes + static_cast<std::uint64_t>(done));
        const std::int64_t remaining = total - done;
        if (remaining <= 0)
            break;
        const auto block = static_cast<std::uint32_t>(std::min<std::int64_t>(remaining, CutBlockBytes));
        const std::int64_t got = ze::channelGetData(tempo, m_buffer.data(), block);
        if (got < 0 && ze::lastError() != ze::Ended)
            FailWithEngineError("读取源文件失败，输出文件没有写成");
        if (got <= 0)
            break; // the source ended before the end point: the file holds what there was
        done += got;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent > m_host.GetProgress()) {
            m_host.SetProgress(percent);
            m_host.ProcessEvents();
            // Asking costs a system call: once per percent is soon enough
            // to stop decoding for an encoder that died.
            if (!ze::encodeIsActive(encoder.get())) {
                encoderAlive = false;
                break;
            }
        }
    }

    const bool finished = encoder.Stop();
    if (!encoderAlive || !finished)
        FailWithCode("编码失败，输出文件没有写成", finished ? ze::EncoderFailed : ze::lastError());
    output.Commit();
}

std::string TCutter::BuildEncoderCommand(
    const std::string& format, int bitrate, const std::string& outputPath)
{
    if (IsM4r(format))
        return M4rEncoderCommand(bitrate, outputPath);
    return Mp3EncoderCommand(bitrate, outputPath);
}
