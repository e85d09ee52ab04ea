#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/audio/AudioEngine.h"
#include "synth/SineTable.h"
#include "synth/Synthesizer.h"
#include "synth/Timbre.h"

namespace {

constexpr std::uint32_t kStepFrames = 441;  // the instrument's 10 ms key-scan step
constexpr std::uint32_t kStepsPerIteration = 100;
constexpr float kStepSeconds = 0.01f;

// Every waveform of a timbre, C2..A#6, as a timbre change rebuilds them. Goal: at most 2 ms per
// timbre, so that switching timbres never stalls the user interface. The sines are shared by all
// timbres and computed once per process; BM_FirstBuildSines is what the first build adds.
void BM_BuildWaves(benchmark::State& state, void (CTimbre::*preset)()) {
    CTimbre timbre;
    (timbre.*preset)();
    for (auto _ : state) {
        if (timbre.BuildWaves(CSynthesizer::kLowest, CSynthesizer::kHighest) == 0) {
            state.SkipWithError("BuildWaves failed");
            return;
        }
        benchmark::DoNotOptimize(timbre.m_waves.get());
    }
}
void BM_FirstBuildSines(benchmark::State& state) {
    for (auto _ : state) {
        float sum = 0.0f;
        for (CNote note = CSynthesizer::kLowest; Distance(note, CSynthesizer::kHighest) >= 0;
             note.Step()) {
            const std::uint32_t count = PeriodSamples(NoteFrequency(note.m_note, note.m_octave));
            for (std::uint32_t h = 1; h <= SineTable::kHarmonics; ++h) {
                for (std::uint32_t j = 0; j < count; ++j) {
                    sum += SineTable::Sine(count, h, j);
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FirstBuildSines)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_BuildWaves, AllEvenHi, &CTimbre::SetAllEvenHiWave)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildWaves, Sawtooth, &CTimbre::SetSawtoothWave)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildWaves, Square, &CTimbre::SetSquareWave)->Unit(benchmark::kMillisecond);

// The whole graph with every voice sounding: ten held notes into the reverb bus and a stereo
// master, rendered in key-scan steps. realtime_x is seconds of audio per second of CPU on one
// core; goal: at least 500.
void BM_TenVoicesWithReverb(benchmark::State& state) {
    platform::SetAudioBackend(platform::AudioBackend::Offline, 2);
    CSynthesizer& synth = *CSynthesizer::Instance();
    CTimbre timbre;
    timbre.SetSawtoothWave();
    if (!synth.m_master || !synth.m_reverbBus ||
        timbre.BuildWaves(synth.m_lowest, synth.m_highest) == 0) {
        state.SkipWithError("no offline audio graph");
        CSynthesizer::DeleteInstance();
        return;
    }
    // Ten different notes spread over the range, a fourth apart from C2 up.
    std::vector<std::shared_ptr<const CNoteWave>> notes;
    for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
        notes.emplace_back(timbre.m_waves, &timbre.m_waves[5 * i]);
    }
    auto keepTenSounding = [&] {
        for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
            CPlayTask& voice = synth.m_voices[i];
            if (!voice.m_wave.load()) {
                voice.Play(notes[i], CPlayTask::kStartEnergy);
            } else {
                voice.Sustain(kStepSeconds);
            }
        }
    };
    std::vector<float> out(2 * kStepFrames);
    std::int64_t silentSteps = 0;
    for (auto _ : state) {
        for (std::uint32_t step = 0; step < kStepsPerIteration; ++step) {
            keepTenSounding();
            synth.m_engine->RenderOffline(out.data(), kStepFrames);
            silentSteps += synth.FindFreeVoice() ? 1 : 0;
        }
        benchmark::DoNotOptimize(out.data());
    }
    const double audioSeconds = kStepsPerIteration * kStepFrames / 44100.0;
    state.counters["realtime_x"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
    // Share of steps that ended with a voice free until the next step restarted it.
    state.counters["free_share"] = static_cast<double>(silentSteps) /
                                   static_cast<double>(state.iterations() * kStepsPerIteration);
    CSynthesizer::DeleteInstance();
}
BENCHMARK(BM_TenVoicesWithReverb)->Unit(benchmark::kMillisecond);

}  // namespace
