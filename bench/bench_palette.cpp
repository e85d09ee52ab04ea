// The palette. Its share of the frame: the strip full of tiles at 1280x720 on the program's own
// device, drawn alone and with the rest of the frame (the keyboard idle), GPU work included.
// Start-up to the first presented frame: device, effect, jewels, palette, keyboard, the first
// reset and frame, with a Timbres folder of 32 timbre files and with an empty one, and the ratio
// of the two.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/DisplayModes.h"
#include "container/ContainerFile.h"
#include "jewels/JewelManager.h"
#include "palette/TimbreFile.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFrameWidth = 1280, kFrameHeight = 720;
// Enough timbres that the strip is full: 11 tiles are drawn at this size.
constexpr int kStripTimbres = 12;
constexpr int kFullPalette = 32;
constexpr int kWarmUpFrames = 30;
constexpr int kStartups = 9;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A Timbres folder of its own below a private data home, with `count` timbre files; each is
// given a jewel the first time the program loads it.
class TimbresHome {
public:
    explicit TimbresHome(int count)
        : m_home(fs::temp_directory_path() /
                 ("tovel-bench-palette-" + std::to_string(::getpid()) + "-" + std::to_string(count))) {
        const fs::path folder = m_home / "tovel" / "Timbres";
        fs::create_directories(folder);
        for (int i = 0; i < count; ++i) {
            Amplitudes amplitudes = {1.0f};
            amplitudes[1 + i % 11] = 0.05f * static_cast<float>(i % 20);
            CVendra tree;
            SetBaseWords32(*AddLayer(tree), std::as_bytes(std::span(amplitudes)));
            char name[32];
            std::snprintf(name, sizeof name, "2024010203%04d.tmbr", i);
            WriteContainer(folder / name, tree);
        }
    }
    ~TimbresHome() {
        std::error_code error;
        fs::remove_all(m_home, error);
    }
    void Use() const { setenv("XDG_DATA_HOME", m_home.c_str(), 1); }

private:
    fs::path m_home;
};

// The program brought up on an offscreen window as start-up brings it up, to its first
// presented frame; false when there is no device to draw with.
bool StartProgram(WindowSystem& system, std::unique_ptr<Window>& window) {
    WindowDesc desc;
    desc.width = kFrameWidth;
    desc.height = kFrameHeight;
    window = system.CreateWindow(desc, nullptr);
    graphics = CGraphics::Instance();
    if (FAILED(graphics->CreateDevice(window.get())) || FAILED(graphics->CreateEffect())) {
        return false;
    }
    InitApplication(system);
    if (!palette || FAILED(OnResetDevice())) {
        return false;
    }
    RenderFrame(graphics->m_device, 0.0f, 0.0f);
    return true;
}

void Prepare() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TOVEL_INSTALL_DIR", TOVEL_BUILD_BIN_DIR, 1);
    delete MessageBoxPresenter::SetInstance(new MessageBoxRecorder(true));
}

void BM_PaletteShareOfFrame(benchmark::State& state) {
    Prepare();
    const TimbresHome home(kStripTimbres);
    home.Use();
    NullWindowSystem system;
    std::unique_ptr<Window> window;
    if (!StartProgram(system, window)) {
        state.SkipWithError("no OpenGL 4.5 core device, or start-up failed");
        ShutdownApplication();
        return;
    }
    IGraphicsDevice* device = graphics->m_device;
    IGraphicsSurface* backBuffer = nullptr;
    device->GetBackBuffer(&backBuffer);
    std::vector<D3DCOLOR> pixels(static_cast<std::size_t>(kFrameWidth) * kFrameHeight);
    float total = 0.0f;
    // Reading the picture back waits until the GPU has drawn all of it.
    auto whole = [&](float dt) {
        RenderFrame(device, total += dt, dt);
        device->GetRenderTargetData(backBuffer, pixels.data());
    };
    auto stripAlone = [&](float dt) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        palette->Render(total += dt, dt);
        device->EndScene();
        device->GetRenderTargetData(backBuffer, pixels.data());
    };
    auto timed = [&](auto&& frame, int frames) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            frame(0.016f);
        }
        return Milliseconds(Clock::now() - start) / frames;
    };
    timed(whole, kWarmUpFrames);
    timed(stripAlone, kWarmUpFrames);
    double frameMs = 0.0, stripMs = 0.0, clearMs = 0.0;
    for (auto _ : state) {
        frameMs += timed(whole, 10);
        stripMs += timed(stripAlone, 10);
        // The clear and the read-back alone, which the strip's figure also holds.
        clearMs += timed(
            [&](float) {
                device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
                device->GetRenderTargetData(backBuffer, pixels.data());
            },
            10);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["frame_ms"] = frameMs / n;
    state.counters["palette_ms"] = (stripMs - clearMs) / n;
    state.counters["palette_share"] = (stripMs - clearMs) / frameMs;
    state.counters["tiles"] = palette->m_visibleCount;
    backBuffer->Release();
    ShutdownApplication();
}
BENCHMARK(BM_PaletteShareOfFrame)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_StartupWith32Timbres(benchmark::State& state) {
    Prepare();
    const TimbresHome empty(0), full(kFullPalette);
    auto startup = [&](const TimbresHome& home) {
        home.Use();
        NullWindowSystem system;
        std::unique_ptr<Window> window;
        const Clock::time_point start = Clock::now();
        const bool started = StartProgram(system, window);
        const double ms = Milliseconds(Clock::now() - start);
        const std::uint32_t entries = palette ? palette->m_entryCount : 0;
        ShutdownApplication();
        return started ? std::pair(ms, entries) : std::pair(-1.0, entries);
    };
    // The first start gives every file its jewel, which later starts only read.
    startup(full);
    std::vector<double> none, thirtyTwo;
    for (auto _ : state) {
        for (int i = 0; i < kStartups; ++i) {
            const auto [emptyMs, emptyEntries] = startup(empty);
            const auto [fullMs, fullEntries] = startup(full);
            if (emptyMs < 0 || fullMs < 0 || emptyEntries != 4 || fullEntries != kFullPalette) {
                state.SkipWithError("start-up failed, or the palettes are not as made");
                return;
            }
            none.push_back(emptyMs);
            thirtyTwo.push_back(fullMs);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["empty_ms"] = median(none);
    state.counters["32_timbres_ms"] = median(thirtyTwo);
    state.counters["ratio"] = median(thirtyTwo) / median(none);
}
BENCHMARK(BM_StartupWith32Timbres)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
