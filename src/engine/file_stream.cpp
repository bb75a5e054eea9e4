#include "engine/file_stream.h"

#include "engine/asf_protection.h"
#include "engine/error.h"
#include "engine/fd_read.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace zv::engine {
namespace {

// Frames decoded before an MP3 seek target: the bit reservoir reaches a few
// frames back and the filter bank overlaps the previous frame.
constexpr std::size_t Mp3PrerollFrames = 10;
// Other codecs overlap their neighbours too; 0.2 s covers all we know.
constexpr int ContainerPrerollDivisor = 5;
// A seek this close ahead (in seconds' fraction) just decodes forward.
constexpr int ForwardSkipDivisor = 2;
// Before the first frame has decoded, this many failures in a row mean the
// data is not what the container claims.
constexpr int MaxDecodeErrorsAtOpen = 64;
// Demuxer errors in a row before reading counts as failed.
constexpr int MaxDemuxErrors = 64;
constexpr std::size_t Mp3WindowBytes = 64 * 1024;

// Nested opens would let a playlist or reference file reach other files or
// the network.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

std::string firstName(const char* names)
{
    const std::string all = names ? names : "";
    return all.substr(0, all.find(','));
}

// The layout swresample and comparisons use: native order, or the default
// order for the channel count.
AVChannelLayout normalized(const AVChannelLayout& layout)
{
    AVChannelLayout out {};
    if (layout.order == AV_CHANNEL_ORDER_NATIVE)
        ff().av_channel_layout_from_mask(&out, layout.u.mask);
    else
        ff().av_channel_layout_default(&out, layout.nb_channels);
    return out;
}

bool sameLayout(const AVChannelLayout& a, const AVChannelLayout& b)
{
    const AVChannelLayout na = normalized(a);
    const AVChannelLayout nb = normalized(b);
    return ff().av_channel_layout_compare(&na, &nb) == 0;
}

std::int64_t timestampOf(const AVFrame& frame)
{
    return frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.best_effort_timestamp;
}

} // namespace

FileStream::FileStream(Key, bool decode)
    : Channel(decode)
{
}

FileStream::~FileStream() = default;

std::shared_ptr<FileStream> FileStream::open(const std::string& path, std::uint32_t flags, bool wmaOnly)
{
    auto stream = std::make_shared<FileStream>(Key {}, (flags & StreamDecode) != 0);
    const int error = stream->start(path, (flags & StreamPrescan) != 0, wmaOnly);
    if (error != Ok)
        return fail(error, std::shared_ptr<FileStream> {});
    return stream;
}

int FileStream::start(const std::string& path, bool prescan, bool wmaOnly)
{
    // Non-blocking, so a FIFO does not hang the open; it is refused below.
    m_fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st { };
    if (!m_fd || ::fstat(m_fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return FileOpen;
    m_source.fd = m_fd.get();
    // Leading ID3v2 tags can hold megabytes of pictures, which FFmpeg would
    // probe, load and keep; we need none of their contents.
    m_source.start = Mp3Index::leadingTagBytes(m_fd.get());
    if (::lseek(m_fd.get(), static_cast<off_t>(m_source.start), SEEK_SET) < 0)
        return FileOpen;
    // What starts with an MPEG audio frame is indexed before FFmpeg is asked,
    // so the scan overlaps a load still running in the background. The
    // container decides below whether the index is used.
    std::optional<Mp3Index> index;
    std::uint8_t header[4];
    if (prescan && readAt(m_fd.get(), header, sizeof header, m_source.start) == sizeof header
        && Mp3Index::frameBytesAt(header) > 0)
        index = Mp3Index::build(m_fd.get());
    // Waits here for a load started in the background. An indexed MP3 needs
    // no container (its packets come from the index), so it need not wait
    // for libavformat either.
    if (index && !wmaOnly) {
        if (!ffmpegCodecs())
            return DecoderLibraryMissing;
        if (const int error = openIndexedMp3(std::move(*index)); error != Ok)
            return error;
    } else {
        if (!ffmpegLibrary())
            return DecoderLibraryMissing;
        if (const int error = openContainer(prescan, wmaOnly); error != Ok)
            return error;
    }

    m_packet.reset(ff().av_packet_alloc());
    m_frame.reset(ff().av_frame_alloc());
    if (!m_packet || !m_frame)
        return OutOfMemory;

    // Decode up to the first output to be sure the data is what it claims.
    const Step first = fillPending();
    if (m_source.failed)
        return FileOpen;
    if (first == Step::Failed || (first == Step::End && m_packetsRead > 0 && !m_decodedAny))
        return FileFormat;
    if (m_info.channels == 0) {
        // Valid audio container without a single packet: zero length.
        if (!m_stream)
            return FileFormat;
        const AVCodecParameters& par = *m_stream->codecpar;
        if (par.sample_rate <= 0 || par.ch_layout.nb_channels <= 0)
            return FileFormat;
        m_info.rate = par.sample_rate;
        m_info.channels = par.ch_layout.nb_channels;
        m_layout = normalized(par.ch_layout);
    }
    if (m_length < 0)
        m_length = containerLength();

    setError(Ok);
    return Ok;
}

int FileStream::openIndexedMp3(Mp3Index index)
{
    static constexpr AVCodecID Layers[] = { AV_CODEC_ID_MP1, AV_CODEC_ID_MP2, AV_CODEC_ID_MP3 };
    const AVCodecID id = Layers[index.layer() - 1];
    const AVCodec* codec = ff().avcodec_find_decoder(id);
    if (!codec)
        return FileFormat;
    m_decoder.reset(ff().avcodec_alloc_context3(codec));
    if (!m_decoder)
        return OutOfMemory;
    // Packet timestamps are frame numbers.
    m_decoder->pkt_timebase = AVRational { index.samplesPerFrame(), index.sampleRate() };
    if (ff().avcodec_open2(m_decoder.get(), codec, nullptr) < 0)
        return FileFormat;
    m_info.format = "mp3";
    m_info.codec = ff().avcodec_get_name(id);
    adoptIndex(std::move(index));
    return Ok;
}

void FileStream::adoptIndex(Mp3Index index)
{
    m_length = index.lengthFrames();
    m_index = std::move(index);
    m_window.resize(Mp3WindowBytes + AV_INPUT_BUFFER_PADDING_SIZE);
}

int FileStream::openContainer(bool prescan, bool wmaOnly)
{
    m_io = makeFdIoContext(m_source);
    AVFormatContext* context = ff().avformat_alloc_context();
    if (!m_io || !context) {
        ff().avformat_free_context(context);
        return OutOfMemory;
    }
    context->pb = m_io.get();
    context->io_open = refuseNestedOpen;
    // Frees the context on failure.
    if (ff().avformat_open_input(&context, nullptr, nullptr, nullptr) < 0)
        return m_source.failed ? FileOpen : FileFormat;
    m_format.reset(context);

    m_info.format = firstName(m_format->iformat->name);
    const bool asf = m_info.format == "asf";
    if (wmaOnly && !asf)
        return FileFormat;
    // Whatever the name, a protected file would only decode to noise.
    if (asf && (asfIsProtected(m_fd.get()) || ff().av_dict_get(m_format->metadata, "encryption", nullptr, 0)))
        return WmaProtected;
    // A failure leaves some parameters unknown; the first decoded frame
    // settles whether the stream is usable.
    ff().avformat_find_stream_info(m_format.get(), nullptr);

    const AVCodec* codec = nullptr;
    const int index = ff().av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index == AVERROR_DECODER_NOT_FOUND)
        return wmaOnly ? WmaUnavailable : FileFormat;
    if (index < 0)
        return FileFormat;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (static_cast<int>(i) != index)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    }
    m_stream = m_format->streams[index];

    m_decoder.reset(ff().avcodec_alloc_context3(codec));
    if (!m_decoder)
        return OutOfMemory;
    if (ff().avcodec_parameters_to_context(m_decoder.get(), m_stream->codecpar) < 0)
        return FileFormat;
    m_decoder->pkt_timebase = m_stream->time_base;
    if (ff().avcodec_open2(m_decoder.get(), codec, nullptr) < 0)
        return wmaOnly ? WmaUnavailable : FileFormat;
    m_info.codec = ff().avcodec_get_name(m_stream->codecpar->codec_id);

    const AVCodecID id = m_stream->codecpar->codec_id;
    const bool mpegAudio = id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP1;
    if (m_info.format == "mp3" && mpegAudio) {
        if (prescan) {
            // Frames were found behind something that is not a frame.
            std::optional<Mp3Index> index = Mp3Index::build(m_fd.get());
            if (index && index->sampleRate() == m_stream->codecpar->sample_rate)
                adoptIndex(std::move(*index));
        } else {
            m_length = Mp3Index::taggedLength(m_fd.get());
        }
    }
    return Ok;
}

// The container's idea of the length. For PCM the bytes decide: a header
// that promises more data than the file holds does not count.
std::int64_t FileStream::containerLength() const
{
    const AVCodecParameters& par = *m_stream->codecpar;
    const std::int64_t told = m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0
        ? ff().av_rescale_q(m_stream->duration, m_stream->time_base, AVRational { 1, m_info.rate })
        : -1;
    const std::int64_t size = ff().avio_size(m_format->pb);
    if (ff().av_get_exact_bits_per_sample(par.codec_id) > 0 && par.block_align > 0 && m_firstPacketPos >= 0
        && size > 0) {
        const std::int64_t held = (size - m_firstPacketPos) / par.block_align;
        return told >= 0 ? std::min(told, held) : held;
    }
    if (told >= 0)
        return told;
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        return ff().av_rescale_q(
            m_format->duration, AVRational { 1, AV_TIME_BASE }, AVRational { 1, m_info.rate });
    return -1;
}

const ChannelInfo& FileStream::info() const
{
    return m_info;
}

std::int64_t FileStream::lengthFrames()
{
    // An estimate never stays below what has been delivered.
    return m_length >= 0 ? std::max(m_length, m_position) : m_length;
}

std::int64_t FileStream::positionFrames()
{
    return m_position;
}

std::int64_t FileStream::readFrames(std::int16_t* out, std::size_t frames)
{
    const auto channels = static_cast<std::size_t>(m_info.channels);
    std::size_t done = 0;
    while (done < frames) {
        const Step step = fillPending();
        if (step == Step::Failed)
            return done > 0 ? static_cast<std::int64_t>(done) : -1;
        if (step == Step::End)
            break;
        std::int16_t* to = out + done * channels;
        const auto want = static_cast<std::int64_t>(frames - done);
        std::int64_t took = 0;
        if (m_silence > 0) {
            took = std::min(want, m_silence);
            std::memset(to, 0, static_cast<std::size_t>(took) * channels * sizeof(std::int16_t));
            m_silence -= took;
        } else {
            took = std::min(want, m_pendingFrames);
            std::memcpy(to, m_pending, static_cast<std::size_t>(took) * channels * sizeof(std::int16_t));
            m_pending += took * m_info.channels;
            m_pendingFrames -= took;
        }
        m_position += took;
        done += static_cast<std::size_t>(took);
    }
    return static_cast<std::int64_t>(done);
}

bool FileStream::seekFrames(std::int64_t frame)
{
    if (frame < 0 || (m_index && frame > m_length) || (!m_index && m_length >= 0 && frame > lengthFrames()))
        return fail(BadPosition, false);
    if (frame >= m_position && frame - m_position <= m_info.rate / ForwardSkipDivisor) {
        advanceTo(frame);
    } else if (m_index) {
        const auto target
            = static_cast<std::size_t>((frame + m_index->leadingSkip()) / m_index->samplesPerFrame());
        m_nextMp3Frame = target > Mp3PrerollFrames ? target - Mp3PrerollFrames : 0;
        ff().avcodec_flush_buffers(m_decoder.get());
        clearPending();
        m_position = frame;
    } else if (!seekContainer(frame)) {
        return false;
    }
    const Step step = fillPending();
    if (step == Step::Failed)
        return false;
    if (step == Step::End && m_position > m_length) {
        m_position = m_length;
        return fail(BadPosition, false);
    }
    return true;
}

void FileStream::advanceTo(std::int64_t frame)
{
    std::int64_t ahead = frame - m_position;
    const std::int64_t silent = std::min(ahead, m_silence);
    m_silence -= silent;
    ahead -= silent;
    const std::int64_t skipped = std::min(ahead, m_pendingFrames);
    m_pending += skipped * m_info.channels;
    m_pendingFrames -= skipped;
    // Whatever lies further ahead is dropped as it is decoded.
    m_position = frame;
}

void FileStream::clearPending()
{
    m_silence = 0;
    m_pending = nullptr;
    m_pendingFrames = 0;
}

bool FileStream::seekContainer(std::int64_t frame)
{
    const std::int64_t from = frame - m_info.rate / ContainerPrerollDivisor;
    if (from <= 0 || m_originPts == AV_NOPTS_VALUE) {
        if (!rewind())
            return fail(BadPosition, false);
    } else {
        const std::int64_t ts
            = m_originPts + ff().av_rescale_q(from, AVRational { 1, m_info.rate }, m_stream->time_base);
        if (ff().avformat_seek_file(m_format.get(), m_stream->index, INT64_MIN, ts, ts, 0) >= 0) {
            ff().avcodec_flush_buffers(m_decoder.get());
            m_decodePosition = -1;
        } else if (!rewind()) {
            return fail(BadPosition, false);
        }
    }
    clearPending();
    m_position = frame;
    return true;
}

// Back to the first packet, so the decoder starts as it did at open (its
// priming packets included); positions then count from 0 again.
bool FileStream::rewind()
{
    const std::int64_t start = m_firstPacketTs != AV_NOPTS_VALUE ? m_firstPacketTs
        : m_stream->start_time != AV_NOPTS_VALUE                 ? m_stream->start_time
                                                                 : 0;
    if (ff().avformat_seek_file(m_format.get(), m_stream->index, INT64_MIN, start, start, 0) < 0
        && ff().av_seek_frame(m_format.get(), m_stream->index, start, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    ff().avcodec_flush_buffers(m_decoder.get());
    clearPending();
    m_decodePosition = 0;
    return true;
}

std::int64_t FileStream::framesOf(std::int64_t timestamp) const
{
    return ff().av_rescale_q_rnd(timestamp - m_originPts, m_stream->time_base, AVRational { 1, m_info.rate },
        static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

// Decodes until output for m_position waits, dropping what lies before it.
FileStream::Step FileStream::fillPending()
{
    while (m_silence == 0 && m_pendingFrames == 0) {
        const Step step = decodeFrame();
        if (step == Step::Failed)
            return step;
        if (step == Step::End) {
            if (m_index) {
                // Frames that failed to decode at the very end still count.
                if (m_position < m_length) {
                    m_silence = m_length - m_position;
                    continue;
                }
                return step;
            }
            if (m_decodePosition < 0) {
                // A seek landed at the end: find the real end from the start.
                if (!rewind())
                    return fail(DecodeFailed, Step::Failed);
                continue;
            }
            m_length = m_decodePosition;
            return step;
        }
        if (m_info.channels == 0)
            adoptFormat(*m_frame);
        if (!convertFrame())
            return fail(DecodeFailed, Step::Failed);

        std::int64_t start = 0;
        if (m_index) {
            start = m_frame->pts * m_index->samplesPerFrame() - m_index->leadingSkip();
        } else if (m_decodePosition >= 0) {
            start = m_decodePosition;
        } else {
            const std::int64_t ts = timestampOf(*m_frame);
            start = ts != AV_NOPTS_VALUE ? framesOf(ts) : m_position + 1;
            // Coarse timestamps miss by a few samples; fixed-size frames lie
            // on a grid from the first one.
            if (m_frameGrid > 0 && start >= 0 && m_frame->nb_samples == m_frameGrid)
                start = (start + m_frameGrid / 2) / m_frameGrid * m_frameGrid;
            if (start > m_position) {
                // Landed after the target (or cannot tell): decode from the start.
                if (!rewind())
                    return fail(DecodeFailed, Step::Failed);
                continue;
            }
        }
        std::int64_t end = start + m_pendingFrames;
        if (m_index)
            end = std::min(end, m_length);
        else
            m_decodePosition = end;
        if (end <= m_position) {
            clearPending();
            continue;
        }
        // Only an MP3 frame that failed to decode leaves a gap.
        if (start > m_position)
            m_silence = start - m_position;
        const std::int64_t skip = std::max<std::int64_t>(0, m_position - start);
        m_pending += skip * m_info.channels;
        m_pendingFrames = end - start - skip;
    }
    return Step::Ready;
}

void FileStream::adoptFormat(const AVFrame& frame)
{
    m_info.rate = frame.sample_rate;
    m_info.channels = frame.ch_layout.nb_channels;
    m_layout = normalized(frame.ch_layout);
    if (m_index)
        return;
    m_originPts = timestampOf(frame);
    // WMA 1 and 2 decode every packet into frames of one fixed size, while
    // ASF gives times in milliseconds only.
    const AVCodecID id = m_stream->codecpar->codec_id;
    if ((id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2)
        && av_cmp_q(m_stream->time_base, AVRational { 1, frame.sample_rate }) > 0)
        m_frameGrid = frame.nb_samples;
}

// Points m_pending at the frame's samples as interleaved 16-bit PCM in the
// output's layout and rate, converting only when they are not already.
bool FileStream::convertFrame()
{
    const AVFrame& frame = *m_frame;
    if (frame.format == AV_SAMPLE_FMT_S16 && frame.sample_rate == m_info.rate
        && sameLayout(frame.ch_layout, m_layout)) {
        m_pending = reinterpret_cast<const std::int16_t*>(frame.data[0]);
        m_pendingFrames = frame.nb_samples;
        return true;
    }
    if (!prepareResampler(frame))
        return false;
    const int capacity = ff().swr_get_out_samples(m_resampler.get(), frame.nb_samples);
    if (capacity < 0)
        return false;
    const auto needed = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(m_info.channels);
    if (m_pcm.size() < needed)
        m_pcm.resize(needed);
    std::uint8_t* out[] = { reinterpret_cast<std::uint8_t*>(m_pcm.data()) };
    const int got = ff().swr_convert(m_resampler.get(), out, capacity,
        const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (got < 0)
        return false;
    m_pending = m_pcm.data();
    m_pendingFrames = got;
    return true;
}

// Set up once, and again only if the decoder's output format changes in
// mid-stream (an MP3 switching between mono and stereo).
bool FileStream::prepareResampler(const AVFrame& frame)
{
    AVChannelLayout layout = normalized(frame.ch_layout);
    if (m_resampler && frame.format == m_resamplerFormat && frame.sample_rate == m_resamplerRate
        && ff().av_channel_layout_compare(&layout, &m_resamplerLayout) == 0)
        return true;
    SwrContext* context = nullptr;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    if (ff().swr_alloc_set_opts2(&context, &m_layout, AV_SAMPLE_FMT_S16, m_info.rate, &layout, format,
            frame.sample_rate, 0, nullptr)
        < 0)
        return false;
    m_resampler.reset(context);
    if (ff().swr_init(context) < 0) {
        m_resampler.reset();
        return false;
    }
    m_resamplerFormat = format;
    m_resamplerLayout = layout;
    m_resamplerRate = frame.sample_rate;
    return true;
}

FileStream::Step FileStream::decodeFrame()
{
    for (;;) {
        int rc = ff().avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (rc == 0) {
            m_decodeErrors = 0;
            m_decodedAny = true;
            return Step::Ready;
        }
        if (rc == AVERROR_EOF)
            return Step::End;
        if (rc != AVERROR(EAGAIN)) {
            // A damaged packet: the decoder has dropped it; go on.
            if (++m_decodeErrors > MaxDecodeErrorsAtOpen && !m_decodedAny)
                return fail(FileFormat, Step::Failed);
            continue;
        }
        const Step step = readPacket();
        if (step == Step::Failed)
            return step;
        if (step == Step::End) {
            ff().avcodec_send_packet(m_decoder.get(), nullptr);
            continue;
        }
        rc = ff().avcodec_send_packet(m_decoder.get(), m_packet.get());
        ff().av_packet_unref(m_packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF && ++m_decodeErrors > MaxDecodeErrorsAtOpen
            && !m_decodedAny)
            return fail(FileFormat, Step::Failed);
    }
}

FileStream::Step FileStream::readPacket()
{
    if (m_index)
        return readMp3Packet();
    for (int errors = 0;;) {
        const int rc = ff().av_read_frame(m_format.get(), m_packet.get());
        if (rc >= 0) {
            if (m_packet->stream_index != m_stream->index) {
                ff().av_packet_unref(m_packet.get());
                continue;
            }
            if (m_packetsRead == 0) {
                m_firstPacketPos = m_packet->pos;
                m_firstPacketTs = m_packet->pts != AV_NOPTS_VALUE ? m_packet->pts : m_packet->dts;
            }
            ++m_packetsRead;
            return Step::Ready;
        }
        if (m_source.failed)
            return fail(DecodeFailed, Step::Failed);
        if (rc == AVERROR_EOF || ff().avio_feof(m_format->pb))
            return Step::End;
        if (rc != AVERROR(EAGAIN) && ++errors > MaxDemuxErrors)
            return fail(DecodeFailed, Step::Failed);
    }
}

// The next indexed frame as a packet whose pts is its frame number. The data
// stays in m_window; the decoder copies it.
FileStream::Step FileStream::readMp3Packet()
{
    if (m_nextMp3Frame >= m_index->frameCount())
        return Step::End;
    const std::int64_t offset = m_index->frameOffset(m_nextMp3Frame);
    const auto inWindow = [&](std::size_t bytes) {
        return offset >= m_windowOffset
            && offset + static_cast<std::int64_t>(bytes)
            <= m_windowOffset + static_cast<std::int64_t>(m_windowBytes);
    };
    const auto load = [&] {
        const std::int64_t got = readAt(m_fd.get(), m_window.data(), Mp3WindowBytes, offset);
        m_windowOffset = offset;
        m_windowBytes = got > 0 ? static_cast<std::size_t>(got) : 0;
    };
    if (!inWindow(4))
        load();
    const int bytes = inWindow(4) ? Mp3Index::frameBytesAt(m_window.data() + (offset - m_windowOffset)) : 0;
    if (bytes > 0 && !inWindow(static_cast<std::size_t>(bytes)))
        load();
    // The file changed or cannot be read since it was indexed.
    if (bytes == 0 || !inWindow(static_cast<std::size_t>(bytes)))
        return fail(DecodeFailed, Step::Failed);
    std::uint8_t* data = m_window.data() + (offset - m_windowOffset);
    m_packet->data = data;
    m_packet->size = bytes;
    m_packet->pts = static_cast<std::int64_t>(m_nextMp3Frame);
    m_packet->dts = m_packet->pts;
    ++m_nextMp3Frame;
    ++m_packetsRead;
    return Step::Ready;
}

} // namespace zv::engine
