#pragma once
// Positioned reads that do not give up on interrupted or short reads.

#include <cstddef>
#include <cstdint>

namespace zv::engine {

// Reads up to bytes bytes at offset, fewer only at the end of the file.
// Returns the bytes read, or -1 with errno set on a read error. Leaves the
// descriptor's file offset alone.
std::int64_t readAt(int fd, void* buffer, std::size_t bytes, std::int64_t offset);

} // namespace zv::engine
