#pragma once
// One of the synthesizer's ten voices. A note loops one waveform period in buffers of about
// 0.2 s; every finished buffer halves the gain and spends 0.2 of the note's energy, and the note
// ends once the energy runs out. Holding the key feeds the energy.
//
// Threads: Play, Sustain, ReleaseNote and ReleaseEndedWave run on the threads that play notes
// (the user-interface thread, and a key listener's), one at a time: their caller serialises
// them. The callbacks run on the audio thread. m_wave, m_energy and m_buffer.Flags are the values
// both sides touch; every access to them is atomic, and the energy changes are atomic
// read-modify-writes, so that neither side's update is lost. No lock is taken here, and the audio
// thread takes none. The waveform set a note comes from is kept alive by the voice (m_heldWave)
// and let go of by the playing side once the note has ended, so the audio thread never frees it
// and never reads freed samples.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/audio/AudioTypes.h"
#include "platform/audio/AudioVoices.h"
#include "synth/NoteWave.h"

class CPlayTask : public platform::VoiceCallback {
public:
    static constexpr float kStartEnergy = 0.5f;
    static constexpr float kReleaseEnergy = 0.5f;
    static constexpr float kStartGain = 2.0f;
    static constexpr float kGainPerBuffer = 0.5f;
    // Gained per second of held key, and spent per finished buffer (the single-precision values,
    // widened: the energy arithmetic runs in double and is stored back as float).
    static constexpr double kSustainPerSecond = static_cast<double>(0.9f);
    static constexpr double kEnergyPerBuffer = static_cast<double>(0.2f);
    static constexpr std::uint32_t kMinLoopCount = 1;
    static constexpr std::uint32_t kMaxLoopCount = platform::XAUDIO2_MAX_LOOP_COUNT;

    CPlayTask() = default;
    CPlayTask(const CPlayTask&) = delete;
    CPlayTask& operator=(const CPlayTask&) = delete;
    virtual ~CPlayTask();

    // Starts wave on this free slot and holds its set until the note has ended. Without a source
    // voice (no audio) the slot stays free.
    void Play(std::shared_ptr<const CNoteWave> wave, float energy);
    // The key is still down after dt seconds: more energy, unless the last buffer is queued.
    void Sustain(float dt);
    // The key went up: every released note gets the same tail, whatever its energy was.
    void ReleaseNote();
    // Lets go of the waveform set once the note has ended, so that sets are freed on the
    // playing side, never on the audio thread.
    void ReleaseEndedWave();

    // Loops per buffer for a note of this frequency and this much energy (0.2 for a full buffer).
    static std::uint32_t LoopCountFor(float frequency, double energy);

    void OnVoiceProcessingPassStart(std::uint32_t) override {}
    void OnVoiceProcessingPassEnd() override {}
    void OnStreamEnd() override;
    void OnBufferStart(void*) override {}
    void OnBufferEnd(void*) override;
    void OnLoopEnd(void*) override {}
    void OnVoiceError(void*, HRESULT) override {}

    bool IsLastBufferQueued() const;

    platform::SourceVoice* m_voice = nullptr;
    platform::AudioBuffer m_buffer{};
    std::atomic<const CNoteWave*> m_wave{nullptr};  // null: the slot is free
    std::atomic<float> m_energy{0.0f};

private:
    std::shared_ptr<const CNoteWave> m_heldWave;  // the playing side only
    std::atomic_ref<std::uint32_t> Flags() { return std::atomic_ref<std::uint32_t>(m_buffer.Flags); }
    // energy = float(energy + delta), computed in double, atomically.
    float AddEnergy(double delta);
};
