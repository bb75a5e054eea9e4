#pragma once
// SDL2, loaded when the first output device opens rather than at program
// start: its libraries cost a command-line cut on the no-sound device a
// measurable share of its run time.

#include <SDL.h>

namespace zv::engine {

struct SdlLibrary {
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
};

// Loads SDL2 once (any thread) and keeps it for the process's life; nullptr
// when the library or one of its functions cannot be found.
const SdlLibrary* sdlLibrary();

} // namespace zv::engine
