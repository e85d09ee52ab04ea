#pragma once
// The process-wide audio engine: the audio graph (engine, output, a reverb bus that every voice
// sends to) and a pool of ten voices, searched in index order. It also holds the note range for
// which every timbre builds its waveforms.
//
// Without an audio engine or output the synthesizer still exists: the range is set, the voices
// are there, and playing them does nothing.

#include <cstdint>
#include <memory>

#include "platform/audio/AudioEngine.h"
#include "platform/base/HResult.h"
#include "platform/audio/Reverb.h"
#include "synth/Note.h"
#include "synth/PlayTask.h"

class CSynthesizer {
public:
    static constexpr std::uint32_t kVoiceCount = 10;
    static constexpr std::uint32_t kSampleRate = 44100;
    static constexpr CNote kLowest{1, 2};    // C2
    static constexpr CNote kHighest{11, 6};  // A#6

    // Created, published and initialised by its first caller.
    static CSynthesizer* Instance();
    // Deletes the instance (at shutdown) and clears it, so that a later Instance starts afresh.
    static void DeleteInstance();
    // Installs `synthesizer` as the instance and hands back the previous one, which the caller
    // then owns.
    static CSynthesizer* SetInstance(CSynthesizer* synthesizer);

    // Every pointer null and the range (0, 0) until InitAudio.
    CSynthesizer() = default;
    CSynthesizer(const CSynthesizer&) = delete;
    CSynthesizer& operator=(const CSynthesizer&) = delete;
    virtual ~CSynthesizer();

    // Builds the audio graph; returns the status of setting the reverb's parameters.
    HRESULT InitAudio();
    // The first voice in index order whose slot is free, or null: no voice is ever stolen.
    CPlayTask* FindFreeVoice();
    // Lets go of the waveform sets of the notes that have ended; the key scan calls it every frame.
    void ReleaseEndedWaves();
    // The index of `voice` among the voices, or kVoiceCount for one that is not of them.
    std::uint32_t VoiceIndex(const CPlayTask* voice) const;

    // The reverb bus's settings: reverberated signal only, a large, dense room that decays in 1 s.
    static platform::ReverbParameters ReverbSettings();

    platform::AudioEngine* m_engine = nullptr;
    platform::MasteringVoice* m_master = nullptr;
    platform::SubmixVoice* m_reverbBus = nullptr;
    std::unique_ptr<CPlayTask[]> m_voices;
    CNote m_lowest;
    CNote m_highest;

private:
    std::uint32_t ChooseOutputDevice();
    void CreateVoices();
};
