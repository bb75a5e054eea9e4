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
#include <optional>
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

// The output side of one cut: the partial file and the encoder writing it.
// Each part starts as early as it can; one that fails to start early is
// started again in its turn, so the cut's errors come in their usual order.
struct TCutter::TOutputJob {
    // An encoder that never got its channel ends before the file goes.
    ~TOutputJob()
    {
        if (Launched)
            ze::encodeStop(Launched);
    }

    std::string Output;
    int Bitrate = 0;
    std::string Format;
    std::optional<TPartialOutput> Partial;
    std::string Command; // the encoder's command line, once built
    ze::Handle Launched = 0; // started, still waiting for its channel
};

TCutter::TCutter(TCutHost& host)
    : m_host(host)
{
}

TCutter::~TCutter() = default;

ze::Handle TCutter::OpenSource()
{
    m_source.reset();
    m_source.reset(OpenAudioStream(SourceFile, ze::StreamDecode, true));
    m_sourcePath = SourceFile;
    return m_source.get();
}

ze::Handle TCutter::TakeSource()
{
    if (m_source.get() && m_sourcePath == SourceFile)
        return m_source.release();
    m_source.reset();
    return OpenAudioStream(SourceFile, ze::StreamDecode, true);
}

void TCutter::Prepare(const std::string& outputPath, int bitrate, const std::string& format)
{
    const std::string output = FinalOutputPath(outputPath, format);
    std::error_code error;
    // Execute refuses these before it starts anything.
    if (IsSameFile(SourceFile, output) || std::filesystem::is_directory(output, error))
        return;
    m_prepared = StartOutputJob(output, bitrate, format);
}

std::unique_ptr<TCutter::TOutputJob> TCutter::TakeOutputJob(
    const std::string& output, int bitrate, const std::string& format)
{
    if (m_prepared && m_prepared->Output == output && m_prepared->Bitrate == bitrate
        && m_prepared->Format == format)
        return std::move(m_prepared);
    m_prepared.reset();
    return StartOutputJob(output, bitrate, format);
}

std::unique_ptr<TCutter::TOutputJob> TCutter::StartOutputJob(
    const std::string& output, int bitrate, const std::string& format)
{
    auto job = std::make_unique<TOutputJob>();
    job->Output = output;
    job->Bitrate = bitrate;
    job->Format = format;
    try {
        job->Partial.emplace(output);
        job->Command = BuildEncoderCommand(format, bitrate, job->Partial->Path());
        job->Launched = ze::encodeLaunch(job->Command);
    } catch (const AppError&) {
        // Reported in its turn.
    }
    return job;
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

    // Started before the source opens: the encoder's start-up overlaps it.
    const std::unique_ptr<TOutputJob> job = TakeOutputJob(output, bitrate, format);

    const StreamGuard source(TakeSource());
    const StreamGuard tempo(ze::tempoCreate(source.get(), ze::StreamDecode));
    if (!tempo.get())
        FailWithEngineError("无法为剪切准备源文件");

    if (!job->Partial)
        job->Partial.emplace(output);

    m_host.SetProgress(0);
    const WindowsRestorer restorer(m_host);
    m_host.DisableWindows();
    m_host.SetTexts("正在剪切", "正在剪切，请稍等……");
    m_host.ShowProgress();

    EncodeSegment(tempo.get(), startMs, endMs, *job, bitrate, format);

    if (m_host.AskShowFile("剪切完成", "剪切完成，要打开文件所在目录吗？"))
        m_host.ShowFile(output);
}

void TCutter::EncodeSegment(ze::Handle tempo, std::uint32_t startMs, std::uint32_t endMs, TOutputJob& job,
    int bitrate, const std::string& format)
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

    if (job.Command.empty())
        job.Command = BuildEncoderCommand(format, bitrate, job.Partial->Path());

    DecodeEffects.Channel = tempo;
    DecodeEffects.StartByte = startBytes;
    DecodeEffects.EndByte = endBytes;
    DecodeEffects.StartMs = startMs;
    DecodeEffects.EndMs = endMs;
    DecodeEffects.Apply();

    const bool launched = job.Launched != 0;
    EncoderGuard encoder(launched ? std::exchange(job.Launched, 0) : ze::encodeStart(tempo, job.Command));
    if (!encoder.get() || (launched && !ze::encodeAttach(encoder.get(), tempo)))
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
    job.Partial->Commit();
}

std::string TCutter::BuildEncoderCommand(
    const std::string& format, int bitrate, const std::string& outputPath)
{
    if (IsM4r(format))
        return M4rEncoderCommand(bitrate, outputPath);
    return Mp3EncoderCommand(bitrate, outputPath);
}
