#pragma once
// One block of the output as the mixing thread renders it.

#include <cstddef>
#include <cstdint>

namespace zv::engine {

struct MixBlock {
    float* sum; // interleaved stereo, frames frames
    std::size_t frames;
    std::int64_t firstFrame; // output frame number of sum's first frame
    std::int64_t heardFrame; // output frame being heard as the block started
    // Output frame at which the callback running now fired; a channel it
    // starts begins there.
    std::int64_t cursor;
};

} // namespace zv::engine
