// The real audio output: SDL2's audio device, pulled by SDL's audio thread.
// Provides: the output devices SDL lists, with index 0 standing for the desktop's default output;
// 32-bit float samples at the engine's rate, converted by SDL to whatever the device takes; a
// device buffer of 256 frames so that a struck key is heard at once.
// Limitations: at most two output channels (a mono mix gains nothing from more); when no device
// can be opened the output falls back to SDL's silent "dummy" driver, which keeps time like a
// device, so every voice still plays, ends and frees itself.
// Depends on: SDL2 (audio subsystem only). SDL_AUDIODRIVER, when set, chooses the driver
// ("disk" with SDL_DISKAUDIOFILE records the output); otherwise PipeWire, PulseAudio and ALSA
// are tried in that order, as the first honours small buffers best.

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/audio/backend/AudioOutput.h"
#include "platform/audio/AudioEngine.h"

namespace platform {

namespace {

constexpr Uint16 kDeviceBufferFrames = 256;
constexpr const char* kPreferredDrivers = "pipewire,pulseaudio,alsa";

WaveFormat FormatOf(const SDL_AudioSpec& spec) {
    const std::uint16_t bits = static_cast<std::uint16_t>(SDL_AUDIO_BITSIZE(spec.format));
    const std::uint16_t align = static_cast<std::uint16_t>(bits / 8 * spec.channels);
    const std::uint16_t tag = SDL_AUDIO_ISFLOAT(spec.format) ? WAVE_FORMAT_IEEE_FLOAT
                                                             : WAVE_FORMAT_PCM;
    return {tag,  spec.channels, static_cast<std::uint32_t>(spec.freq),
            static_cast<std::uint32_t>(spec.freq) * align, align, bits, 0};
}

class SdlAudioOutput final : public AudioOutput {
public:
    ~SdlAudioOutput() override {
        Close();
        if (m_subsystem) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }

    HRESULT Initialise() override {
        const char* chosen = std::getenv("SDL_AUDIODRIVER");
        if (!chosen || !*chosen) {
            SDL_SetHint(SDL_HINT_AUDIODRIVER, kPreferredDrivers);
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 && !InitDummy()) {
            std::fprintf(stderr, "tovel: the audio system could not be started: %s\n",
                         SDL_GetError());
            return E_FAIL;
        }
        m_subsystem = true;
        return S_OK;
    }

    std::uint32_t GetDeviceCount() override {
        return 1 + static_cast<std::uint32_t>(std::max(0, SDL_GetNumAudioDevices(0)));
    }

    HRESULT GetDeviceDetails(std::uint32_t index, DeviceDetails* details) override {
        if (index >= GetDeviceCount()) {
            return E_INVALIDARG;
        }
        SDL_AudioSpec spec{};
        if (index == 0) {
            char* name = nullptr;
            if (SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0) {
                details->DisplayName = name ? name : "Default output";
                SDL_free(name);
            } else {
                // Drivers that cannot describe their default take whatever SDL converts to.
                details->DisplayName = "Default output";
                spec.freq = 44100;
                spec.format = AUDIO_S16SYS;
                spec.channels = 2;
            }
        } else {
            const int sdlIndex = static_cast<int>(index) - 1;
            const char* name = SDL_GetAudioDeviceName(sdlIndex, 0);
            details->DisplayName = name ? name : "";
            if (SDL_GetAudioDeviceSpec(sdlIndex, 0, &spec) != 0) {
                spec = SDL_AudioSpec{};
            }
        }
        details->OutputFormat = FormatOf(spec);
        return S_OK;
    }

    HRESULT Open(std::uint32_t index, std::uint32_t sampleRate, std::uint32_t channels,
                 RenderFunction render, void* context, std::uint32_t* openedChannels) override {
        if (m_device) {
            return E_FAIL;
        }
        DeviceDetails details;
        if (FAILED(GetDeviceDetails(index, &details))) {
            return E_INVALIDARG;
        }
        std::string name;
        if (index > 0) {
            name = details.DisplayName;
        }
        if (channels == 0) {
            channels = std::clamp<std::uint32_t>(details.OutputFormat.nChannels, 1, 2);
        }
        m_render = render;
        m_context = context;
        m_channels = channels;

        SDL_AudioSpec want{};
        want.freq = static_cast<int>(sampleRate);
        want.format = AUDIO_F32SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = kDeviceBufferFrames;
        want.callback = &SdlAudioOutput::Pull;
        want.userdata = this;
        SDL_AudioSpec have{};
        m_device = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &want, &have, 0);
        if (!m_device) {
            std::fprintf(stderr, "tovel: no audio output could be opened (%s); playing silently\n",
                         SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            m_subsystem = InitDummy();
            if (m_subsystem) {
                m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
            }
            if (!m_device) {
                return E_FAIL;
            }
        }
        *openedChannels = channels;
        SDL_PauseAudioDevice(m_device, 0);
        return S_OK;
    }

    void Close() override {
        if (m_device) {
            SDL_CloseAudioDevice(m_device);
            m_device = 0;
        }
    }

    bool IsOffline() const override { return false; }

private:
    static bool InitDummy() {
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }

    static void SDLCALL Pull(void* userdata, Uint8* stream, int bytes) {
        auto* self = static_cast<SdlAudioOutput*>(userdata);
        // Silence unless the engine has a mastering voice to render.
        SDL_memset(stream, 0, static_cast<std::size_t>(bytes));
        const auto frames = static_cast<std::uint32_t>(bytes) / (4u * self->m_channels);
        self->m_render(self->m_context, reinterpret_cast<float*>(stream), frames);
    }

    bool m_subsystem = false;
    SDL_AudioDeviceID m_device = 0;
    RenderFunction m_render = nullptr;
    void* m_context = nullptr;
    std::uint32_t m_channels = 2;
};

}  // namespace

std::unique_ptr<AudioOutput> CreateSdlAudioOutput() {
    return std::unique_ptr<AudioOutput>(new (std::nothrow) SdlAudioOutput());
}

std::string CurrentAudioDriver() {
    const char* driver = SDL_GetCurrentAudioDriver();
    return driver ? driver : "";
}

}  // namespace platform
