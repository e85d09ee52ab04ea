#include "platform/audio/Reverb.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

// Signal flow, mono:
//   input -> room filter -> pre-delay -> reflection taps -> early all-passes ------------> early
//                                                        \-> ReverbDelay -> late all-passes -> FDN
//                                                                                        -> late
//   wet = early + late -> low/high shelves;  out = dry * (1 - mix) + wet * mix
//
// How each parameter maps onto the algorithm:
//   WetDryMix         linear crossfade, wet share = WetDryMix / 100.
//   ReflectionsDelay  ms from the input to the first early tap (rounded to whole samples).
//   ReverbDelay       ms from the reflection pattern to the late network's input, so the late
//                     reverb is driven by the reflections, ReverbDelay later.
//   RearDelay, Position*, PositionMatrix*
//                     place the reverb across rear and side speakers; a mono bus has one
//                     output, so they are validated and stored but do not change the sound.
//   EarlyDiffusion    coefficient of the early all-passes, kMaxDiffusion * sqrt(step / 15).
//   LateDiffusion     coefficient of the late all-passes, kMaxDiffusion * sqrt(step / 15).
//   LowEQGain         low shelf on the wet signal, (LowEQGain - 8) dB, 1 dB per step.
//   LowEQCutoff       corner of the low shelf, 50 Hz + 50 Hz per step.
//   HighEQGain        high shelf on the wet signal, (HighEQGain - 8) dB, 1 dB per step.
//   HighEQCutoff      corner of the high shelf, 1000 Hz + 500 Hz per step.
//   RoomFilterFreq    corner of a one-pole low-pass on the reverb input.
//   RoomFilterMain    broadband level of the reverb input, dB.
//   RoomFilterHF      gain of a first-order high shelf at the same corner that follows the
//                     low-pass, dB: 0 leaves the plain one-pole low-pass, lower values take
//                     that much more off above the corner.
//   ReflectionsGain   level of the early part, dB.
//   ReverbGain        level of the late part, dB.
//   DecayTime         RT60 of the late part: every FDN line loses 60 dB per DecayTime seconds
//                     of its own length (capped at kMaxDecaySeconds, see there).
//   Density           spread of the FDN line lengths: 0 puts them within a few percent of each
//                     other (few distinct modes, ringing), 100 spreads them over a ratio of
//                     about 2.4 (most distinct modes, smoothest tail).
//   RoomSize          feet; scales the FDN line lengths (mean kLineBaseMs + kLineMsPerFoot per
//                     foot) and the spacing of the early taps.
// At 0 dB levels the early and late parts carry kEarlyEnergy and kLateEnergy of a broadband
// input's energy before the room filter, so the reverb is a little quieter than its input.

namespace platform {
namespace {

constexpr std::uint32_t kMinSampleRateHz = 8000;
constexpr std::uint32_t kMaxSampleRateHz = 192000;
// Frames processed stage by stage at a time; sizes the scratch buffers on the stack.
constexpr std::uint32_t kChunkFrames = 256;

constexpr ReverbParameters kDefaultParameters = {
    .WetDryMix = 100.0f,
    .ReflectionsDelay = 5,
    .ReverbDelay = 5,
    .RearDelay = 5,
    .PositionLeft = 6,
    .PositionRight = 6,
    .PositionMatrixLeft = 27,
    .PositionMatrixRight = 27,
    .EarlyDiffusion = 8,
    .LateDiffusion = 8,
    .LowEQGain = 8,
    .LowEQCutoff = 4,
    .HighEQGain = 8,
    .HighEQCutoff = 4,
    .RoomFilterFreq = 5000.0f,
    .RoomFilterMain = 0.0f,
    .RoomFilterHF = 0.0f,
    .ReflectionsGain = 0.0f,
    .ReverbGain = 0.0f,
    .DecayTime = 1.0f,
    .Density = 100.0f,
    .RoomSize = 100.0f,
};

// Parameter ranges.
constexpr std::uint32_t kMaxReflectionsDelayMs = 300;
constexpr std::uint8_t kMaxReverbDelayMs = 85;
constexpr std::uint8_t kMaxRearDelayMs = 5;
constexpr std::uint8_t kMaxPosition = 30;
constexpr std::uint8_t kMaxDiffusionStep = 15;
constexpr std::uint8_t kMaxLowEQGainStep = 12;
constexpr std::uint8_t kMaxLowEQCutoffStep = 9;
constexpr std::uint8_t kMaxHighEQGainStep = 8;
constexpr std::uint8_t kMaxHighEQCutoffStep = 14;
constexpr float kMinRoomFilterHz = 20.0f;
constexpr float kMaxRoomFilterHz = 20000.0f;
constexpr float kMinLevelDb = -100.0f;
constexpr float kMaxRoomLevelDb = 0.0f;
constexpr float kMaxPartLevelDb = 20.0f;
constexpr float kMinDecaySeconds = 0.1f;
constexpr float kMaxPercent = 100.0f;
constexpr float kMinRoomSizeFeet = 1.0f;
constexpr float kMaxRoomSizeFeet = 100.0f;

// Longer decays are accepted but sound as this one: beyond it the per-pass loss of the short
// lines approaches float resolution and the level normalisation would lose its precision.
constexpr double kMaxDecaySeconds = 100.0;

// Shelves: 8 is the flat step; cutoff steps as on the record.
constexpr int kFlatEQGainStep = 8;
constexpr double kEQDbPerStep = 1.0;
constexpr double kLowEQBaseHz = 50.0;
constexpr double kLowEQHzPerStep = 50.0;
constexpr double kHighEQBaseHz = 1000.0;
constexpr double kHighEQHzPerStep = 500.0;

// All-pass coefficient at full diffusion; higher values make the all-passes ring on their own.
constexpr double kMaxDiffusion = 0.75;

// Feedback delay network.
constexpr int kLines = 8;
constexpr double kLineBaseMs = 4.0;
constexpr double kLineMsPerFoot = 0.36;
// Line i is mean * exp(spread * kLineShape[i]); the shape is irregular so that no two length
// ratios are simple fractions. The spread is half the log ratio of the longest to the shortest.
constexpr std::array<double, kLines> kLineShape = {-1.0, -0.68, -0.39, -0.12,
                                                   0.15, 0.43,  0.70,  1.0};
constexpr double kMinLineSpread = 0.05;
constexpr double kMaxLineSpread = 0.44;
// Rounding up to distinct primes moves a length by less than this many samples.
constexpr std::uint32_t kPrimeSlackSamples = 512;
constexpr float kHadamardScale = 0.35355339059327373f;  // 1 / sqrt(8)
// Signs of the input and output taps of the lines; different patterns decorrelate the first
// pass through the network from the output mix.
constexpr std::array<float, kLines> kLineInSigns = {1, -1, 1, 1, -1, 1, -1, -1};
constexpr std::array<float, kLines> kLineOutSigns = {1, 1, -1, 1, -1, -1, 1, -1};

// Early reflections at 100 ft: tap offsets after the reflections delay, and their relative
// gains (falling, alternating in sign so the reflections do not add up to a low-frequency bump).
constexpr int kTaps = 8;
constexpr std::array<double, kTaps> kTapMsAtFullSize = {0.0, 2.9, 4.7, 7.3, 9.8, 12.9, 15.4, 18.6};
constexpr std::array<double, kTaps> kTapGains = {1.0, -0.84, 0.75, -0.61, 0.56, -0.47, 0.41, -0.35};

// All-pass diffusers, fixed lengths in ms (rounded to primes at the sample rate).
constexpr std::array<double, 3> kEarlyDiffuserMs = {1.3, 2.2, 3.1};
constexpr std::array<double, 4> kLateDiffuserMs = {2.9, 4.3, 6.1, 8.9};

// Share of a broadband input's energy in each part at 0 dB; together 10 dB under unity. A
// reverb answers steady tones with peaks well above its broadband level, and the bus takes up to
// ten voices at gain 2: at this level the loudest chords still stay below full scale.
constexpr double kEarlyEnergy = 0.025;
constexpr double kLateEnergy = 0.075;

// Added to the input so every recursive state settles on a tiny constant (about -360 dB)
// instead of decaying into subnormal numbers, which are slow on most CPUs.
constexpr float kAntiDenormal = 1e-18f;

constexpr double kPi = 3.14159265358979323846;

double DbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

std::uint32_t MsToSamples(double ms, std::uint32_t sampleRate) {
    return static_cast<std::uint32_t>(std::lround(ms * sampleRate / 1000.0));
}

// Coefficient of a one-pole low-pass y += a * (x - y) with its corner at hz.
float OnePoleCoefficient(double hz, std::uint32_t sampleRate) {
    return static_cast<float>(1.0 - std::exp(-2.0 * kPi * hz / sampleRate));
}

// The square root gives the middle steps most of the echo density already.
float DiffusionCoefficient(std::uint8_t step) {
    return static_cast<float>(kMaxDiffusion * std::sqrt(step / double{kMaxDiffusionStep}));
}

bool IsPrime(std::uint32_t n) {
    if (n < 2) {
        return false;
    }
    for (std::uint32_t d = 2; d * d <= n; ++d) {
        if (n % d == 0) {
            return false;
        }
    }
    return true;
}

std::uint32_t PrimeAtLeast(std::uint32_t n) {
    while (!IsPrime(n)) {
        ++n;
    }
    return n;
}

bool InRange(float value, float low, float high) {
    return value >= low && value <= high;
}

bool IsValid(const ReverbParameters& p) {
    return InRange(p.WetDryMix, 0.0f, kMaxPercent) &&
           p.ReflectionsDelay <= kMaxReflectionsDelayMs && p.ReverbDelay <= kMaxReverbDelayMs &&
           p.RearDelay <= kMaxRearDelayMs && p.PositionLeft <= kMaxPosition &&
           p.PositionRight <= kMaxPosition && p.PositionMatrixLeft <= kMaxPosition &&
           p.PositionMatrixRight <= kMaxPosition && p.EarlyDiffusion <= kMaxDiffusionStep &&
           p.LateDiffusion <= kMaxDiffusionStep && p.LowEQGain <= kMaxLowEQGainStep &&
           p.LowEQCutoff <= kMaxLowEQCutoffStep && p.HighEQGain <= kMaxHighEQGainStep &&
           p.HighEQCutoff <= kMaxHighEQCutoffStep &&
           InRange(p.RoomFilterFreq, kMinRoomFilterHz, kMaxRoomFilterHz) &&
           InRange(p.RoomFilterMain, kMinLevelDb, kMaxRoomLevelDb) &&
           InRange(p.RoomFilterHF, kMinLevelDb, kMaxRoomLevelDb) &&
           InRange(p.ReflectionsGain, kMinLevelDb, kMaxPartLevelDb) &&
           InRange(p.ReverbGain, kMinLevelDb, kMaxPartLevelDb) && p.DecayTime >= kMinDecaySeconds &&
           std::isfinite(p.DecayTime) && InRange(p.Density, 0.0f, kMaxPercent) &&
           InRange(p.RoomSize, kMinRoomSizeFeet, kMaxRoomSizeFeet);
}

// A circular buffer of power-of-two size, written at and read behind a position shared by all
// buffers; the position wraps at 2^32, which every power-of-two size divides.
class DelayBuffer {
public:
    void Allocate(std::uint32_t maxDelaySamples) {
        m_data.assign(std::bit_ceil(maxDelaySamples + 1), 0.0f);
        m_mask = static_cast<std::uint32_t>(m_data.size()) - 1;
    }
    void Clear() { std::fill(m_data.begin(), m_data.end(), 0.0f); }
    float Read(std::uint32_t position, std::uint32_t delay) const {
        return m_data[(position - delay) & m_mask];
    }
    void Write(std::uint32_t position, float value) { m_data[position & m_mask] = value; }

private:
    std::vector<float> m_data;
    std::uint32_t m_mask = 0;
};

// Schroeder all-pass (z^-M - g) / (1 - g z^-M): flat magnitude, smears an echo into many.
struct Allpass {
    DelayBuffer buffer;
    std::uint32_t delay = 1;

    // In place over frames samples starting at position.
    void Process(std::uint32_t position, float* x, std::uint32_t frames, float g) {
        for (std::uint32_t n = 0; n < frames; ++n) {
            const float delayed = buffer.Read(position + n, delay);
            const float w = x[n] + g * delayed;
            buffer.Write(position + n, w);
            x[n] = delayed - g * w;
        }
    }
};

// In-place 8-point Walsh-Hadamard transform, unscaled: times 1/sqrt(8) (folded into the line
// gains) it is orthogonal, so every line feeds every other with equal weight, energy is preserved
// and the loop gains alone set the decay. Written out so the values stay in registers.
void Hadamard8(std::array<float, kLines>& v) {
    auto butterfly = [&v](int a, int b) {
        const float sum = v[a] + v[b];
        v[b] = v[a] - v[b];
        v[a] = sum;
    };
    butterfly(0, 1);
    butterfly(2, 3);
    butterfly(4, 5);
    butterfly(6, 7);
    butterfly(0, 2);
    butterfly(1, 3);
    butterfly(4, 6);
    butterfly(5, 7);
    butterfly(0, 4);
    butterfly(1, 5);
    butterfly(2, 6);
    butterfly(3, 7);
}

class Reverb final : public AudioEffect {
public:
    HRESULT Initialise(std::uint32_t channels, std::uint32_t sampleRate) override;
    HRESULT SetParameters(const void* parameters, std::uint32_t bytes) override;
    HRESULT GetParameters(void* parameters, std::uint32_t bytes) const override;
    void Process(float* samples, std::uint32_t frames) override;
    void Reset() override;

private:
    void UpdateCoefficients();
    void ProcessChunk(float* samples, std::uint32_t frames);

    ReverbParameters m_params = kDefaultParameters;
    std::uint32_t m_sampleRate = 0;  // 0 until Initialise succeeds
    std::uint32_t m_position = 0;

    DelayBuffer m_preDelay;
    DelayBuffer m_reflections;  // the reflection pattern on its way to the late network
    std::array<Allpass, kEarlyDiffuserMs.size()> m_earlyDiffusers;
    std::array<Allpass, kLateDiffuserMs.size()> m_lateDiffusers;
    // The FDN lines share one allocation: line i is the power-of-two span at i * (m_lineMask + 1).
    std::vector<float> m_lines;
    std::uint32_t m_lineMask = 0;

    // Derived from m_params and the sample rate.
    struct Coefficients {
        float wet = 1.0f;
        float dry = 0.0f;
        float roomCoefficient = 0.0f;
        float roomMain = 1.0f;
        float roomHF = 1.0f;
        std::array<std::uint32_t, kTaps> taps{};
        std::array<float, kTaps> tapGains{};  // unit energy
        float earlyGain = 0.0f;
        std::uint32_t reverbDelay = 0;
        float lateInGain = 0.0f;
        float earlyDiffusion = 0.0f;
        float lateDiffusion = 0.0f;
        std::array<std::uint32_t, kLines> lineLengths{};
        std::array<float, kLines> lineGains{};
        std::array<float, kLines> lineOut{};
        float lowCoefficient = 0.0f;
        float lowGain = 1.0f;
        float highCoefficient = 0.0f;
        float highGain = 1.0f;
    };
    struct FilterState {
        float roomLow = 0.0f;
        float roomShelf = 0.0f;
        float low = 0.0f;
        float high = 0.0f;
    };
    Coefficients m_c;
    FilterState m_state;
};

HRESULT Reverb::Initialise(std::uint32_t channels, std::uint32_t sampleRate) {
    if (channels != 1 || sampleRate < kMinSampleRateHz || sampleRate > kMaxSampleRateHz) {
        return E_INVALIDARG;
    }
    try {
        double longestTapMs = kTapMsAtFullSize.back();
        m_preDelay.Allocate(MsToSamples(kMaxReflectionsDelayMs + longestTapMs, sampleRate));
        m_reflections.Allocate(MsToSamples(kMaxReverbDelayMs, sampleRate));
        for (std::size_t i = 0; i < m_earlyDiffusers.size(); ++i) {
            m_earlyDiffusers[i].delay = PrimeAtLeast(MsToSamples(kEarlyDiffuserMs[i], sampleRate));
            m_earlyDiffusers[i].buffer.Allocate(m_earlyDiffusers[i].delay);
        }
        for (std::size_t i = 0; i < m_lateDiffusers.size(); ++i) {
            m_lateDiffusers[i].delay = PrimeAtLeast(MsToSamples(kLateDiffuserMs[i], sampleRate));
            m_lateDiffusers[i].buffer.Allocate(m_lateDiffusers[i].delay);
        }
        double longestLineMs =
            (kLineBaseMs + kLineMsPerFoot * kMaxRoomSizeFeet) * std::exp(kMaxLineSpread);
        const std::uint32_t lineSize =
            std::bit_ceil(MsToSamples(longestLineMs, sampleRate) + kPrimeSlackSamples);
        m_lines.assign(std::size_t{lineSize} * kLines, 0.0f);
        m_lineMask = lineSize - 1;
    } catch (const std::bad_alloc&) {
        m_sampleRate = 0;
        return E_OUTOFMEMORY;
    }
    m_sampleRate = sampleRate;
    UpdateCoefficients();
    Reset();
    return S_OK;
}

HRESULT Reverb::SetParameters(const void* parameters, std::uint32_t bytes) {
    if (parameters == nullptr || bytes != sizeof(ReverbParameters)) {
        return E_INVALIDARG;
    }
    ReverbParameters p;
    std::memcpy(&p, parameters, sizeof p);
    if (!IsValid(p)) {
        return E_INVALIDARG;
    }
    m_params = p;
    if (m_sampleRate != 0) {
        UpdateCoefficients();
    }
    return S_OK;
}

HRESULT Reverb::GetParameters(void* parameters, std::uint32_t bytes) const {
    if (parameters == nullptr || bytes != sizeof(ReverbParameters)) {
        return E_INVALIDARG;
    }
    std::memcpy(parameters, &m_params, sizeof m_params);
    return S_OK;
}

void Reverb::UpdateCoefficients() {
    const ReverbParameters& p = m_params;
    const std::uint32_t fs = m_sampleRate;

    m_c.wet = p.WetDryMix / kMaxPercent;
    m_c.dry = 1.0f - m_c.wet;

    m_c.roomCoefficient = OnePoleCoefficient(p.RoomFilterFreq, fs);
    m_c.roomMain = static_cast<float>(DbToGain(p.RoomFilterMain));
    m_c.roomHF = static_cast<float>(DbToGain(p.RoomFilterHF));

    // Tap gains normalised to unit energy, then scaled to the part's share and level.
    double tapEnergy = 0.0;
    for (double g : kTapGains) {
        tapEnergy += g * g;
    }
    const double roomScale = p.RoomSize / kMaxRoomSizeFeet;
    const std::uint32_t reflections = MsToSamples(p.ReflectionsDelay, fs);
    for (int k = 0; k < kTaps; ++k) {
        std::uint32_t offset = MsToSamples(kTapMsAtFullSize[k] * roomScale, fs);
        m_c.taps[k] = reflections + offset;
        m_c.tapGains[k] = static_cast<float>(kTapGains[k] / std::sqrt(tapEnergy));
    }
    m_c.earlyGain = static_cast<float>(std::sqrt(kEarlyEnergy) * DbToGain(p.ReflectionsGain));
    m_c.reverbDelay = MsToSamples(p.ReverbDelay, fs);
    // Split evenly over the lines.
    m_c.lateInGain = static_cast<float>(1.0 / std::sqrt(kLines));

    m_c.earlyDiffusion = DiffusionCoefficient(p.EarlyDiffusion);
    m_c.lateDiffusion = DiffusionCoefficient(p.LateDiffusion);

    // Distinct primes are mutually prime, so the lines' echoes never pile up on a common period.
    const double decay = std::min(static_cast<double>(p.DecayTime), kMaxDecaySeconds);
    const double meanMs = kLineBaseMs + kLineMsPerFoot * p.RoomSize;
    const double spread =
        kMinLineSpread + (kMaxLineSpread - kMinLineSpread) * p.Density / kMaxPercent;
    std::uint32_t previous = 1;
    double meanLength = 0.0;
    for (int i = 0; i < kLines; ++i) {
        std::uint32_t target = MsToSamples(meanMs * std::exp(spread * kLineShape[i]), fs);
        m_c.lineLengths[i] = PrimeAtLeast(std::max(target, previous + 1));
        previous = m_c.lineLengths[i];
        meanLength += m_c.lineLengths[i] / static_cast<double>(kLines);
        // -60 dB after `decay` seconds of travel through this line.
        m_c.lineGains[i] = kHadamardScale * static_cast<float>(std::pow(
                                                10.0, -3.0 * m_c.lineLengths[i] / (fs * decay)));
    }
    // Each pass through the network keeps about meanGain^2 of the energy, so the whole tail holds
    // 1 / (1 - meanGain^2) times what one pass does; the output taps undo that.
    const double meanGainSquared = std::pow(10.0, -6.0 * meanLength / (fs * decay));
    const double lateOutScale =
        std::sqrt(kLateEnergy * (1.0 - meanGainSquared)) * DbToGain(p.ReverbGain);
    for (int i = 0; i < kLines; ++i) {
        m_c.lineOut[i] = static_cast<float>(kLineOutSigns[i] * lateOutScale);
    }

    m_c.lowCoefficient = OnePoleCoefficient(kLowEQBaseHz + kLowEQHzPerStep * p.LowEQCutoff, fs);
    m_c.lowGain = static_cast<float>(DbToGain((p.LowEQGain - kFlatEQGainStep) * kEQDbPerStep));
    m_c.highCoefficient = OnePoleCoefficient(kHighEQBaseHz + kHighEQHzPerStep * p.HighEQCutoff, fs);
    m_c.highGain = static_cast<float>(DbToGain((p.HighEQGain - kFlatEQGainStep) * kEQDbPerStep));
}

void Reverb::Process(float* samples, std::uint32_t frames) {
    // Without buffers there is nothing to reverberate with; the engine initialises first.
    if (m_sampleRate == 0) {
        return;
    }
    while (frames > 0) {
        const std::uint32_t chunk = std::min(frames, kChunkFrames);
        ProcessChunk(samples, chunk);
        samples += chunk;
        frames -= chunk;
    }
}

// Stage by stage over the chunk rather than sample by sample: every stage depends on its own
// past only through delays or a one-pole state, so the result is the same, and the short loops
// let the CPU overlap samples instead of waiting on one sample's chain of all-passes.
void Reverb::ProcessChunk(float* samples, std::uint32_t frames) {
    // Working copies: the delay buffers hold floats, so with the members used directly every
    // store into a buffer would force the compiler to reload them.
    const Coefficients c = m_c;
    FilterState st = m_state;
    const std::uint32_t pos = m_position;
    std::array<float, kChunkFrames> early;
    std::array<float, kChunkFrames> late;

    // Room filter: one-pole low-pass, then a high shelf at the same corner.
    for (std::uint32_t n = 0; n < frames; ++n) {
        const float x = samples[n] + kAntiDenormal;
        st.roomLow += c.roomCoefficient * (x - st.roomLow);
        st.roomShelf += c.roomCoefficient * (st.roomLow - st.roomShelf);
        m_preDelay.Write(pos + n,
                         c.roomMain * (st.roomShelf + c.roomHF * (st.roomLow - st.roomShelf)));
    }

    for (std::uint32_t n = 0; n < frames; ++n) {
        std::array<float, kTaps> e;
#pragma GCC unroll 8
        for (int k = 0; k < kTaps; ++k) {
            e[k] = c.tapGains[k] * m_preDelay.Read(pos + n, c.taps[k]);
        }
        const float reflections = ((e[0] + e[1]) + (e[2] + e[3])) + ((e[4] + e[5]) + (e[6] + e[7]));
        m_reflections.Write(pos + n, reflections);
        early[n] = c.earlyGain * reflections;
        late[n] = c.lateInGain * m_reflections.Read(pos + n, c.reverbDelay);
    }
    for (Allpass& a : m_earlyDiffusers) {
        a.Process(pos, early.data(), frames, c.earlyDiffusion);
    }
    for (Allpass& a : m_lateDiffusers) {
        a.Process(pos, late.data(), frames, c.lateDiffusion);
    }

    float* const lines = m_lines.data();
    const std::uint32_t mask = m_lineMask;
    const std::uint32_t stride = mask + 1;
    for (std::uint32_t n = 0; n < frames; ++n) {
        std::array<float, kLines> s;
        std::array<float, kLines> feedback;
#pragma GCC unroll 8
        for (int i = 0; i < kLines; ++i) {
            s[i] = lines[i * stride + ((pos + n - c.lineLengths[i]) & mask)];
            feedback[i] = c.lineGains[i] * s[i];
        }
        Hadamard8(feedback);
#pragma GCC unroll 8
        for (int i = 0; i < kLines; ++i) {
            lines[i * stride + ((pos + n) & mask)] = feedback[i] + kLineInSigns[i] * late[n];
            s[i] *= c.lineOut[i];
        }
        late[n] = ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    }

    // Tone shelves on the wet signal; both are exactly flat at gain step 8.
    for (std::uint32_t n = 0; n < frames; ++n) {
        float wet = early[n] + late[n];
        st.low += c.lowCoefficient * (wet - st.low);
        wet += (c.lowGain - 1.0f) * st.low;
        st.high += c.highCoefficient * (wet - st.high);
        wet = c.highGain * wet + (1.0f - c.highGain) * st.high;
        samples[n] = c.dry * samples[n] + c.wet * wet;
    }
    m_state = st;
    m_position = pos + frames;
}

void Reverb::Reset() {
    m_preDelay.Clear();
    m_reflections.Clear();
    for (Allpass& a : m_earlyDiffusers) {
        a.buffer.Clear();
    }
    for (Allpass& a : m_lateDiffusers) {
        a.buffer.Clear();
    }
    std::fill(m_lines.begin(), m_lines.end(), 0.0f);
    m_state = FilterState{};
}

}  // namespace

HRESULT CreateReverb(AudioEffect** reverb) {
    if (reverb == nullptr) {
        return E_INVALIDARG;
    }
    *reverb = new (std::nothrow) Reverb();
    return *reverb != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace platform
