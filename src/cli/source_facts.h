#pragma once
// What the CLI tells about a source, read the way the program reads it.

#include "engine/engine.h"

#include <cstdint>
#include <string>

struct TSourceFacts {
    // The length the player shows: the exact (prescanned) length, rounded
    // to whole milliseconds, halves to even.
    std::uint32_t LengthMs = 0;
    int Rate = 0;
    int Channels = 0;
    std::string Format; // the engine's container name
};

// Needs an initialised engine. Throws AppError.
TSourceFacts ReadSourceFacts(const std::string& path);
// The same of a source the caller opened (a prescanned decode stream), which
// stays open.
TSourceFacts ReadSourceFacts(zv::engine::Handle stream);
