// The screen saver's frames at 1920x1080, GPU work included, against the 40 ms of its timer:
// Bubble with the columns of half a minute of saving, and the Circle's ring of twelve. The
// counter budget is the frame's share of the 40 ms; readback_ms is what reading the picture
// back (which waits for the GPU) costs on its own.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/Graphics.h"
#include "jewels/JewelManager.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "screensaver/SaverScene.h"

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kWidth = 1920, kHeight = 1080;
constexpr std::uint32_t kFramePeriodMs = 40;
// Half a minute of saving before the measured frames, so Bubble has its columns in the air.
constexpr int kWarmUpFrames = 30 * 25;
constexpr int kReadbackRepeats = 20;

void SaverFrame(benchmark::State& state, int arrangement) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("TOVEL_INSTALL_DIR", TOVEL_BUILD_BIN_DIR, 1);
    delete MessageBoxPresenter::SetInstance(new MessageBoxRecorder(true));
    NullWindowSystem system;
    WindowDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    std::unique_ptr<Window> window = system.CreateWindow(desc, nullptr);
    // The saver's clock runs at its timer's pace, whatever the frames cost here.
    std::uint32_t now = 0;
    CSaverScene scene([&now] { return now; });
    scene.Begin();
    if (FAILED(scene.Startup(window.get(), SaverSettings{-1, arrangement}))) {
        state.SkipWithError("no OpenGL 4.5 core device or no jewel library");
        scene.Shutdown();
        return;
    }
    IGraphicsDevice* device = CGraphics::Instance()->m_device;
    IGraphicsSurface* backBuffer = nullptr;
    device->GetBackBuffer(&backBuffer);
    std::vector<D3DCOLOR> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    auto frame = [&] {
        now += kFramePeriodMs;
        scene.OnTimer();
        device->GetRenderTargetData(backBuffer, pixels.data());
    };
    for (int i = 0; i < kWarmUpFrames; ++i) {
        frame();
    }
    std::uint64_t columns = 0;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        frame();
        for (CJewelTask* task = CJewelManager::Instance()->m_activeTasks; task;
             task = task->m_next) {
            ++columns;
        }
        benchmark::DoNotOptimize(pixels.data());
    }
    const double frameMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    state.counters["budget"] = frameMs / kFramePeriodMs;
    state.counters["columns"] =
        static_cast<double>(columns) / static_cast<double>(state.iterations());
    const Clock::time_point readStart = Clock::now();
    for (int i = 0; i < kReadbackRepeats; ++i) {
        device->GetRenderTargetData(backBuffer, pixels.data());
    }
    state.counters["readback_ms"] =
        std::chrono::duration<double, std::milli>(Clock::now() - readStart).count() /
        kReadbackRepeats;
    backBuffer->Release();
    scene.Shutdown();
    window.reset();
}

void BM_BubbleFrame(benchmark::State& state) {
    SaverFrame(state, kBubble);
}
void BM_CircleFrame(benchmark::State& state) {
    SaverFrame(state, kCircle);
}

BENCHMARK(BM_BubbleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CircleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
