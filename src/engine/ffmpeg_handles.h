#pragma once
// Owning handles for FFmpeg objects: each frees its object the one way FFmpeg
// wants it freed. An object exists only once the library has loaded.

#include "engine/ffmpeg_library.h"

#include <memory>

namespace zv::engine {

struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const { ff().avformat_close_input(&context); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;

// Frees a custom I/O context together with its buffer, which FFmpeg may have
// replaced since allocation.
struct IoContextDeleter {
    void operator()(AVIOContext* context) const
    {
        ff().av_freep(&context->buffer);
        ff().avio_context_free(&context);
    }
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { ff().avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { ff().av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { ff().av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct SwrContextDeleter {
    void operator()(SwrContext* context) const { ff().swr_free(&context); }
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

} // namespace zv::engine
