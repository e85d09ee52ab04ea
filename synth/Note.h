#pragma once
// A position on the chromatic scale and the frequency rule that every waveform is built from.

#include <cstdint>

struct CNote {
    std::uint32_t m_note = 0;    // pitch class 1..12: 1 = C, 10 = A, 12 = B
    std::uint32_t m_octave = 0;  // scientific pitch octave: note 10 of octave 4 is 440 Hz

    // One semitone up; B steps to C of the next octave.
    void Step() {
        if (++m_note > 12) {
            m_note = 1;
            ++m_octave;
        }
    }

    friend bool operator==(const CNote&, const CNote&) = default;
};

// Semitones from a up to b (negative when b lies below a).
inline std::int64_t Distance(const CNote& a, const CNote& b) {
    return (static_cast<std::int64_t>(b.m_octave) - a.m_octave) * 12 +
           static_cast<std::int64_t>(b.m_note) - static_cast<std::int64_t>(a.m_note);
}

// Nominal frequency in Hz, rounded to float at each step: A1 is 55 Hz, A4 440 Hz.
float NoteFrequency(std::uint32_t note, std::uint32_t octave);

// Samples in one period at 44100 Hz: the period is played without resampling, so it is rounded up
// to a whole sample and the note sounds at or a little below its nominal frequency. Frequencies
// that give no sensible period (zero, negative, not finite, or a period beyond a second) give 0.
std::uint32_t PeriodSamples(float frequency);
