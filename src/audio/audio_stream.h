#pragma once
// Opens every audio file the program reads.

#include "engine/engine.h"

#include <cstdint>
#include <string>

// flags: 0 (playable) or zv::engine::StreamDecode; prescan adds exact seeking.
// Names ending in ".wma" (any case) go to the WMA opener. Never returns 0:
// throws AppError with the user's message, "(", the engine's code, ")".
zv::engine::Handle OpenAudioStream(const std::string& fileName, std::uint32_t flags, bool prescan);
