// The measures the audio suites rely on, on signals whose answers are known.

#include "tests/support/audio/AudioMeasure.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace tovel_test {
namespace {

// A sum of sines: (period in samples, amplitude, phase) each.
std::vector<float> Tones(std::size_t length, std::vector<std::array<double, 3>> tones) {
    std::vector<float> x(length);
    for (std::size_t i = 0; i < length; ++i) {
        for (auto [period, amplitude, phase] : tones) {
            x[i] += static_cast<float>(
                amplitude *
                std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / period + phase));
        }
    }
    return x;
}

TEST(AudioMeasureTest, EnergyLevelPeakAndHarmonics) {
    const std::vector<float> x = {3.0f, -4.0f, 0.0f, 1.0f};
    EXPECT_EQ(26.0, Energy(x));
    EXPECT_DOUBLE_EQ(std::sqrt(12.5), Rms(x, 0, 2));
    EXPECT_EQ(4.0, Peak(x, 0, 4));
    EXPECT_EQ(1.0, Peak(x, 2, 99)) << "the end is clamped to the samples there are";
    EXPECT_DOUBLE_EQ(20.0, Decibels(100.0));
    // Harmonics 1 and 3 in other phases, over whole periods and a partial one that is left out.
    const std::vector<float> y = Tones(40 * 101 + 37, {{101, 0.5, 0}, {101 / 3.0, 0.25, 2.5}});
    const std::vector<double> levels = HarmonicLevels(y, 0, y.size(), 101, 4);
    const double expected[] = {0.5, 0.0, 0.25, 0.0};
    ASSERT_EQ(4u, levels.size());
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(expected[k], levels[k], 1e-4) << "harmonic " << k + 1;
    }
    EXPECT_EQ(std::vector<double>(2, 0.0), HarmonicLevels(y, 0, 100, 101, 2))
        << "less than a period measures nothing";
}

// Pitches from the top of the synthesizer's range to the bottom, a fractional period, a waveform
// whose half period must not be taken for the period, and what repeats nowhere within the lags.
TEST(AudioMeasureTest, PeriodOfWhatRepeatsAndZeroOtherwise) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> noise(4410);
    std::generate(noise.begin(), noise.end(), [&] { return uniform(random); });
    const struct {
        const char* what;
        std::vector<float> x;
        std::size_t maxLag;
        double period;
    } cases[] = {
        {"A#6", Tones(4410, {{24, 0.5, 0}}), 100, 24.0},
        {"A4", Tones(4410, {{101, 0.5, 0}}), 1000, 101.0},
        {"C2", Tones(8820, {{675, 0.5, 0}}), 1400, 675.0},
        {"between samples", Tones(4410, {{100.5, 0.5, 0}}), 1000, 100.5},
        {"sine and its octave", Tones(4410, {{101, 0.5, 0}, {50.5, 0.5, 0}}), 1000, 101.0},
        {"noise", noise, 1000, 0.0},
        {"silence", std::vector<float>(4410), 1000, 0.0},
        {"beyond the longest lag", Tones(4410, {{101, 0.5, 0}}), 80, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.period, Period(c.x, 0, c.x.size(), c.maxLag), 0.05) << c.what;
    }
}

// One voice's stereo mix is read as mono; frames that differ, or an odd count, are not one voice
// twice. A sample beyond full scale fails the test and ends the reading.
TEST(AudioMeasureTest, DeviceRecordings) {
    const std::filesystem::path path =
        ::testing::TempDir() + "tovel_recording_test_" + std::to_string(::getpid()) + ".raw";
    const struct {
        std::vector<float> frames, read;
        std::size_t channels;
    } cases[] = {
        {{0.1f, 0.1f, -0.2f, -0.2f, 0.3f, 0.3f}, {0.1f, -0.2f, 0.3f}, 2},
        {{0.1f, 0.1f, -0.2f, 0.2f}, {0.1f, 0.1f, -0.2f, 0.2f}, 1},
        {{0.1f, 0.1f, 0.2f}, {0.1f, 0.1f, 0.2f}, 1},
        {{0.5f, 1.5f, 0.25f}, {0.5f}, 1},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.frames.data()),
                   static_cast<std::streamsize>(c.frames.size() * sizeof(float)));
        std::size_t channels = 0;
        std::vector<float> read;
        if (c.read.size() == 1) {
            EXPECT_NONFATAL_FAILURE(read = ReadDeviceRecording(path, &channels), "is 1.5");
        } else {
            read = ReadDeviceRecording(path, &channels);
        }
        EXPECT_EQ(c.read, read);
        EXPECT_EQ(c.channels, channels);
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace tovel_test
