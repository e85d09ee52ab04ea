#include "synth/Timbre.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "synth/WaveMemory.h"

namespace {

constexpr CNote kC2{1, 2}, kA4{10, 4}, kA6Sharp{11, 6};

// The waveform written afresh from its definition, sample by sample with the harmonics inside.
std::vector<std::int16_t> ReferenceWave(const CNoteWave& w, const float (&amplitudes)[12]) {
    const auto exponent = static_cast<float>((w.m_note - 10.0) / 12.0 + (w.m_octave - 1.0));
    const auto frequency = static_cast<float>(double(float(std::exp2(exponent))) * 55.0);
    const auto count = static_cast<std::uint32_t>(std::ceil(float(44100.0 / frequency)));
    std::vector<float> sums(count, 0.0f);
    float peak = 0.0f;
    for (std::uint32_t j = 0; j < count; ++j) {
        for (int h = 1; h <= 12; ++h) {
            const auto period = static_cast<float>(static_cast<float>(count) / double(h));
            const auto phase = static_cast<float>(double(j) * 3.1415920257568359 * 2.0 / period);
            const auto sine = static_cast<float>(std::sin(double(phase)));
            sums[j] = static_cast<float>(double(sine) * amplitudes[h - 1] + sums[j]);
            peak = std::max(peak, sums[j]);
        }
    }
    std::vector<std::int16_t> wave(count, 0);
    for (std::uint32_t j = 0; j < count && peak > 0.0f; ++j) {
        wave[j] = static_cast<std::int16_t>(
            std::trunc(double(sums[j]) * 32767.0 * 0.10000000149011612 / double(peak)));
    }
    return wave;
}

TEST(TimbreTest, PresetsHuesAndWaveformsOverTheWholeRange) {
    CTimbre even, saw, square, odd, silent, loud;
    even.SetAllEvenHiWave();
    saw.SetSawtoothWave();
    square.SetSquareWave();
    for (int h = 1; h <= 12; ++h) {
        EXPECT_EQ(even.m_harmonics[h - 1], (h == 1 || h % 2 == 0) ? 1.0f : 0.0f) << h;
        EXPECT_EQ(saw.m_harmonics[h - 1], static_cast<float>(1.0 / h)) << h;
        EXPECT_EQ(square.m_harmonics[h - 1], h % 2 ? static_cast<float>(1.0 / h) : 0.0f) << h;
    }
    // Hues wrap at 6.283184, so loud low harmonics come round again; silence has hue 0.
    silent.DeriveHue();
    EXPECT_EQ(silent.m_color.m_hue, 0.0f);
    std::fill(std::begin(loud.m_harmonics), std::end(loud.m_harmonics), 1.0f);
    loud.DeriveHue();  // 78 / 8 = 9.75
    EXPECT_EQ(loud.m_color.m_hue, static_cast<float>(std::fmod(9.75, 6.2831840515136719)));
    // A timbre of our own with uneven amplitudes, and silence, which divides by no zero peak.
    const float amplitudes[12] = {0.5f, 0.9f, 0, 0.3f, 0.77f, 0, 0.1f, 1.0f, 0.2f, 0, 0.05f, 0.6f};
    std::copy(std::begin(amplitudes), std::end(amplitudes), odd.m_harmonics);
    for (CTimbre* t : {&even, &saw, &square, &odd, &silent}) {
        ASSERT_EQ(t->BuildWaves(kC2, kA6Sharp), 59u);
        for (std::uint32_t i = 0; i < 59; ++i) {
            const CNoteWave& w = t->m_waves[i];
            const std::vector<std::int16_t> samples(&w.m_samples[0], &w.m_samples[w.m_sampleCount]);
            ASSERT_EQ(samples, ReferenceWave(w, t->m_harmonics)) << t->m_name << " wave " << i;
        }
    }
    const CNoteWave& a4 = even.m_waves[Distance(kC2, kA4)];
    EXPECT_EQ(std::tuple(10u, 4u, 440.0f), std::tuple(a4.m_note, a4.m_octave, a4.m_frequency));
}

TEST(TimbreTest, BuildIsAllOrNothing) {
    CTimbre t;
    t.SetSawtoothWave();
    // Run out of memory at several points: for the array, at a note's samples, at its scratch.
    for (long successes : {0L, 1L, 2L, 40L, 117L}) {
        ASSERT_EQ(t.BuildWaves(kC2, kA6Sharp), 59u);
        wave_memory::FailAfter(successes);
        const std::uint32_t built = t.BuildWaves(kC2, kA6Sharp);
        wave_memory::FailAfter(-1);
        EXPECT_EQ(std::tuple(0u, 0u, false), std::tuple(built, t.m_waveCount, t.m_waves != nullptr))
            << "failing after " << successes;
    }
}

}  // namespace
