#include "engine/sdl_device.h"

#include "engine/engine.h"
#include "engine/error.h"
#include "engine/sdl_library.h"

namespace zv::engine {
namespace {

// About 12 ms at 44.1 kHz: the sound lags a pull by at most this much.
constexpr Uint16 PullFrames = 512;
constexpr int FrameBytes = 4;

} // namespace

SdlDevice::Subsystem::Subsystem()
    : m_ready(sdlLibrary() && sdlLibrary()->InitSubSystem(SDL_INIT_AUDIO) == 0)
{
}

SdlDevice::Subsystem::~Subsystem()
{
    if (m_ready)
        sdlLibrary()->QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<SdlDevice> SdlDevice::open(int rate, Pull pull)
{
    auto device = std::make_unique<SdlDevice>(Key {}, std::move(pull));
    if (!device->m_subsystem.ready())
        return fail(NoDevice, std::unique_ptr<SdlDevice> {});
    SDL_AudioSpec wanted {};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = PullFrames;
    wanted.callback = &SdlDevice::callback;
    wanted.userdata = device.get();
    SDL_AudioSpec obtained {};
    device->m_device = sdlLibrary()->OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device->m_device == 0)
        return fail(NoDevice, std::unique_ptr<SdlDevice> {});
    sdlLibrary()->PauseAudioDevice(device->m_device, 0);
    return device;
}

SdlDevice::SdlDevice(Key, Pull pull)
    : m_pull(std::move(pull))
{
}

SdlDevice::~SdlDevice()
{
    // Waits for SDL's thread, so no pull runs afterwards.
    if (m_device != 0)
        sdlLibrary()->CloseAudioDevice(m_device);
}

void SDLCALL SdlDevice::callback(void* self, Uint8* stream, int bytes)
{
    static_cast<SdlDevice*>(self)->m_pull(
        reinterpret_cast<std::int16_t*>(stream), static_cast<std::size_t>(bytes / FrameBytes));
}

} // namespace zv::engine
