#include "synth/Timbre.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "synth/SineTable.h"
#include "synth/WaveMemory.h"

namespace {

// The hue's modulus is the single-precision value 6.2831840515136719.
constexpr float kTwoPi = 6.283184f;
constexpr float kWaveLevel = 0.1f;  // the loudest sample is a tenth of full scale
constexpr double kFullScale = 32767.0;
constexpr double kHueWeightStep = 0.125;

}  // namespace

CTimbre::CTimbre(const CTimbre& source)
    : m_name(source.m_name),
      m_color(source.m_color),
      m_lowest(source.m_lowest),
      m_highest(source.m_highest),
      m_waveCount(source.m_waveCount) {
    std::copy(std::begin(source.m_harmonics), std::end(source.m_harmonics), m_harmonics);
}

CTimbre& CTimbre::operator=(const CTimbre& source) {
    if (this == &source) {
        return *this;
    }
    m_name = source.m_name;
    std::copy(std::begin(source.m_harmonics), std::end(source.m_harmonics), m_harmonics);
    m_color = source.m_color;
    m_lowest = source.m_lowest;
    BuildWaves(source.m_lowest, source.m_highest);
    return *this;
}

std::uint32_t CTimbre::BuildWaves(CNote lowest, CNote highest) {
    m_waves.reset();
    m_waveCount = 0;
    m_lowest = lowest;
    m_highest = highest;

    const std::int64_t distance = Distance(lowest, highest);
    if (distance < 0 || distance >= kMaxWaveCount) {
        return 0;
    }
    const auto count = static_cast<std::uint32_t>(distance + 1);
    auto waves = wave_memory::Allocate<CNoteWave>(count);
    if (!waves) {
        return 0;
    }
    CNote note = lowest;
    for (std::uint32_t i = 0; i < count; ++i, note.Step()) {
        waves[i].m_note = note.m_note;
        waves[i].m_octave = note.m_octave;
        // Half a timbre would play silence on some keys: all of it or nothing.
        if (!BuildNoteWave(waves[i], m_harmonics)) {
            return 0;
        }
    }
    try {
        m_waves = std::move(waves);
    } catch (const std::bad_alloc&) {
        return 0;  // no room for the share count: the new set goes, the timbre has none
    }
    m_waveCount = count;
    return count;
}

std::shared_ptr<const CNoteWave> CTimbre::WaveOf(CNote note) const {
    const std::int64_t index = Distance(m_lowest, note);
    if (!m_waves || index < 0 || index >= static_cast<std::int64_t>(m_waveCount)) {
        return nullptr;
    }
    return std::shared_ptr<const CNoteWave>(m_waves, &m_waves[static_cast<std::size_t>(index)]);
}

bool CTimbre::BuildNoteWave(CNoteWave& wave, const float (&amplitudes)[kHarmonicCount]) {
    wave.m_samples.reset();
    wave.m_frequency = NoteFrequency(wave.m_note, wave.m_octave);
    wave.m_sampleCount = PeriodSamples(wave.m_frequency);
    const std::uint32_t count = wave.m_sampleCount;
    if (count == 0) {
        return true;
    }
    auto samples = wave_memory::Allocate<std::int16_t>(count);
    auto scratch = wave_memory::Allocate<float>(count);
    if (!samples || !scratch) {
        wave.m_sampleCount = 0;
        return false;
    }

    // Additive synthesis, harmonic by harmonic; the peak is the largest value any partial sum
    // reached, so a wave whose fundamental alone peaked higher than the final sum ends up softer.
    const float* sines = SineTable::For(count);
    float peak = 0.0f;
    for (std::uint32_t h = 1; h <= kHarmonicCount; ++h) {
        const double a = amplitudes[h - 1];
        const float* row = sines ? sines + std::size_t{h - 1} * count : nullptr;
        for (std::uint32_t j = 0; j < count; ++j) {
            const float s = row ? row[j] : SineTable::Sine(count, h, j);
            const float v = static_cast<float>(s * a + scratch[j]);
            scratch[j] = v;
            if (v > peak) {
                peak = v;
            }
        }
    }
    if (peak > 0.0f) {
        const double scale = static_cast<double>(kWaveLevel);
        for (std::uint32_t j = 0; j < count; ++j) {
            const double level = scratch[j] * kFullScale * scale / peak;
            samples[j] = static_cast<std::int16_t>(static_cast<std::int32_t>(level));
        }
    }
    wave.m_samples = std::move(samples);
    return true;
}

void CTimbre::DeriveHue() {
    float sum = 0.0f;
    for (std::uint32_t k = 1; k <= kHarmonicCount; ++k) {
        sum = static_cast<float>(sum + (13.0 - k) * m_harmonics[k - 1] * kHueWeightStep);
    }
    m_color.m_hue = static_cast<float>(std::fmod(static_cast<double>(sum),
                                                 static_cast<double>(kTwoPi)));
    m_color.m_saturation = 1.0f;
    m_color.m_value = 1.0f;
}

void CTimbre::SetAllEvenHiWave() {
    SetName("All even number Hi wave");
    for (std::uint32_t h = 1; h <= kHarmonicCount; ++h) {
        m_harmonics[h - 1] = (h == 1 || h % 2 == 0) ? 1.0f : 0.0f;
    }
    DeriveHue();
}

void CTimbre::SetSquareWave() {
    SetName("Square wave");
    for (std::uint32_t h = 1; h <= kHarmonicCount; ++h) {
        m_harmonics[h - 1] = h % 2 == 1 ? static_cast<float>(1.0L / h) : 0.0f;
    }
    DeriveHue();
}

void CTimbre::SetSawtoothWave() {
    SetName("Sawtooth wave");
    for (std::uint32_t h = 1; h <= kHarmonicCount; ++h) {
        m_harmonics[h - 1] = static_cast<float>(1.0L / h);
    }
    DeriveHue();
}

void CTimbre::SetName(std::string_view name) {
    // Count characters, not bytes: a UTF-8 continuation byte never starts one.
    std::size_t characters = 0;
    std::size_t end = 0;
    for (; end < name.size(); ++end) {
        const bool starts = (static_cast<unsigned char>(name[end]) & 0xC0) != 0x80;
        if (starts && ++characters > kNameCapacity - 1) {
            break;
        }
    }
    m_name.assign(name.substr(0, end));
}
