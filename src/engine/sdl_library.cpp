#include "engine/sdl_library.h"

#include <dlfcn.h>

namespace zv::engine {
namespace {

template <typename F> bool bind(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const SdlLibrary* load()
{
    // SDL2's stable soname; never closed, as SDL keeps threads and handlers.
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    static SdlLibrary sdl;
    const bool complete = bind(library, "SDL_InitSubSystem", sdl.InitSubSystem)
        && bind(library, "SDL_QuitSubSystem", sdl.QuitSubSystem)
        && bind(library, "SDL_OpenAudioDevice", sdl.OpenAudioDevice)
        && bind(library, "SDL_PauseAudioDevice", sdl.PauseAudioDevice)
        && bind(library, "SDL_CloseAudioDevice", sdl.CloseAudioDevice);
    return complete ? &sdl : nullptr;
}

} // namespace

const SdlLibrary* sdlLibrary()
{
    static const SdlLibrary* const sdl = load();
    return sdl;
}

} // namespace zv::engine
