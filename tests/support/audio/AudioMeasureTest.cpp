// The measures the audio suites rely on, on signals whose answers are known.

#include "tests/support/audio/AudioMeasure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

namespace tovel_test {
namespace {

// A sine of `period` samples and amplitude 0.5, plus harmonic `k` at amplitude `b`.
std::vector<float> Tone(std::size_t length, double period, int k = 0, double b = 0) {
    std::vector<float> x(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(i) / period;
        x[i] = static_cast<float>(0.5 * std::sin(phase) + b * std::sin(k * phase + 2.5));
    }
    return x;
}

TEST(AudioMeasureTest, KnownSignalsGiveTheirMeasures) {
    const std::vector<float> x = {3.0f, -4.0f, 0.0f, 1.0f};
    EXPECT_EQ(std::tuple(26.0, 4.0, 1.0, 20.0),
              std::tuple(Energy(x), Peak(x, 0, 4), Peak(x, 2, 99), Decibels(100.0)));
    // Harmonics 1 and 3 over whole periods; the partial period at the end is left out.
    const std::vector<float> y = Tone(40 * 101 + 37, 101, 3, 0.25);
    const std::vector<double> levels = HarmonicLevels(y, 0, y.size(), 101, 4);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(k == 0 ? 0.5 : k == 2 ? 0.25 : 0.0, levels[k], 1e-4) << "harmonic " << k + 1;
    }
    // Periods: the synthesizer's range, between samples, beside an octave, none within the lags.
    const std::tuple<std::vector<float>, std::size_t, double> periods[] = {
        {Tone(4410, 24), 100, 24.0},           {Tone(8820, 675), 1400, 675.0},
        {Tone(4410, 100.5), 1000, 100.5},      {Tone(4410, 101, 2, 0.5), 1000, 101.0},
        {std::vector<float>(4410), 1000, 0.0}, {Tone(4410, 101), 80, 0.0}};
    for (const auto& [signal, maxLag, period] : periods) {
        EXPECT_NEAR(period, Period(signal, 0, signal.size(), maxLag), 0.05) << period;
    }
}

}  // namespace
}  // namespace tovel_test
