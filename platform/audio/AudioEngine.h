#pragma once
// The audio engine: a graph of voices mixed at one sample rate into an output.
//
// Provides: a mastering voice on the SDL output device (or on no device, for offline rendering),
// mono or multichannel submix voices with effect chains, 16-bit mono PCM source voices with
// queued, looping buffers and sample-exact callbacks on the audio thread, linear volumes.
// Limitations: no sample-rate conversion or pitch change (every voice runs at the engine's rate);
// a voice sends either to a voice of its own channel count or, from mono, to every channel of its
// destination; source formats other than 16-bit mono PCM are refused; filters are accepted but
// always fully open; flushed buffers get no OnBufferEnd.
// Depends on: SDL2's audio subsystem (device backend only).
//
// Threads: one recursive lock guards the whole graph. The audio thread holds it for a render pass
// of at most kBlockFrames frames, so a call from another thread waits at most that long, and a
// voice callback may call back into the engine. The device is opened and closed without it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"
#include "platform/audio/AudioVoices.h"
#include "platform/base/RefCounted.h"

namespace platform {

class AudioOutput;

// Which output an engine created from now on uses: the audio device, none (offline rendering
// through RenderOffline, with the given channel count as the "device" format), or no audio system
// at all (Create fails, as on a machine without one).
enum class AudioBackend { Device, Offline, Unavailable };
struct AudioBackendChoice {
    AudioBackend backend = AudioBackend::Device;
    std::uint32_t offlineChannels = 2;
};
// Makes the choice and hands back the previous one, for the caller to put back.
AudioBackendChoice SetAudioBackend(AudioBackend backend, std::uint32_t offlineChannels = 2);

// The name of the audio driver the device backend has open ("pipewire", "pulseaudio", "disk"...),
// or empty when none is.
std::string CurrentAudioDriver();

class AudioEngine : public RefCounted {
public:
    static constexpr std::uint32_t kBlockFrames = 256;  // frames per render pass

    // A new, uninitialised engine on the backend chosen by SetAudioBackend, with one reference.
    static HRESULT Create(AudioEngine** engine);

    HRESULT Initialize(std::uint32_t flags = 0, std::uint32_t processor = XAUDIO2_ANY_PROCESSOR);
    HRESULT GetDeviceCount(std::uint32_t* count);
    HRESULT GetDeviceDetails(std::uint32_t index, DeviceDetails* details);

    HRESULT CreateMasteringVoice(MasteringVoice** voice,
                                 std::uint32_t channels = XAUDIO2_DEFAULT_CHANNELS,
                                 std::uint32_t sampleRate = XAUDIO2_DEFAULT_SAMPLERATE,
                                 std::uint32_t flags = 0, std::uint32_t deviceIndex = 0,
                                 const EffectChain* chain = nullptr);
    HRESULT CreateSubmixVoice(SubmixVoice** voice, std::uint32_t channels, std::uint32_t sampleRate,
                              std::uint32_t flags = 0, std::uint32_t processingStage = 0,
                              const VoiceSends* sends = nullptr,
                              const EffectChain* chain = nullptr);
    HRESULT CreateSourceVoice(SourceVoice** voice, const WaveFormat* format, std::uint32_t flags,
                              float maxFrequencyRatio, VoiceCallback* callback,
                              const VoiceSends* sends = nullptr,
                              const EffectChain* chain = nullptr);

    // Offline backend only: renders frames of the mastering voice's output (interleaved, its
    // channel count) exactly as a device would have been given them.
    HRESULT RenderOffline(float* out, std::uint32_t frames);
    bool IsOffline() const;

private:
    explicit AudioEngine(std::unique_ptr<AudioOutput> output);
    ~AudioEngine() override;

    static void RenderCallback(void* context, float* out, std::uint32_t frames);
    void Render(float* out, std::uint32_t frames);
    void RenderBlock(float* out, std::uint32_t frames);
    HRESULT ResolveSends(const VoiceSends* sends, Voice& voice);
    void Remove(Voice& voice);
    void DestroyAll();

    std::unique_ptr<AudioOutput> m_output;
    mutable std::recursive_mutex m_mutex;
    bool m_initialised = false;
    bool m_rendering = false;
    bool m_opening = false;  // a mastering voice's device is being opened
    std::uint32_t m_sampleRate = 0;
    MasteringVoice* m_master = nullptr;
    std::vector<SourceVoice*> m_sources;
    std::vector<SubmixVoice*> m_submixes;  // in ascending processing stage
    std::vector<float> m_scratch;          // one block of one source voice's output

    friend class Voice;
    friend class SourceVoice;
};

}  // namespace platform
