#include "engine/ffmpeg_library.h"

extern "C" {
#include <libavutil/macros.h>
}

#include <atomic>
#include <dlfcn.h>
#include <mutex>
#include <thread>

namespace zv::engine {
namespace {

// The codec stage (libavutil, libswresample, libavcodec) comes first and is
// published on its own, so an MP3 that we index ourselves decodes without
// waiting for libavformat and the many libraries it pulls in.
std::once_flag g_codecsOnce;
std::once_flag g_formatsOnce;
std::atomic<const FfmpegLibrary*> g_codecs { nullptr };
std::atomic<const FfmpegLibrary*> g_library { nullptr };
// Each stage writes only its own members, before publishing them.
FfmpegLibrary g_av;

void* openLibrary(const char* soname)
{
    // Never closed: decoders keep tables and threads of their own.
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL);
}

template <typename F> bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

#define ZV_BIND(library, name) bind(library, #name, g_av.name)

void loadCodecs()
{
    void* const avutil = openLibrary("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR));
    void* const swresample = openLibrary("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR));
    void* const avcodec = openLibrary("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR));
    if (!avutil || !swresample || !avcodec)
        return;
    const bool complete = ZV_BIND(avutil, av_log_set_level) && ZV_BIND(avutil, av_malloc)
        && ZV_BIND(avutil, av_free) && ZV_BIND(avutil, av_freep) && ZV_BIND(avutil, av_frame_alloc)
        && ZV_BIND(avutil, av_frame_free) && ZV_BIND(avutil, av_channel_layout_compare)
        && ZV_BIND(avutil, av_channel_layout_default) && ZV_BIND(avutil, av_channel_layout_from_mask)
        && ZV_BIND(avutil, av_channel_layout_uninit) && ZV_BIND(avutil, av_dict_get)
        && ZV_BIND(avutil, av_rescale_q) && ZV_BIND(avutil, av_rescale_q_rnd)
        && ZV_BIND(swresample, swr_alloc_set_opts2) && ZV_BIND(swresample, swr_init)
        && ZV_BIND(swresample, swr_free) && ZV_BIND(swresample, swr_convert)
        && ZV_BIND(swresample, swr_get_out_samples) && ZV_BIND(avcodec, av_packet_alloc)
        && ZV_BIND(avcodec, av_packet_free) && ZV_BIND(avcodec, av_packet_unref)
        && ZV_BIND(avcodec, av_get_exact_bits_per_sample) && ZV_BIND(avcodec, avcodec_find_decoder)
        && ZV_BIND(avcodec, avcodec_alloc_context3) && ZV_BIND(avcodec, avcodec_free_context)
        && ZV_BIND(avcodec, avcodec_parameters_to_context) && ZV_BIND(avcodec, avcodec_open2)
        && ZV_BIND(avcodec, avcodec_get_name) && ZV_BIND(avcodec, avcodec_send_packet)
        && ZV_BIND(avcodec, avcodec_receive_frame) && ZV_BIND(avcodec, avcodec_flush_buffers);
    if (!complete)
        return;
    // Damaged frames are concealed and reported through error codes; the
    // decoders' own chatter must not reach the user's terminal.
    g_av.av_log_set_level(AV_LOG_QUIET);
    g_codecs.store(&g_av, std::memory_order_release);
}

void loadFormats()
{
    std::call_once(g_codecsOnce, loadCodecs);
    if (!g_codecs.load(std::memory_order_acquire))
        return;
    void* const avformat = openLibrary("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR));
    if (!avformat)
        return;
    const bool complete = ZV_BIND(avformat, avformat_alloc_context) && ZV_BIND(avformat, avformat_free_context)
        && ZV_BIND(avformat, avformat_open_input) && ZV_BIND(avformat, avformat_close_input)
        && ZV_BIND(avformat, avformat_find_stream_info) && ZV_BIND(avformat, avformat_seek_file)
        && ZV_BIND(avformat, av_find_best_stream) && ZV_BIND(avformat, av_read_frame)
        && ZV_BIND(avformat, av_seek_frame) && ZV_BIND(avformat, avio_alloc_context)
        && ZV_BIND(avformat, avio_context_free) && ZV_BIND(avformat, avio_feof) && ZV_BIND(avformat, avio_size);
    if (complete)
        g_library.store(&g_av, std::memory_order_release);
}

#undef ZV_BIND

} // namespace

void loadFfmpegInBackground()
{
    static std::atomic_flag started;
    if (started.test_and_set())
        return;
    // Detached: a program that ends before the load is done need not wait for it.
    std::thread([] { std::call_once(g_codecsOnce, loadCodecs); }).detach();
}

const FfmpegLibrary* ffmpegCodecs()
{
    std::call_once(g_codecsOnce, loadCodecs);
    return g_codecs.load(std::memory_order_acquire);
}

const FfmpegLibrary* ffmpegLibrary()
{
    std::call_once(g_formatsOnce, loadFormats);
    return g_library.load(std::memory_order_acquire);
}

const FfmpegLibrary& ff()
{
    return *g_codecs.load(std::memory_order_acquire);
}

} // namespace zv::engine
