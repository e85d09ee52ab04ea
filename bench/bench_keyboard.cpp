// The instrument as a player meets it, at 1280x720 on whatever renderer the machine has.
// Key to sound: the program itself, its frame loop drawing the whole window with ten held keys
// whose columns stand at the top of the view, and another key pressed at random moments, timed
// from going down to its first mixed samples; goal: median at most 5 ms, 99th percentile at most
// 10 ms, worst at most 15 ms. Also under load, and without the key listener (keys read once per
// frame) for comparison.
// Full frame: that window's frame, GPU work included, with each component's share; goal: at most
// 33 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/DisplayModes.h"
#include "app/StartupTimes.h"
#include "bench/TimbreFiles.h"
#include "keyboard/KeyTable.h"
#include "jewels/JewelManager.h"
#include "platform/audio/AudioEffect.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "platform/audio/Reverb.h"

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kPresses = 200;
// Presses wait up to this long after the previous note has gone, so that they land anywhere in
// the frame loop's and the audio callback's cycles.
constexpr std::uint32_t kMaxPhaseDelayUs = 25000;
constexpr auto kOnsetTimeout = std::chrono::seconds(2);
// A released note plays out its last buffers (well under a second) before its voice frees.
constexpr auto kFreeTimeout = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::microseconds(200);

// Held keys run their notes out in about six seconds; their columns stand at the top by then.
constexpr auto kHeldNotesTimeout = std::chrono::seconds(40);

constexpr std::uint32_t kFrameWidth = 1280, kFrameHeight = 720;
constexpr std::uint32_t kHeldKeys = 10;
constexpr std::uint32_t kPlayedKey = 11;  // A2
constexpr int kWarmUpFrames = 150;
constexpr float kWarmUpStep = 0.1f;
constexpr int kReadbackRepeats = 20;
constexpr int kShareFrames = 20;

// A player's palette: 32 timbre files in a data home of the benchmark's own.
constexpr int kTimbreFiles = 32;
const TimbresHome g_timbres("tovel-bench-keyboard", kTimbreFiles);

// The program's environment: offscreen OpenGL, the built jewels, the benchmark's timbres, and
// messages recorded instead of shown.
void Prepare() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("TOVEL_INSTALL_DIR", TOVEL_BUILD_BIN_DIR, 1);
    setenv("XDG_DATA_HOME", g_timbres.Path().c_str(), 1);
    delete MessageBoxPresenter::SetInstance(new MessageBoxRecorder(true));
    SetAudioBackend(AudioBackend::Device);
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Passes the reverb bus's input through untouched and notes, on the audio thread, when sound
// starts after silence. It sits in front of the reverb, so it hears the voices themselves: the
// first block that carries a new note's samples, not the reverb's delayed answer.
class OnsetTap final : public AudioEffect {
public:
    HRESULT Initialise(std::uint32_t channels, std::uint32_t) override {
        m_channels = channels;
        return S_OK;
    }
    HRESULT SetParameters(const void*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT GetParameters(void*, std::uint32_t) const override { return E_NOTIMPL; }
    void Reset() override {}

    void Process(float* samples, std::uint32_t frames) override {
        const Clock::rep now = Clock::now().time_since_epoch().count();
        const std::size_t n = static_cast<std::size_t>(frames) * m_channels;
        const bool sounding = std::any_of(samples, samples + n, [](float s) { return s != 0.0f; });
        if (sounding && !m_sounding) {
            m_onsetTime.store(now, std::memory_order_relaxed);
            m_onsets.fetch_add(1, std::memory_order_release);
        }
        m_sounding = sounding;
        m_silent.store(!sounding, std::memory_order_release);
        if (m_blocks.fetch_add(1, std::memory_order_relaxed) == 0) {
            m_firstBlock.store(now, std::memory_order_relaxed);
        }
        m_lastBlock.store(now, std::memory_order_relaxed);
    }

    std::uint64_t Onsets() const { return m_onsets.load(std::memory_order_acquire); }
    Clock::time_point OnsetTime() const {
        return Clock::time_point(Clock::duration(m_onsetTime.load(std::memory_order_relaxed)));
    }
    bool Silent() const { return m_silent.load(std::memory_order_acquire); }
    // Mean time between render passes of the device's callback thread.
    double BlockIntervalMs() const {
        const std::uint64_t blocks = m_blocks.load();
        if (blocks < 2) {
            return 0.0;
        }
        const Clock::duration span(m_lastBlock.load() - m_firstBlock.load());
        return Milliseconds(span) / static_cast<double>(blocks - 1);
    }

private:
    std::uint32_t m_channels = 1;
    bool m_sounding = false;  // audio thread only
    std::atomic<std::uint64_t> m_onsets{0};
    std::atomic<Clock::rep> m_onsetTime{0};
    std::atomic<bool> m_silent{true};
    std::atomic<std::uint64_t> m_blocks{0};
    std::atomic<Clock::rep> m_firstBlock{0}, m_lastBlock{0};
};

// Puts the tap in front of a fresh reverb of the bus's own settings; the bus keeps both.
OnsetTap* InstallOnsetTap(CSynthesizer& synth) {
    AudioEffect* reverb = nullptr;
    if (!synth.m_reverbBus || FAILED(CreateReverb(&reverb))) {
        return nullptr;
    }
    auto* tap = new OnsetTap();
    const EffectDescriptor descriptors[2] = {{tap, true, 1}, {reverb, true, 1}};
    const EffectChain chain{2, descriptors};
    const ReverbParameters parameters = CSynthesizer::ReverbSettings();
    const bool installed =
        SUCCEEDED(synth.m_reverbBus->SetEffectChain(&chain)) &&
        SUCCEEDED(synth.m_reverbBus->SetEffectParameters(1, &parameters, sizeof parameters));
    tap->Release();
    reverb->Release();
    return installed ? tap : nullptr;
}

template <typename Condition>
bool WaitFor(Condition condition, Clock::duration timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::uint32_t SoundingVoices(const CSynthesizer& synth) {
    std::uint32_t sounding = 0;
    for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
        sounding += synth.m_voices[i].m_wave.load() ? 1 : 0;
    }
    return sounding;
}

// The value at rank ceil(q * n) of the sorted samples.
double Percentile(std::vector<double> samples, double q) {
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

// The program itself, as RunApplication runs it, on a null window system whose desktop gives
// its window a client area of 1280x720, drawing with SDL's offscreen OpenGL.
class Program {
public:
    explicit Program(bool listenable) {
        Prepare();
        // Three quarters of the desktop in each direction.
        m_system.SetDisplayMode({kFrameWidth * 4 / 3 + 1, kFrameHeight * 4 / 3, 60, 22});
        delete CStartupTimes::SetInstance(new CStartupTimes());
        m_system.SetListenable(listenable);
        m_loop = std::thread([this] { RunApplication(m_system); });
    }
    ~Program() {
        m_system.PostQuitMessage(0);
        m_loop.join();
    }
    // True once the first frame is on the screen: from then on the program's objects stand.
    bool WaitUntilShown() {
        return WaitFor([] { return CStartupTimes::Instance()->FirstFrameShown(); },
                       std::chrono::seconds(60));
    }
    NullWindowSystem& System() { return m_system; }

private:
    NullWindowSystem m_system;
    std::thread m_loop;
};

// Keeps one core busy in another process for as long as it lives.
class BusyProcess {
public:
    BusyProcess() : m_pid(fork()) {
        if (m_pid == 0) {
            std::uint64_t spin = 0;
            for (;;) {
                benchmark::DoNotOptimize(++spin);
            }
        }
    }
    ~BusyProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid;
};

bool IsLiveKey(std::uint32_t i) {
    return AssignNotes(CSynthesizer::kLowest)[i].has_value();
}

std::string Renderer() {
    return graphics && graphics->m_device ? graphics->m_device->RendererName() : "no renderer";
}

// The full window as a player has it: ten keys held until their columns stand at the top of the
// view and their notes have run out, then another key pressed `presses` times at random moments,
// each timed from going down to its first mixed samples.
void MeasureKeyToSound(benchmark::State& state, bool underLoad, bool listenable) {
    const auto presses = static_cast<std::size_t>(state.max_iterations);
    std::unique_ptr<BusyProcess> busy;
    if (underLoad) {
        busy = std::make_unique<BusyProcess>();
    }
    Program program(listenable);
    NullWindowSystem& system = program.System();
    std::string error;
    CSynthesizer* synth = nullptr;
    OnsetTap* tap = nullptr;
    if (!program.WaitUntilShown()) {
        error = "the program never showed its first frame";
    } else {
        synth = CSynthesizer::Instance();
        tap = InstallOnsetTap(*synth);
        if (!synth->m_engine || !tap) {
            error = "no audio device path (engine or reverb bus missing)";
        }
    }
    // The ten highest live keys hold columns that rise fastest; a low key is the one played.
    std::vector<std::uint8_t> held;
    for (std::uint32_t i = kKeyCount; i-- > 0 && held.size() < kHeldKeys;) {
        if (IsLiveKey(i)) {
            held.push_back(KeyVirtualKey(i));
        }
    }
    const std::uint8_t played = KeyVirtualKey(kPlayedKey);
    if (error.empty()) {
        for (std::uint8_t vk : held) {
            system.SetKeyDown(vk, true);
        }
        // They start on another thread or at the next frame: first they sound, then they end.
        if (!WaitFor([&] { return SoundingVoices(*synth) == kHeldKeys; }, kOnsetTimeout)) {
            error = "the held keys never sounded";
        } else if (!WaitFor([&] { return SoundingVoices(*synth) == 0 && tap->Silent(); },
                            kHeldNotesTimeout)) {
            error = "the held notes never ran out";
        }
    }

    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::uint32_t> phase(0, kMaxPhaseDelayUs);
    std::vector<double> latencies;
    latencies.reserve(presses);
    for (auto _ : state) {
        if (!error.empty()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        const std::uint64_t onsets = tap->Onsets();
        const Clock::time_point pressed = Clock::now();
        system.SetKeyDown(played, true);
        if (!WaitFor([&] { return tap->Onsets() != onsets; }, kOnsetTimeout)) {
            error = "the pressed key was never heard";
            break;
        }
        const Clock::duration latency = tap->OnsetTime() - pressed;
        state.SetIterationTime(std::chrono::duration<double>(latency).count());
        latencies.push_back(Milliseconds(latency));

        system.SetKeyDown(played, false);
        // Silence after the free: the next onset can only be the next press.
        if (!WaitFor([&] { return SoundingVoices(*synth) == 0 && tap->Silent(); }, kFreeTimeout)) {
            error = "the released note never ended";
            break;
        }
    }
    const double callbackMs = tap ? tap->BlockIntervalMs() : 0.0;
    const std::string renderer = Renderer();
    const std::string driver = CurrentAudioDriver();

    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.counters["median_ms"] = Percentile(latencies, 0.5);
    state.counters["p99_ms"] = Percentile(latencies, 0.99);
    state.counters["max_ms"] = Percentile(latencies, 1.0);
    state.counters["callback_ms"] = callbackMs;
    const bool withGoal = !underLoad && listenable;
    state.SetLabel(std::string(withGoal ? "goal: median <= 5, p99 <= 10, max <= 15 ms; " : "") +
                   "renderer: " + renderer + "; audio: " + (driver.empty() ? "none" : driver));
}

void BM_KeyToSound(benchmark::State& state) {
    MeasureKeyToSound(state, false, true);
}
BENCHMARK(BM_KeyToSound)->Iterations(kPresses)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same with another process keeping one of the cores busy.
void BM_KeyToSoundUnderLoad(benchmark::State& state) {
    MeasureKeyToSound(state, true, true);
}
BENCHMARK(BM_KeyToSoundUnderLoad)
    ->Iterations(kPresses / 2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Without a key listener (a window system whose keys come only through its queue): the keys are
// read once per frame, so a key pressed while a frame draws waits for it to end.
void BM_KeyToSoundFramesOnly(benchmark::State& state) {
    MeasureKeyToSound(state, false, false);
}
BENCHMARK(BM_KeyToSoundFramesOnly)
    ->Iterations(kPresses)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_FullFrame(benchmark::State& state) {
    Prepare();
    NullWindowSystem system;
    WindowDesc desc;
    desc.width = kFrameWidth;
    desc.height = kFrameHeight;
    std::unique_ptr<Window> window = system.CreateWindow(desc, nullptr);
    graphics = CGraphics::Instance();
    if (FAILED(graphics->CreateDevice(window.get())) || FAILED(graphics->CreateEffect())) {
        state.SkipWithError("no OpenGL 4.5 core device");
        ShutdownApplication();
        return;
    }
    InitApplication(system);
    if (CJewelManager::Instance()->m_meshCount == 0 || FAILED(OnResetDevice())) {
        state.SkipWithError("no jewel library, or the device reset failed");
        ShutdownApplication();
        return;
    }
    IGraphicsDevice* device = graphics->m_device;
    CSynthesizer& synth = *CSynthesizer::Instance();

    // Ten live keys spread over both bands.
    std::vector<std::uint32_t> live;
    for (std::uint32_t i = 0; i < keyboard->m_keyCount; ++i) {
        if (keyboard->m_keys[i].m_wave) {
            live.push_back(i);
        }
    }
    std::vector<std::uint32_t> held;
    for (std::uint32_t k = 0; k < kHeldKeys && !live.empty(); ++k) {
        held.push_back(live[k * live.size() / kHeldKeys]);
    }
    for (std::uint32_t i : held) {
        system.SetKeyDown(keyboard->m_keys[i].m_virtualKey, true);
    }
    // A held note runs out of energy after a few seconds and keeps its voice silently; the player
    // strikes that key again, one frame up and then down, so that ten voices keep sounding. A
    // voice that no longer plays the key's own wave has ended its note, or went to another key.
    auto restrikeEndedNotes = [&] {
        for (std::uint32_t i : held) {
            const CKeyboardKey& key = keyboard->m_keys[i];
            const bool ended =
                synth.m_engine && key.m_voice && key.m_voice->m_wave.load() != key.m_wave.get();
            system.SetKeyDown(key.m_virtualKey, !ended);
        }
    };

    IGraphicsSurface* backBuffer = nullptr;
    device->GetBackBuffer(&backBuffer);
    std::vector<D3DCOLOR> pixels(static_cast<std::size_t>(kFrameWidth) * kFrameHeight);
    float total = 0.0f;
    auto frame = [&](float dt) {
        total += dt;
        restrikeEndedNotes();
        keyboard->UpdateKeys(dt);
        RenderFrame(device, total, dt);
        // Reading the presented picture back waits until the GPU has drawn all of it.
        device->GetRenderTargetData(backBuffer, pixels.data());
    };
    // The first frames compile the shaders and make the targets; then the columns are played up
    // to the top of the view in steps of simulated time, as they stand after a while of playing.
    for (int i = 0; i < kWarmUpFrames; ++i) {
        frame(kWarmUpStep);
    }
    std::uint64_t voiceFrames = 0;
    Clock::time_point last = Clock::now();
    for (auto _ : state) {
        const Clock::time_point now = Clock::now();
        frame(static_cast<float>(std::chrono::duration<double>(now - last).count()));
        last = now;
        voiceFrames += SoundingVoices(synth);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["voices"] =
        static_cast<double>(voiceFrames) / static_cast<double>(state.iterations());

    // What the sync alone costs, so it can be told apart from the frame.
    auto sync = [&] { device->GetRenderTargetData(backBuffer, pixels.data()); };
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kReadbackRepeats; ++i) {
        sync();
    }
    const double readbackMs = Milliseconds(Clock::now() - start) / kReadbackRepeats;
    state.counters["readback_ms"] = readbackMs;

    // Each component's share: the frame's steps as RenderFrame takes them, each waited for.
    struct Share {
        const char* name;
        std::function<void(float dt)> draw;
        double ms = 0.0;
    };
    std::vector<Share> shares = {
        {"clear_ms", [&](float) { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0); }},
        {"harmonics_ms", [&](float dt) {
             device->BeginScene();
             if (harmonicsControl) {
                 harmonicsControl->Render(dt);
             }
         }},
        {"palette_ms", [&](float dt) {
             if (palette) {
                 palette->Render(total, dt);
             }
         }},
        {"keyboard_ms", [&](float dt) { keyboard->RenderScene(total, dt); }},
        {"present_ms", [&](float) {
             device->EndScene();
             device->Present();
         }},
    };
    last = Clock::now();
    for (int i = 0; i < kShareFrames; ++i) {
        const Clock::time_point now = Clock::now();
        const auto dt = static_cast<float>(std::chrono::duration<double>(now - last).count());
        last = now;
        total += dt;
        restrikeEndedNotes();
        keyboard->UpdateKeys(dt);
        sync();
        for (Share& share : shares) {
            start = Clock::now();
            share.draw(dt);
            sync();
            share.ms += Milliseconds(Clock::now() - start) - readbackMs;
        }
    }
    for (const Share& share : shares) {
        state.counters[share.name] = share.ms / kShareFrames;
    }
    const std::string driver = CurrentAudioDriver();
    state.SetLabel("goal: <= 33 ms; renderer: " + device->RendererName() +
                   "; audio: " + (driver.empty() ? std::string("none") : driver));

    backBuffer->Release();
    ShutdownApplication();
    window.reset();
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
