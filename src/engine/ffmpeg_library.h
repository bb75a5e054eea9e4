#pragma once
// FFmpeg, loaded at run time rather than at program start: its libraries pull
// in well over a hundred others, whose loading would otherwise come before
// anything else the program does. The versions are the ones whose headers we
// are built against (their sonames carry the major version).

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace zv::engine {

struct FfmpegLibrary {
    // libavutil
    decltype(&::av_log_set_level) av_log_set_level;
    decltype(&::av_malloc) av_malloc;
    decltype(&::av_free) av_free;
    decltype(&::av_freep) av_freep;
    decltype(&::av_frame_alloc) av_frame_alloc;
    decltype(&::av_frame_free) av_frame_free;
    decltype(&::av_channel_layout_compare) av_channel_layout_compare;
    decltype(&::av_channel_layout_default) av_channel_layout_default;
    decltype(&::av_channel_layout_from_mask) av_channel_layout_from_mask;
    decltype(&::av_channel_layout_uninit) av_channel_layout_uninit;
    decltype(&::av_dict_get) av_dict_get;
    decltype(&::av_rescale_q) av_rescale_q;
    decltype(&::av_rescale_q_rnd) av_rescale_q_rnd;
    // libswresample
    decltype(&::swr_alloc_set_opts2) swr_alloc_set_opts2;
    decltype(&::swr_init) swr_init;
    decltype(&::swr_free) swr_free;
    decltype(&::swr_convert) swr_convert;
    decltype(&::swr_get_out_samples) swr_get_out_samples;
    // libavcodec
    decltype(&::av_packet_alloc) av_packet_alloc;
    decltype(&::av_packet_free) av_packet_free;
    decltype(&::av_packet_unref) av_packet_unref;
    decltype(&::av_get_exact_bits_per_sample) av_get_exact_bits_per_sample;
    decltype(&::avcodec_find_decoder) avcodec_find_decoder;
    decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
    decltype(&::avcodec_free_context) avcodec_free_context;
    decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context;
    decltype(&::avcodec_open2) avcodec_open2;
    decltype(&::avcodec_get_name) avcodec_get_name;
    decltype(&::avcodec_send_packet) avcodec_send_packet;
    decltype(&::avcodec_receive_frame) avcodec_receive_frame;
    decltype(&::avcodec_flush_buffers) avcodec_flush_buffers;
    // libavformat
    decltype(&::avformat_alloc_context) avformat_alloc_context;
    decltype(&::avformat_free_context) avformat_free_context;
    decltype(&::avformat_open_input) avformat_open_input;
    decltype(&::avformat_close_input) avformat_close_input;
    decltype(&::avformat_find_stream_info) avformat_find_stream_info;
    decltype(&::avformat_seek_file) avformat_seek_file;
    decltype(&::av_find_best_stream) av_find_best_stream;
    decltype(&::av_read_frame) av_read_frame;
    decltype(&::av_seek_frame) av_seek_frame;
    decltype(&::avio_alloc_context) avio_alloc_context;
    decltype(&::avio_context_free) avio_context_free;
    decltype(&::avio_feof) avio_feof;
    decltype(&::avio_size) avio_size;
};

// Starts loading the codec stage (ffmpegCodecs()) on a thread of its own and
// returns at once, so that the caller's other work overlaps it. libavformat
// loads when a file first needs it: loading it alongside an MP3 cut slows
// the cut. Any thread; later calls do nothing.
void loadFfmpegInBackground();

// Loads FFmpeg once, or waits for the load in progress, and keeps it for the
// process's life. Any thread. nullptr when a library or one of its functions
// cannot be found.
const FfmpegLibrary* ffmpegLibrary();

// The same for libavutil, libswresample and libavcodec alone (the libavformat
// members stay unset): enough for packets the caller cuts from the file itself.
const FfmpegLibrary* ffmpegCodecs();

// The loaded library, for code that runs only after ffmpegCodecs() or
// ffmpegLibrary() has succeeded (every object of an opened stream); only the
// stage that succeeded may be used.
const FfmpegLibrary& ff();

} // namespace zv::engine
