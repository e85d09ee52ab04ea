#include "synth/Note.h"

#include <cmath>

namespace {
constexpr double kSampleRate = 44100.0;
constexpr double kA1Frequency = 55.0;
// Longer periods than this belong to no playable note (C2 needs 675 samples).
constexpr float kMaxPeriodSamples = 44100.0f;
}  // namespace

float NoteFrequency(std::uint32_t note, std::uint32_t octave) {
    const double semitones = static_cast<double>(static_cast<std::int64_t>(note) - 10) / 12.0;
    const float e = static_cast<float>(semitones + (static_cast<double>(octave) - 1.0));
    const float p = static_cast<float>(std::pow(2.0, static_cast<double>(e)));
    return static_cast<float>(static_cast<double>(p) * kA1Frequency);
}

std::uint32_t PeriodSamples(float frequency) {
    const float period = static_cast<float>(kSampleRate / static_cast<double>(frequency));
    if (!(period > 0.0f && period <= kMaxPeriodSamples)) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::ceil(period));
}
