#pragma once
// The sines a period is synthesised from depend only on the period's length and the harmonic,
// never on the amplitudes, so every timbre shares them: each length's table is computed once, on
// first use, and kept for the life of the process (the synthesizer's range needs 59 of them).

#include <cstdint>

class SineTable {
public:
    static constexpr std::uint32_t kHarmonics = 12;

    // sin(j * 2pi / P) for harmonic h of a period of count samples, P = count / h, rounded to
    // float at each step as the waveforms are defined.
    static float Sine(std::uint32_t count, std::uint32_t h, std::uint32_t j);
    // kHarmonics * count sines, harmonic after harmonic: entry (h - 1) * count + j. Null when the
    // memory cannot be had; the caller then computes Sine itself.
    static const float* For(std::uint32_t count);
};
