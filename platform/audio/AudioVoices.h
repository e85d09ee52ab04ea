#pragma once
// The voices of the audio graph. Source voices play queued buffers of 16-bit mono samples, submix
// voices sum what is sent to them and run their effect chain over it, and the mastering voice
// hands the mix to the output. Every operation may be called from any thread, the audio thread's
// voice callbacks included.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace platform {

class AudioEngine;

class Voice {
public:
    // Linear gain applied after the effect chain; above 1 amplifies.
    HRESULT SetVolume(float volume, std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    void GetVolume(float* volume) const;

    // Replaces the effect chain (null removes it). The voice takes a reference to each effect.
    HRESULT SetEffectChain(const EffectChain* chain);
    HRESULT EnableEffect(std::uint32_t index, std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    // A disabled effect passes its input through unchanged.
    HRESULT DisableEffect(std::uint32_t index, std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    HRESULT SetEffectParameters(std::uint32_t index, const void* parameters, std::uint32_t bytes,
                                std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    HRESULT GetEffectParameters(std::uint32_t index, void* parameters, std::uint32_t bytes) const;

    // Removes the voice from the graph and frees it. No callback comes after this returns.
    // Fails (and keeps the voice) while other voices still send to it.
    HRESULT DestroyVoice();

    std::uint32_t Channels() const { return m_channels; }

protected:
    enum class Kind { Source, Submix, Mastering };
    Voice(AudioEngine& engine, Kind kind, std::uint32_t channels, std::uint32_t stage);
    virtual ~Voice();

    // Applies the enabled effects and the volume to m_input, in place.
    void ProcessInput(std::uint32_t frames);
    // Adds frames of this voice's output to the inputs of its destinations.
    void Send(const float* output, std::uint32_t frames) const;

    struct EffectSlot {
        AudioEffect* effect;
        bool enabled;
    };

    AudioEngine& m_engine;
    const Kind m_kind;
    const std::uint32_t m_channels;
    const std::uint32_t m_stage;
    float m_volume = 1.0f;
    std::vector<EffectSlot> m_effects;
    std::vector<Voice*> m_sends;
    std::vector<float> m_input;  // one block of interleaved input (submix and mastering voices)
    bool m_destroyed = false;    // destroyed during a render pass, freed after it

    friend class AudioEngine;
};

class SourceVoice : public Voice {
public:
    HRESULT Start(std::uint32_t flags = 0, std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    // Pauses playback where it is; Start resumes from there.
    HRESULT Stop(std::uint32_t flags = 0, std::uint32_t operationSet = XAUDIO2_COMMIT_NOW);
    HRESULT SubmitSourceBuffer(const AudioBuffer* buffer, const void* bufferWma = nullptr);
    // Drops every queued buffer but the one playing (all of them while stopped), without calling
    // back for the dropped ones.
    HRESULT FlushSourceBuffers();
    void GetState(VoiceState* state) const;

private:
    SourceVoice(AudioEngine& engine, VoiceCallback* callback);

    struct QueuedBuffer {
        AudioBuffer desc;
        std::uint32_t playEnd;  // sample index one past the play region
        std::uint32_t loopEnd;  // sample index one past the loop region
    };

    // Plays up to frames samples into out (which it zeroes first), calling back as it goes.
    void Render(float* out, std::uint32_t frames);
    QueuedBuffer& Front() { return m_queue[m_head]; }
    void PopFront();

    VoiceCallback* const m_callback;
    std::array<QueuedBuffer, XAUDIO2_MAX_QUEUED_BUFFERS> m_queue{};
    std::uint32_t m_head = 0;
    std::uint32_t m_count = 0;
    bool m_started = false;
    bool m_frontStarted = false;  // OnBufferStart has been sent for the front buffer
    std::uint32_t m_position = 0;
    std::uint32_t m_loopsLeft = 0;
    std::uint64_t m_samplesPlayed = 0;

    friend class AudioEngine;
};

class SubmixVoice : public Voice {
private:
    using Voice::Voice;
    friend class AudioEngine;
};

class MasteringVoice : public Voice {
private:
    using Voice::Voice;
    friend class AudioEngine;
};

}  // namespace platform
