#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/audio/Reverb.h"

namespace platform {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockFrames = 256;

// One second of the bus at the instrument's settings, in the engine's block size. The counters
// give the real-time factor (seconds of audio per second of CPU) and the cost per sample.
void BM_ReverbOneSecond(benchmark::State& state) {
    AudioEffect* reverb = nullptr;
    if (CreateReverb(&reverb) != S_OK || reverb->Initialise(1, kRate) != S_OK) {
        state.SkipWithError("cannot create the reverb");
        return;
    }
    // The defaults are the bus's settings.
    std::vector<float> input(kRate);
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    for (float& v : input) {
        v = noise(rng);
    }
    std::vector<float> buffer(kRate);
    for (auto _ : state) {
        std::memcpy(buffer.data(), input.data(), input.size() * sizeof(float));
        for (std::uint32_t at = 0; at < kRate; at += kBlockFrames) {
            reverb->Process(buffer.data() + at, std::min(kBlockFrames, kRate - at));
        }
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.counters["realtime_x"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["s_per_sample"] = benchmark::Counter(
        kRate, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    reverb->Release();
}
BENCHMARK(BM_ReverbOneSecond)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace platform
