#include "platform/audio/Reverb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "tests/support/audio/AudioMeasure.h"

namespace platform {
namespace {

using namespace tovel_test;

constexpr std::uint32_t kRate = 44100;

// What the instrument sets on its bus; also the reverb's defaults.
// clang-format off
constexpr ReverbParameters kBus = {100.0f, 5, 5, 5, 6, 6, 27, 27, 8, 8, 8, 4, 8, 4,
                                   5000.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 100.0f, 100.0f};
// clang-format on

using EffectPtr = std::unique_ptr<AudioEffect, void (*)(AudioEffect*)>;

// Initialised for mono at `rate` and given `p`, when there is one.
EffectPtr MakeReverb(const ReverbParameters* p = nullptr, std::uint32_t rate = kRate) {
    AudioEffect* raw = nullptr;
    EXPECT_EQ(CreateReverb(&raw), S_OK);
    EffectPtr reverb(raw, [](AudioEffect* e) { e->Release(); });
    if (p) {
        EXPECT_EQ(reverb->Initialise(1, rate), S_OK);
        EXPECT_EQ(reverb->SetParameters(p, sizeof *p), S_OK);
    }
    return reverb;
}

// In the engine's block size.
std::vector<float> Render(AudioEffect& reverb, std::vector<float> x) {
    for (std::size_t at = 0; at < x.size(); at += 256) {
        reverb.Process(x.data() + at,
                       static_cast<std::uint32_t>(std::min<std::size_t>(256, x.size() - at)));
    }
    return x;
}

std::vector<float> ImpulseResponse(const ReverbParameters& p, double seconds,
                                   std::uint32_t rate = kRate) {
    std::vector<float> x(static_cast<std::size_t>(seconds * rate), 0.0f);
    x[0] = 1.0f;
    return Render(*MakeReverb(&p, rate), x);
}

std::vector<float> Noise(std::size_t frames, float deviation, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(0.0f, deviation);
    std::vector<float> x(frames);
    std::generate(x.begin(), x.end(), [&] { return gauss(rng); });
    return x;
}

// T30: least-squares line through the -5..-35 dB part of the Schroeder energy decay curve.
double T30Seconds(const std::vector<float>& ir, std::uint32_t rate) {
    std::vector<double> edc(ir.size());
    double tail = 0.0;
    for (std::size_t i = ir.size(); i-- > 0;) {
        edc[i] = tail += double{ir[i]} * ir[i];
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0, n = 0;
    for (std::size_t i = 0; i < edc.size(); ++i) {
        const double db = Decibels(edc[i] / edc[0]), t = static_cast<double>(i) / rate;
        if (db <= -5.0 && db >= -35.0) {
            sx += t, sy += db, sxx += t * t, sxy += t * db, n += 1;
        }
    }
    return -60.0 * (n * sxx - sx * sx) / (n * sxy - sx * sy);
}

// A 20 ms Hann-windowed tone: its band spans dozens of room modes, so its energy shows filters.
double BurstEnergy(const ReverbParameters& p, double hz) {
    std::vector<float> x(kRate * 2, 0.0f);
    const int frames = kRate / 50;
    for (int i = 0; i < frames; ++i) {
        x[i] = static_cast<float>((1 - std::cos(2 * std::numbers::pi * i / frames)) *
                                  std::sin(2 * std::numbers::pi * hz * i / kRate));
    }
    return Energy(Render(*MakeReverb(&p), x));
}

TEST(ReverbSetup, FormatsDefaultsAndParameterRanges) {
    EffectPtr reverb = MakeReverb();
    EXPECT_EQ(std::tuple(E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, S_OK),
              (std::tuple{reverb->Initialise(2, kRate), reverb->Initialise(1, 7999),
                          reverb->Initialise(1, 192001), reverb->Initialise(1, 20000)}));
    ReverbParameters p{};
    ASSERT_EQ(reverb->GetParameters(&p, sizeof p), S_OK);
    EXPECT_EQ(std::memcmp(&p, &kBus, sizeof p), 0) << "defaults differ from the bus settings";
    // Invalid records are rejected and change nothing.
    using P = ReverbParameters;
    // clang-format off
    void (*const spoilers[])(P&) = {
        [](P& p) { p.WetDryMix = std::nanf(""); },  [](P& p) { p.ReflectionsDelay = 301; },
        [](P& p) { p.ReverbDelay = 86; },           [](P& p) { p.RearDelay = 6; },
        [](P& p) { p.RoomFilterFreq = 19.9f; },     [](P& p) { p.DecayTime = 0.09f; },
        [](P& p) { p.DecayTime = INFINITY; },       [](P& p) { p.RoomSize = 100.1f; }};
    // clang-format on
    for (std::size_t i = 0; i < std::size(spoilers); ++i) {
        P bad = kBus;
        spoilers[i](bad);
        EXPECT_EQ(reverb->SetParameters(&bad, sizeof bad), E_INVALIDARG) << "case " << i;
        reverb->GetParameters(&bad, sizeof bad);
        EXPECT_EQ(std::memcmp(&bad, &kBus, sizeof bad), 0) << "case " << i << " changed the record";
    }
}

// T30 follows DecayTime at any rate, room size and density. Broadband sound comes out about 10 dB
// down whatever the decay, so ten voices' peaks stay below full scale (20 kHz room filter: flat).
TEST(ReverbDecay, T30MatchesDecayTimeAndTheBroadbandLevelHolds) {
    const struct {
        std::uint32_t rate;
        float decaySeconds, roomSizeFeet, density;
    } cases[] = {{kRate, 0.3f, 100, 100}, {kRate, 1, 100, 100},  {kRate, 2, 100, 100},
                 {kRate, 8, 100, 100},    {48000, 0.5f, 40, 50}, {22050, 4, 100, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.decaySeconds << " s, "
                                          << c.roomSizeFeet << " ft, density " << c.density);
        ReverbParameters p = kBus;
        p.DecayTime = c.decaySeconds, p.RoomSize = c.roomSizeFeet, p.Density = c.density;
        p.RoomFilterFreq = 20000.0f;
        const std::vector<float> ir = ImpulseResponse(p, 3.0 * c.decaySeconds, c.rate);
        EXPECT_NEAR(T30Seconds(ir, c.rate), c.decaySeconds, 0.05 * c.decaySeconds);
        EXPECT_NEAR(Decibels(Energy(ir)), -10.5, 1.5);
    }
}

// Wet only starts at the pre-delay, dry only is transparent, and the room low-pass damps highs.
TEST(ReverbMix, WetStartsAtThePreDelayDryIsTransparentAndTheRoomDampsHighs) {
    const std::vector<float> ir = ImpulseResponse(kBus, 0.1);
    const auto first = std::find_if(ir.begin(), ir.end(), [](float v) { return v != 0.0f; });
    // 5 ms at 44100 Hz is 220.5 samples.
    EXPECT_GE(first - ir.begin(), 220) << "output before the pre-delay: a dry path";
    EXPECT_LE(first - ir.begin(), 221) << "first output after the pre-delay";
    ReverbParameters p = kBus;
    p.WetDryMix = 0.0f;
    const std::vector<float> input = Noise(4096, 0.5f, 7);
    EXPECT_EQ(Render(*MakeReverb(&p), input), input);
    EXPECT_LT(Decibels(BurstEnergy(kBus, 15000.0) / BurstEnergy(kBus, 500.0)), -6.0)
        << "15 kHz against 500 Hz through the 5 kHz room low-pass";
}

// A short decay left to itself reaches subnormals within 1.5 s; Reset drops the tail at once.
TEST(ReverbState, ResetAndSilenceLeaveNoTailAndNoSubnormals) {
    ReverbParameters p = kBus;
    p.DecayTime = 0.1f;
    EffectPtr reverb = MakeReverb(&p);
    const std::vector<float> noise = Noise(kRate / 2, 0.3f, 3), silence(kRate * 3, 0.0f);
    Render(*reverb, noise);
    const std::vector<float> tail = Render(*reverb, silence);
    EXPECT_GT(Energy({tail.begin(), tail.begin() + 1000}), 1e-3) << "no tail after the noise";
    EXPECT_TRUE(std::none_of(tail.begin(), tail.end(), [](float v) {
        return std::fpclassify(v) == FP_SUBNORMAL;
    })) << "subnormals in the tail";
    EXPECT_LT(std::fabs(tail.back()), 1e-12f) << "3 s after the input stopped";
    Render(*reverb, noise);
    reverb->Reset();
    EXPECT_LT(Peak(Render(*reverb, silence), 0, kRate), 1e-12) << "tail left after Reset";
}

}  // namespace
}  // namespace platform
