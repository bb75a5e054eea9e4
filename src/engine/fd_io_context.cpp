#include "engine/fd_io_context.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::engine {
namespace {

constexpr int BufferBytes = 64 * 1024;

int readPacket(void* opaque, std::uint8_t* buffer, int bytes)
{
    auto* source = static_cast<FdSource*>(opaque);
    for (;;) {
        const ssize_t got = ::read(source->fd, buffer, static_cast<std::size_t>(bytes));
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return AVERROR_EOF;
        if (errno != EINTR) {
            source->failed = true;
            return AVERROR(errno);
        }
    }
}

std::int64_t seek(void* opaque, std::int64_t offset, int whence)
{
    auto* source = static_cast<FdSource*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st { };
        if (::fstat(source->fd, &st) != 0)
            return AVERROR(errno);
        return st.st_size - source->start;
    }
    whence &= ~AVSEEK_FORCE;
    if (whence == SEEK_SET)
        offset += source->start;
    const off_t at = ::lseek(source->fd, static_cast<off_t>(offset), whence);
    return at < 0 ? AVERROR(errno) : at - source->start;
}

} // namespace

IoContextPtr makeFdIoContext(FdSource& source)
{
    auto* buffer = static_cast<unsigned char*>(ff().av_malloc(BufferBytes));
    if (!buffer)
        return nullptr;
    AVIOContext* context
        = ff().avio_alloc_context(buffer, BufferBytes, 0, &source, readPacket, nullptr, seek);
    if (!context) {
        ff().av_free(buffer);
        return nullptr;
    }
    return IoContextPtr(context);
}

} // namespace zv::engine
