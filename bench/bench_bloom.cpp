// The glow chain one component runs per frame, at 1280x720 on the machine's GL driver (llvmpipe
// here): fill B, bright pass, fill C, blur, restore, merge. Each iteration waits for the GPU.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "graphics/Bloom.h"
#include "graphics/Graphics.h"
#include "platform/window/NullWindow.h"
#include "platform/window/Window.h"

namespace {

using namespace platform;

constexpr std::uint32_t kWidth = 1280, kHeight = 720;

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

// A few lit patches with alpha and one unlit one, as a jewel scene leaves them.
void DrawScene(IGraphicsDevice* device) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    const D3DCOLOR colours[] = {0xFFFF8040, 0x80FFFFFF, 0x4040C0FF, 0x00406080};
    for (int i = 0; i < 4; ++i) {
        const float left = 100.0f + 280.0f * static_cast<float>(i), top = 200.0f;
        const float right = left + 160.0f, bottom = top + 240.0f;
        const Vertex quad[4] = {{left, top, 0.5f, 1.0f, colours[i]},
                                {right, top, 0.5f, 1.0f, colours[i]},
                                {left, bottom, 0.5f, 1.0f, colours[i]},
                                {right, bottom, 0.5f, 1.0f, colours[i]}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    }
}

IGraphicsTexture* Target(IGraphicsDevice* device, std::uint32_t width, std::uint32_t height,
                         IGraphicsSurface** surface) {
    IGraphicsTexture* texture = nullptr;
    if (FAILED(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, &texture)) ||
        FAILED(texture->GetSurfaceLevel(0, surface))) {
        std::abort();
    }
    return texture;
}

void BM_BloomChain(benchmark::State& state) {
    // No display is needed: SDL's offscreen driver gives a GL context through EGL.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::unique_ptr<WindowSystem> system = CreateNullWindowSystem();
    WindowDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    std::unique_ptr<Window> window = system->CreateWindow(desc, nullptr);
    CGraphics& graphics = *CGraphics::Instance();
    if (FAILED(graphics.CreateDevice(window.get())) || FAILED(graphics.CreateEffect())) {
        state.SkipWithError("no OpenGL 4.5 core device");
        return;
    }
    IGraphicsDevice* device = graphics.m_device;

    // The frame is a texture of the back buffer's size, so that it can be sampled afterwards.
    IGraphicsSurface *frameSurface = nullptr, *sceneSurface = nullptr, *brightSurface = nullptr,
                     *glowSurface = nullptr, *probeSurface = nullptr;
    IGraphicsTexture* frame = Target(device, kWidth, kHeight, &frameSurface);
    IGraphicsTexture* scene = Target(device, kWidth, kHeight, &sceneSurface);
    IGraphicsTexture* bright = Target(device, kWidth / 8, kHeight / 8, &brightSurface);
    IGraphicsTexture* glow = Target(device, kWidth / 8, kHeight / 8, &glowSurface);
    IGraphicsTexture* probe = Target(device, 1, 1, &probeSurface);
    BloomKernel kernel;
    BuildStarKernel(kernel, kWidth / 8, kHeight / 8, 0.0f, 1.0f, 12.0f, 2.0f);
    device->SetRenderTarget(0, sceneSurface);
    DrawScene(device);
    device->SetRenderTarget(0, frameSurface);

    D3DCOLOR pixel = 0;
    for (auto _ : state) {
        SaveRenderTarget(graphics);
        device->ColorFill(brightSurface, nullptr, 0);
        ApplyBrightPass(graphics, bright, scene);
        device->ColorFill(glowSurface, nullptr, 0);
        ApplyBlur(graphics, glow, bright, kernel);
        RestoreRenderTarget(graphics);
        MergeRenderTargets(graphics, scene, glow, 3.0f);
        // Sampling the merged frame into one pixel and reading that back waits for the chain.
        device->SetRenderTarget(0, probeSurface);
        MergeRenderTargets(graphics, frame, frame, 0.0f);
        device->GetRenderTargetData(probeSurface, &pixel);
        device->SetRenderTarget(0, frameSurface);
        benchmark::DoNotOptimize(pixel);
    }

    for (IGraphicsSurface* surface :
         {frameSurface, sceneSurface, brightSurface, glowSurface, probeSurface}) {
        surface->Release();
    }
    for (IGraphicsTexture* texture : {frame, scene, bright, glow, probe}) {
        texture->Release();
    }
    CGraphics::DeleteInstance();
}

BENCHMARK(BM_BloomChain)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
