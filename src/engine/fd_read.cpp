#include "engine/fd_read.h"

#include <cerrno>
#include <unistd.h>

namespace zv::engine {

std::int64_t readAt(int fd, void* buffer, std::size_t bytes, std::int64_t offset)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got
            = ::pread(fd, out + done, bytes - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

} // namespace zv::engine
