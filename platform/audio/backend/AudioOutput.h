#pragma once
// Where the mastering voice's samples go: a real output device, or nowhere (offline rendering,
// where the caller pulls the samples itself).

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <cstdint>
#include <memory>

#include "platform/audio/AudioTypes.h"

namespace platform {

class AudioOutput {
public:
    // Called on the output's own thread to fill frames * channels interleaved floats.
    using RenderFunction = void (*)(void* context, float* out, std::uint32_t frames);

    virtual ~AudioOutput() = default;
    virtual HRESULT Initialise() = 0;
    virtual std::uint32_t GetDeviceCount() = 0;
    virtual HRESULT GetDeviceDetails(std::uint32_t index, DeviceDetails* details) = 0;
    // Opens device `index` at sampleRate with `channels` (0: the device's own, at most two) and
    // starts pulling from render. Reports the channel count in use.
    virtual HRESULT Open(std::uint32_t index, std::uint32_t sampleRate, std::uint32_t channels,
                         RenderFunction render, void* context, std::uint32_t* openedChannels) = 0;
    // Returns once no render call is running and none will come.
    virtual void Close() = 0;
    // True when nothing pulls the samples but the engine's RenderOffline caller.
    virtual bool IsOffline() const = 0;
};

std::unique_ptr<AudioOutput> CreateSdlAudioOutput();
std::unique_ptr<AudioOutput> CreateOfflineAudioOutput(std::uint32_t channels);

}  // namespace platform
