// The measures the audio suites rely on, on signals whose answers are known.

#include "tests/support/audio/AudioMeasure.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace tovel_test {
namespace {

std::vector<float> Sine(double period, std::size_t length, double amplitude = 0.5) {
    std::vector<float> x(length);
    for (std::size_t i = 0; i < length; ++i) {
        x[i] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / period));
    }
    return x;
}

TEST(AudioMeasureTest, EnergyLevelAndPeak) {
    const std::vector<float> x = {3.0f, -4.0f, 0.0f, 1.0f};
    EXPECT_EQ(26.0, Energy(x));
    EXPECT_DOUBLE_EQ(std::sqrt(12.5), Rms(x, 0, 2));
    EXPECT_EQ(4.0, Peak(x, 0, 4));
    EXPECT_EQ(1.0, Peak(x, 2, 99)) << "the end is clamped to the samples there are";
    EXPECT_DOUBLE_EQ(20.0, Decibels(100.0));
    EXPECT_NEAR(-3.0103, Decibels(0.5), 1e-4);
}

// Pitches from the top of the synthesizer's range to the bottom, a fractional period, and a
// waveform rich in harmonics, whose half period must not be taken for the period.
TEST(PeriodTest, FindsThePeriodOfWhatRepeats) {
    const struct {
        const char* what;
        std::vector<float> x;
        std::size_t maxLag;
        double period;
    } cases[] = {
        {"A#6", Sine(24.0, 4410), 100, 24.0},
        {"A4", Sine(101.0, 4410), 1000, 101.0},
        {"C2", Sine(675.0, 8820), 1400, 675.0},
        {"between samples", Sine(100.5, 4410), 1000, 100.5},
        {"sine and its octave",
         [] {
             std::vector<float> x = Sine(101.0, 4410), octave = Sine(50.5, 4410);
             for (std::size_t i = 0; i < x.size(); ++i) {
                 x[i] += octave[i];
             }
             return x;
         }(),
         1000, 101.0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.period, Period(c.x, 0, c.x.size(), c.maxLag), 0.05) << c.what;
    }
}

// Harmonics 1 and 3 in other phases, over whole periods and a partial one that is left out.
TEST(HarmonicLevelsTest, MeasuresEachHarmonicAlone) {
    constexpr std::size_t kPeriod = 101;
    std::vector<float> x(40 * kPeriod + 37);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(i) / kPeriod;
        x[i] = static_cast<float>(0.5 * std::sin(phase) + 0.25 * std::cos(3.0 * phase + 1.0));
    }
    const std::vector<double> levels = HarmonicLevels(x, 0, x.size(), kPeriod, 6);
    const double expected[] = {0.5, 0.0, 0.25, 0.0, 0.0, 0.0};
    ASSERT_EQ(6u, levels.size());
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_NEAR(expected[k], levels[k], 1e-4) << "harmonic " << k + 1;
    }
    EXPECT_EQ(std::vector<double>(2, 0.0), HarmonicLevels(x, 0, kPeriod - 1, kPeriod, 2))
        << "less than a period measures nothing";
}

TEST(PeriodTest, NothingThatRepeatsGivesZero) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> noise(4410);
    for (float& v : noise) {
        v = uniform(random);
    }
    EXPECT_EQ(0.0, Period(noise, 0, noise.size(), 1000)) << "noise";
    EXPECT_EQ(0.0, Period(std::vector<float>(4410, 0.0f), 0, 4410, 1000)) << "silence";
    const std::vector<float> a4 = Sine(101.0, 4410);
    EXPECT_EQ(0.0, Period(a4, 0, a4.size(), 80)) << "a period beyond the longest lag";
}

class RecordingTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(m_path); }
    void Write(const std::vector<float>& frames) {
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(frames.data()),
                   static_cast<std::streamsize>(frames.size() * sizeof(float)));
    }
    // Cases of this suite run side by side in processes of their own.
    const std::filesystem::path m_path =
        ::testing::TempDir() + "tovel_recording_test_" + std::to_string(::getpid()) + ".raw";
};

TEST_F(RecordingTest, AStereoMixOfOneVoiceIsReadAsMono) {
    std::size_t channels = 0;
    Write({0.1f, 0.1f, -0.2f, -0.2f, 0.3f, 0.3f});
    EXPECT_EQ((std::vector<float>{0.1f, -0.2f, 0.3f}), ReadDeviceRecording(m_path, &channels));
    EXPECT_EQ(2u, channels);
    Write({0.1f, 0.1f, -0.2f, 0.2f});
    EXPECT_EQ((std::vector<float>{0.1f, 0.1f, -0.2f, 0.2f}),
              ReadDeviceRecording(m_path, &channels));
    EXPECT_EQ(1u, channels) << "frames that differ are not one voice twice";
    Write({0.1f, 0.1f, 0.2f});
    ReadDeviceRecording(m_path, &channels);
    EXPECT_EQ(1u, channels) << "an odd count cannot be stereo";
}

TEST_F(RecordingTest, ASampleBeyondFullScaleFailsTheTestAndEndsTheReading) {
    std::size_t channels = 0;
    std::vector<float> read;
    Write({0.5f, 1.5f, 0.25f});
    EXPECT_NONFATAL_FAILURE(read = ReadDeviceRecording(m_path, &channels), "is 1.5");
    EXPECT_EQ((std::vector<float>{0.5f}), read);
}

}  // namespace
}  // namespace tovel_test
