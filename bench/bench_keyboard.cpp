// The instrument as a player meets it. Key-to-sound latency: a key goes down in the polled key
// state at a random moment, the frame loop's next scan starts a voice, and the audio device's
// callback mixes its first samples; goals: median at most 10 ms, 99th percentile at most 20 ms.
// Measured with a loop that only scans, and with one that also draws every frame as the program
// does (the scan then comes once per drawn frame, or as soon as the key ends the loop's pause).
// Full frame: the keyboard scene at 1280x720 with ten keys held, once their columns have risen to
// the top of the view, GPU work included; goal: at most 16 ms a frame.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/DisplayModes.h"
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

constexpr std::uint32_t kFrameWidth = 1280, kFrameHeight = 720;
constexpr std::uint32_t kHeldKeys = 10;
constexpr int kWarmUpFrames = 150;
constexpr float kWarmUpStep = 0.1f;
constexpr int kReadbackRepeats = 20;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The palette's Timbres folder is made in a data home of the benchmark's own, empty, so that the
// keyboard plays the built-in timbres and no user's folder is touched.
class PrivateDataHome {
public:
    PrivateDataHome()
        : m_home(std::filesystem::temp_directory_path() /
                 ("tovel-bench-keyboard-" + std::to_string(::getpid()))) {
        setenv("XDG_DATA_HOME", m_home.c_str(), 1);
    }
    ~PrivateDataHome() {
        std::error_code error;
        std::filesystem::remove_all(m_home, error);
    }

private:
    std::filesystem::path m_home;
};
const PrivateDataHome g_dataHome;

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

// Presses a live key kPresses times and times each press to its first mixed samples. With
// `drawing`, every frame of the loop also draws the full scene at 1280x720, as the program's does,
// so the scan comes as often as the real program's.
void MeasureKeyToSound(benchmark::State& state, bool drawing) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("TOVEL_INSTALL_DIR", TOVEL_BUILD_BIN_DIR, 1);
    delete MessageBoxPresenter::SetInstance(new MessageBoxRecorder(true));
    SetAudioBackend(AudioBackend::Device);
    NullWindowSystem system;

    std::atomic<std::int32_t> ready{0};  // 1: set up, -1: failed
    std::uint32_t key = 0;
    std::uint8_t virtualKey = 0;
    std::uint64_t frames = 0;
    Clock::time_point firstFrame, lastFrame;

    // Everything that draws lives on the loop's thread, where its GL context is current.
    std::thread loop([&] {
        std::unique_ptr<Window> window;
        IGraphicsDevice* device = nullptr;
        if (drawing) {
            WindowDesc desc;
            desc.width = kFrameWidth;
            desc.height = kFrameHeight;
            window = system.CreateWindow(desc, nullptr);
            graphics = CGraphics::Instance();
            graphics->CreateDevice(window.get());
            graphics->CreateEffect();
            device = graphics->m_device;
        } else {
            // The scan needs no device; the manager only hands out columns, as it does headless.
            auto* jewels = new CJewelManager();
            jewels->CreateTasks();
            delete CJewelManager::SetInstance(jewels);
        }
        InitApplication(system);
        if (drawing && (!device || FAILED(OnResetDevice()))) {
            ShutdownApplication();
            ready = -1;
            return;
        }
        key = keyboard->m_keyCount;
        for (std::uint32_t i = 0; i < keyboard->m_keyCount && key == keyboard->m_keyCount; ++i) {
            if (keyboard->m_keys[i].m_wave) {
                key = i;
            }
        }
        if (key == keyboard->m_keyCount) {
            ShutdownApplication();
            ready = -1;
            return;
        }
        virtualKey = keyboard->m_keys[key].m_virtualKey;
        // The program's own frame loop: scan, draw if asked, then the loop's 10 ms pause, which
        // a key going down or up ends early.
        FrameLoopHooks hooks;
        hooks.sleep = [&system](std::uint32_t ms) { system.WaitForKeyInput(ms); };
        hooks.frame = [&](float total, float dt) {
            keyboard->UpdateKeys(dt);
            if (drawing) {
                RenderFrame(device, total, dt);
            }
            lastFrame = Clock::now();
            if (frames++ == 0) {
                firstFrame = lastFrame;
            }
        };
        hooks.resetDevice = [] { OnResetDevice(); };
        ready = 1;
        RunFrameLoop(system, hooks);
        ShutdownApplication();
    });
    WaitFor([&] { return ready.load() != 0; }, std::chrono::seconds(60));
    CSynthesizer* synth = ready.load() == 1 ? CSynthesizer::Instance() : nullptr;
    OnsetTap* tap = synth ? InstallOnsetTap(*synth) : nullptr;
    const std::string driver = CurrentAudioDriver();
    std::string error;
    if (!synth || !synth->m_engine || !tap) {
        error = "no audio device path (engine, reverb bus, a live key or the device missing)";
    }

    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::uint32_t> phase(0, kMaxPhaseDelayUs);
    std::vector<double> latencies;
    latencies.reserve(kPresses);
    for (auto _ : state) {
        if (!error.empty()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        const std::uint64_t onsets = tap->Onsets();
        const Clock::time_point pressed = Clock::now();
        system.SetKeyDown(virtualKey, true);
        if (!WaitFor([&] { return tap->Onsets() != onsets; }, kOnsetTimeout)) {
            error = "the pressed key was never heard";
            break;
        }
        const Clock::duration latency = tap->OnsetTime() - pressed;
        state.SetIterationTime(std::chrono::duration<double>(latency).count());
        latencies.push_back(Milliseconds(latency));

        system.SetKeyDown(virtualKey, false);
        // Silence after the free: the next onset can only be the next press.
        if (!WaitFor([&] { return SoundingVoices(*synth) == 0 && tap->Silent(); }, kFreeTimeout)) {
            error = "the released note never ended";
            break;
        }
    }
    // The tap goes with the synthesizer when the loop's thread shuts the program down.
    const double callbackMs = tap ? tap->BlockIntervalMs() : 0.0;
    if (ready.load() == 1) {
        system.PostQuitMessage(0);
    }
    loop.join();

    if (!error.empty()) {
        state.SkipWithError(error.c_str());
    } else {
        state.counters["median_ms"] = Percentile(latencies, 0.5);
        state.counters["p99_ms"] = Percentile(latencies, 0.99);
        state.counters["max_ms"] = Percentile(latencies, 1.0);
        state.counters["scan_period_ms"] =
            frames > 1 ? Milliseconds(lastFrame - firstFrame) / static_cast<double>(frames - 1)
                       : 0.0;
        state.counters["callback_ms"] = callbackMs;
        state.SetLabel(std::string("audio driver: ") + (driver.empty() ? std::string("none") : driver));
    }
}

void BM_KeyToSound(benchmark::State& state) {
    MeasureKeyToSound(state, false);
}
BENCHMARK(BM_KeyToSound)->Iterations(kPresses)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_KeyToSoundWhileDrawing(benchmark::State& state) {
    MeasureKeyToSound(state, true);
}
BENCHMARK(BM_KeyToSoundWhileDrawing)
    ->Iterations(kPresses)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_FullFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("TOVEL_INSTALL_DIR", TOVEL_BUILD_BIN_DIR, 1);
    delete MessageBoxPresenter::SetInstance(new MessageBoxRecorder(true));
    SetAudioBackend(AudioBackend::Device);
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
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kReadbackRepeats; ++i) {
        device->GetRenderTargetData(backBuffer, pixels.data());
    }
    state.counters["readback_ms"] = Milliseconds(Clock::now() - start) / kReadbackRepeats;
    const std::string driver = CurrentAudioDriver();
    state.SetLabel(std::string("audio driver: ") + (driver.empty() ? std::string("none") : driver));

    backBuffer->Release();
    ShutdownApplication();
    window.reset();
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
