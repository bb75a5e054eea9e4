#pragma once
// Feeds libavformat from a file we opened ourselves, so FFmpeg never sees a
// file name: no protocol, option or pattern in a name can take effect.

#include "engine/ffmpeg_handles.h"

#include <cstdint>

namespace zv::engine {

// State the I/O callbacks share with their owner. Must outlive the context.
struct FdSource {
    int fd = -1;
    std::int64_t start = 0; // FFmpeg sees the file from here on
    bool failed = false; // a read failed for a reason other than the end
};

// A read-only, seekable context over source.fd (which it does not own) from
// source.start on, or nullptr when out of memory. The descriptor's offset
// must stand at source.start.
IoContextPtr makeFdIoContext(FdSource& source);

} // namespace zv::engine
