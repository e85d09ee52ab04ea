// The null audio output: no device and no thread. The engine's samples go only to whoever calls
// AudioEngine::RenderOffline, which is how tests and tools hear the graph.
// Provides: one "device" of the configured channel count in 32-bit float at any sample rate.
// Limitations: nothing plays by itself; time advances only as frames are rendered.

#include <new>

#include "platform/audio/backend/AudioOutput.h"

namespace platform {

namespace {

class OfflineAudioOutput final : public AudioOutput {
public:
    explicit OfflineAudioOutput(std::uint32_t channels) : m_channels(channels) {}

    HRESULT Initialise() override { return S_OK; }
    std::uint32_t GetDeviceCount() override { return 1; }

    HRESULT GetDeviceDetails(std::uint32_t index, DeviceDetails* details) override {
        if (index != 0) {
            return E_INVALIDARG;
        }
        const std::uint16_t channels = static_cast<std::uint16_t>(m_channels);
        details->DisplayName = "Offline renderer";
        details->OutputFormat = {WAVE_FORMAT_IEEE_FLOAT,
                                 channels,
                                 44100,
                                 44100u * 4u * channels,
                                 static_cast<std::uint16_t>(4 * channels),
                                 32,
                                 0};
        return S_OK;
    }

    HRESULT Open(std::uint32_t index, std::uint32_t /*sampleRate*/, std::uint32_t channels,
                 RenderFunction /*render*/, void* /*context*/,
                 std::uint32_t* openedChannels) override {
        if (index != 0) {
            return E_INVALIDARG;
        }
        *openedChannels = channels ? channels : m_channels;
        return S_OK;
    }

    void Close() override {}
    bool IsOffline() const override { return true; }

private:
    const std::uint32_t m_channels;
};

}  // namespace

std::unique_ptr<AudioOutput> CreateOfflineAudioOutput(std::uint32_t channels) {
    return std::unique_ptr<AudioOutput>(new (std::nothrow) OfflineAudioOutput(channels));
}

}  // namespace platform
