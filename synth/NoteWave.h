#pragma once
// One period of one note of one timbre: the samples a voice loops while the note sounds.

#include <cstdint>
#include <memory>

struct CNoteWave {
    std::uint32_t m_note = 0;
    std::uint32_t m_octave = 0;
    float m_frequency = 0.0f;                    // nominal frequency in Hz
    std::unique_ptr<std::int16_t[]> m_samples;   // mono, 44100 Hz; may be null
    std::uint32_t m_sampleCount = 0;             // samples in one period

    CNoteWave() = default;
    CNoteWave(const CNoteWave&) = delete;
    CNoteWave& operator=(const CNoteWave&) = delete;
};
