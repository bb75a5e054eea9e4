#pragma once
// SDL's default audio output, opened at the given rate in stereo 16-bit
// (SDL converts if the hardware wants otherwise). SDL_AUDIODRIVER chooses the
// driver: the dummy and disk drivers serve headless machines and tests.

#include "engine/device.h"

#include <SDL.h>

#include <memory>

namespace zv::engine {

class SdlDevice final : public Device {
    struct Key {
        explicit Key() = default;
    };

public:
    // nullptr with NoDevice recorded when SDL has no output to give.
    static std::unique_ptr<SdlDevice> open(int rate, Pull pull);
    SdlDevice(Key, Pull pull);
    ~SdlDevice() override;

private:
    // The audio subsystem, held for as long as the device is open.
    class Subsystem {
    public:
        Subsystem();
        ~Subsystem();
        Subsystem(const Subsystem&) = delete;
        Subsystem& operator=(const Subsystem&) = delete;
        bool ready() const { return m_ready; }

    private:
        bool m_ready;
    };

    static void SDLCALL callback(void* self, Uint8* stream, int bytes);

    Pull m_pull;
    Subsystem m_subsystem;
    SDL_AudioDeviceID m_device = 0; // closed before the subsystem quits
};

} // namespace zv::engine
