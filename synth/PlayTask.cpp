#include "synth/PlayTask.h"

#include <algorithm>
#include <cmath>

using platform::XAUDIO2_END_OF_STREAM;

CPlayTask::~CPlayTask() {
    // Once the source voice is gone nothing reads the samples, and the held set may go with the
    // slot.
    if (m_voice) {
        m_voice->DestroyVoice();
    }
}

std::uint32_t CPlayTask::LoopCountFor(float frequency, double energy) {
    const double loops = std::trunc(static_cast<double>(frequency) * energy);
    if (!(loops >= kMinLoopCount)) {
        return kMinLoopCount;
    }
    return loops >= kMaxLoopCount ? kMaxLoopCount : static_cast<std::uint32_t>(loops);
}

bool CPlayTask::IsLastBufferQueued() const {
    // The record is only read here; atomic_ref needs a mutable object for the atomic load.
    auto& flags = const_cast<std::uint32_t&>(m_buffer.Flags);
    return std::atomic_ref<std::uint32_t>(flags).load() == XAUDIO2_END_OF_STREAM;
}

float CPlayTask::AddEnergy(double delta) {
    float before = m_energy.load();
    float after;
    do {
        after = static_cast<float>(static_cast<double>(before) + delta);
    } while (!m_energy.compare_exchange_weak(before, after));
    return after;
}

void CPlayTask::Play(std::shared_ptr<const CNoteWave> wave, float energy) {
    // A busy slot is left alone: the audio thread still reads its note's buffer and samples.
    if (!m_voice || !wave || !wave->m_samples || wave->m_sampleCount == 0 || m_wave.load()) {
        return;
    }
    m_energy.store(energy);
    m_buffer = platform::AudioBuffer{};
    m_buffer.AudioBytes = 2 * wave->m_sampleCount;
    m_buffer.pAudioData = reinterpret_cast<const std::uint8_t*>(wave->m_samples.get());
    m_buffer.LoopLength = wave->m_sampleCount;
    m_buffer.LoopCount = LoopCountFor(wave->m_frequency, kEnergyPerBuffer);
    // The previous note has ended, so its set may go here. The wave is published before the
    // first buffer plays, so the audio thread finds it in OnBufferEnd.
    m_heldWave = std::move(wave);
    m_wave.store(m_heldWave.get());
    m_voice->SetVolume(kStartGain);
    m_voice->SubmitSourceBuffer(&m_buffer);
    m_voice->Start(0, platform::XAUDIO2_COMMIT_NOW);
}

void CPlayTask::Sustain(float dt) {
    if (!IsLastBufferQueued()) {
        AddEnergy(static_cast<double>(dt) * kSustainPerSecond);
    }
}

void CPlayTask::ReleaseNote() {
    if (m_wave.load() && !IsLastBufferQueued()) {
        m_energy.store(kReleaseEnergy);
    }
}

void CPlayTask::ReleaseEndedWave() {
    // Once the audio thread has published the slot as free it reads the samples no more.
    if (!m_wave.load()) {
        m_heldWave.reset();
    }
}

void CPlayTask::OnBufferEnd(void*) {
    const float energy = AddEnergy(-kEnergyPerBuffer);
    const CNoteWave* wave = m_wave.load();
    if (!wave) {
        return;
    }
    if (static_cast<double>(energy) > kEnergyPerBuffer) {
        m_buffer.LoopCount = LoopCountFor(wave->m_frequency, kEnergyPerBuffer);
        m_voice->SubmitSourceBuffer(&m_buffer);
    } else if (!IsLastBufferQueued()) {
        // The last buffer is shortened to the energy that is left (positive here: it exceeded
        // 0.2 before this buffer's share was spent).
        Flags().store(XAUDIO2_END_OF_STREAM);
        m_buffer.LoopCount = LoopCountFor(wave->m_frequency, static_cast<double>(energy));
        m_voice->SubmitSourceBuffer(&m_buffer);
    }
    float gain = 0.0f;
    m_voice->GetVolume(&gain);
    m_voice->SetVolume(gain * kGainPerBuffer);
}

void CPlayTask::OnStreamEnd() {
    m_voice->FlushSourceBuffers();
    m_voice->Stop(0, platform::XAUDIO2_COMMIT_NOW);
    // The energy is cleared before the slot is published as free: once m_wave is null the
    // user-interface thread may start a new note here, and its energy must survive.
    m_energy.store(0.0f);
    m_wave.store(nullptr);
}
