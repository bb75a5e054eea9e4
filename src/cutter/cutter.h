#pragma once
// The cut job: writes the segment [start, end] of SourceFile, with the effects
// of DecodeEffects, as an MP3 or M4R file through an external encoder. Runs on
// the calling (GUI) thread and keeps the interface alive through its host.

#include "audio/stream_guard.h"
#include "cutter/cut_host.h"
#include "effects/decode_effect_manager.h"
#include "effects/effect_settings.h"
#include "engine/engine.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TCutter {
public:
    // The host outlives the job.
    explicit TCutter(TCutHost& host);
    // Ends an encoder Prepare started that no Execute used, and removes its
    // file; frees a source OpenSource opened that no Execute used.
    ~TCutter();

    // Settings filled by the owner before each cut; the job sets the channel
    // and the segment.
    TDecodeEffectManager DecodeEffects;
    // Full path of the file to cut.
    std::string SourceFile;

    // Cuts [startMs, endMs] to outputPath; format "m4r" (any case) writes AAC
    // in MP4 under the ".m4r" extension, anything else MP3 at bitrate kbit/s.
    // end <= start only shows a message; an output that is the source itself
    // (through any link or path) is refused. Throws AppError on any failure,
    // after restoring the windows; the output path is then exactly as before.
    // On success the file is complete and the completion question was asked; a
    // source that ends before endMs gives the part up to its end.
    void Execute(std::uint32_t startMs, std::uint32_t endMs, const std::string& outputPath, int bitrate,
        const std::string& format);

    // For a caller with work of its own before Execute (reading the source's
    // length): starts the encoder of an Execute with the same output path,
    // bitrate and format now, so that its start-up overlaps that work.
    // SourceFile must be set. Reports nothing: what fails here, Execute tries
    // again and reports in its turn.
    void Prepare(const std::string& outputPath, int bitrate, const std::string& format);

    // Opens SourceFile now, as Execute would, and keeps it for Execute, so a
    // caller that reads the source first (its length) does not open it
    // twice. The stream stays the job's: Execute uses it while SourceFile is
    // unchanged. Throws AppError as Execute's open does.
    zv::engine::Handle OpenSource();

    // The absolute path Execute writes for this output path and format.
    static std::string FinalOutputPath(const std::string& outputPath, const std::string& format);

private:
    struct TOutputJob;

    // The prepared job if it is for this output, else a new one with as much
    // started as succeeds.
    std::unique_ptr<TOutputJob> TakeOutputJob(
        const std::string& output, int bitrate, const std::string& format);
    // The stream OpenSource opened for SourceFile, else a new one.
    zv::engine::Handle TakeSource();
    static std::unique_ptr<TOutputJob> StartOutputJob(
        const std::string& output, int bitrate, const std::string& format);
    // Encodes into the job's file and commits it when the encoder finished.
    void EncodeSegment(zv::engine::Handle tempo, std::uint32_t startMs, std::uint32_t endMs, TOutputJob& job,
        int bitrate, const std::string& format);
    static std::string BuildEncoderCommand(
        const std::string& format, int bitrate, const std::string& outputPath);

    TCutHost& m_host;
    std::array<char, CutBlockBytes> m_buffer {};
    std::unique_ptr<TOutputJob> m_prepared;
    StreamGuard m_source; // opened by OpenSource, of m_sourcePath
    std::string m_sourcePath;
};
