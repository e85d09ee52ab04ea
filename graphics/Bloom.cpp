#include "graphics/Bloom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/Targets.h"

using namespace platform;

namespace {

// Pre-transformed vertex of the screen quad (D3DFVF_XYZRHW | D3DFVF_TEX1).
struct ScreenVertex {
    float x, y, z, rhw;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 24);

constexpr std::uint32_t kScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;
constexpr std::uint32_t kKernelBytes = sizeof(BloomKernel);
// The three lines of the star, 60 degrees apart, as the 32-bit float the turn is summed in.
constexpr float kStarTurn = 1.0471976f;
constexpr int kStarLines = 3;
constexpr int kStarTapsPerSide = 5;

D3DXHANDLE Technique(IGraphicsEffect* effect, D3DXHANDLE& handle, const char* name) {
    if (!handle) {
        handle = effect->GetTechniqueByName(name);
    }
    return handle;
}

D3DXHANDLE Parameter(IGraphicsEffect* effect, D3DXHANDLE& handle, const char* semantic) {
    if (!handle) {
        handle = effect->GetParameterBySemantic(nullptr, semantic);
    }
    return handle;
}

// The technique's single pass over the whole target. Stops at the first failing step, so a pass
// that could not begin draws nothing with another technique's states.
HRESULT RunScreenPass(CGraphics& graphics) {
    std::uint32_t passes = 0;
    HRESULT hr = graphics.m_effect->Begin(&passes, 0);
    if (FAILED(hr)) {
        return hr;
    }
    hr = graphics.m_effect->BeginPass(0);
    if (SUCCEEDED(hr)) {
        DrawScreenQuad(graphics, 0.0f, 0.0f, 1.0f, 1.0f);
        hr = graphics.m_effect->EndPass();
    }
    const HRESULT end = graphics.m_effect->End();
    return FAILED(hr) ? hr : end;
}

// Limits drawing to the target's pixels under a region and puts the scissor state back as it
// was when it goes.
class ScissorScope {
public:
    explicit ScissorScope(IGraphicsDevice* device) : m_device(device) {}
    ScissorScope(const ScissorScope&) = delete;
    ScissorScope& operator=(const ScissorScope&) = delete;
    ~ScissorScope() {
        if (m_limited) {
            m_device->SetScissorRect(&m_rect);
            m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, m_enabled);
        }
    }

    // False when the region covers no pixel, so there is nothing to draw.
    bool Limit(const TextureRegion& region) {
        IGraphicsSurface* target = nullptr;
        if (FAILED(m_device->GetRenderTarget(0, &target))) {
            return true;
        }
        const std::uint32_t width = target->GetWidth(), height = target->GetHeight();
        target->Release();
        RECT rect = TargetRect(region, width, height);
        m_device->GetScissorRect(&m_rect);
        m_device->GetRenderState(D3DRS_SCISSORTESTENABLE, &m_enabled);
        if (m_enabled) {
            rect = {std::max(rect.left, m_rect.left), std::max(rect.top, m_rect.top),
                    std::min(rect.right, m_rect.right), std::min(rect.bottom, m_rect.bottom)};
        }
        if (rect.right <= rect.left || rect.bottom <= rect.top) {
            return false;
        }
        if (!m_enabled && rect.left == 0 && rect.top == 0 &&
            rect.right == static_cast<std::int32_t>(width) &&
            rect.bottom == static_cast<std::int32_t>(height)) {
            return true;
        }
        m_limited = true;
        m_device->SetScissorRect(&rect);
        m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
        return true;
    }

private:
    IGraphicsDevice* m_device;
    bool m_limited = false;
    RECT m_rect{};
    std::uint32_t m_enabled = 0;
};

void Normalise(BloomKernel& table, float sum, float normaliser) {
    const float n = sum * normaliser;
    for (D3DVECTOR4& tap : table) {
        tap.z = tap.z / n;
    }
}

}  // namespace

void SaveRenderTarget(CGraphics& graphics) {
    // A target still held from a frame whose restore failed would otherwise never be released.
    if (graphics.m_savedRenderTarget) {
        graphics.m_savedRenderTarget->Release();
        graphics.m_savedRenderTarget = nullptr;
    }
    graphics.m_device->GetRenderTarget(0, &graphics.m_savedRenderTarget);
}

void RestoreRenderTarget(CGraphics& graphics) {
    if (SUCCEEDED(graphics.m_device->SetRenderTarget(0, graphics.m_savedRenderTarget))) {
        graphics.m_savedRenderTarget->Release();
        graphics.m_savedRenderTarget = nullptr;
    }
}

void DrawScreenQuad(CGraphics& graphics, float uLeft, float vTop, float uRight, float vBottom) {
    IGraphicsDevice* device = graphics.m_device;
    float width = 0.0f, height = 0.0f;
    IGraphicsSurface* target = nullptr;
    if (SUCCEEDED(device->GetRenderTarget(0, &target))) {
        width = static_cast<float>(target->GetWidth());
        height = static_cast<float>(target->GetHeight());
        target->Release();
    }
    // The half-pixel shift puts texel centres on pixel centres.
    const ScreenVertex quad[4] = {
        {-0.5f, -0.5f, 0.5f, 1.0f, uLeft, vTop},
        {width - 0.5f, -0.5f, 0.5f, 1.0f, uRight, vTop},
        {-0.5f, height - 0.5f, 0.5f, 1.0f, uLeft, vBottom},
        {width - 0.5f, height - 0.5f, 0.5f, 1.0f, uRight, vBottom},
    };
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetFVF(kScreenVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    device->SetRenderState(D3DRS_ZENABLE, 1);
}

void ApplyBrightPass(CGraphics& graphics, IGraphicsTexture* dest, IGraphicsTexture* source,
                     const TextureRegion* region) {
    IGraphicsDevice* device = graphics.m_device;
    const D3DXHANDLE technique =
        Technique(graphics.m_effect, graphics.m_hBrightPassFilter, "BrightPassFilter");

    const std::uint32_t width = dest ? dest->GetWidth() : 0;
    const std::uint32_t height = dest ? dest->GetHeight() : 0;
    SetTargetTexture(device, dest);
    device->SetTexture(0, source);

    // The outermost pixels keep what they held (the user's zeros), so the blur reads black at the
    // border and a bright object at the screen's edge does not smear along it.
    const RECT inner = {1, 1, static_cast<std::int32_t>(width) - 1,
                        static_cast<std::int32_t>(height) - 1};
    device->SetScissorRect(&inner);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    {
        ScissorScope scissor(device);
        if ((!region || scissor.Limit(*region)) &&
            SUCCEEDED(graphics.m_effect->SetTechnique(technique))) {
            RunScreenPass(graphics);
        }
    }
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
}

void ApplyBlur(CGraphics& graphics, IGraphicsTexture* dest, IGraphicsTexture* source,
               const BloomKernel& kernel, const TextureRegion* region) {
    IGraphicsDevice* device = graphics.m_device;
    IGraphicsEffect* effect = graphics.m_effect;
    const D3DXHANDLE technique = Technique(effect, graphics.m_hGaussBlurF4x32, "GaussBlurF4x32");
    const D3DXHANDLE taps = Parameter(effect, graphics.m_hFloat4x32, "Float4x32");

    SetTargetTexture(device, dest);
    // Without its kernel the pass would weigh whatever another component left in Float4x32.
    const bool uploaded = SUCCEEDED(effect->SetRawValue(taps, kernel.data(), 0, kKernelBytes));
    device->SetTexture(0, source);
    ScissorScope scissor(device);
    if (uploaded && (!region || scissor.Limit(*region)) &&
        SUCCEEDED(effect->SetTechnique(technique))) {
        RunScreenPass(graphics);
    }
}

void MergeRenderTargets(CGraphics& graphics, IGraphicsTexture* scene, IGraphicsTexture* glow,
                        float factor, const TextureRegion* region) {
    IGraphicsDevice* device = graphics.m_device;
    IGraphicsEffect* effect = graphics.m_effect;
    ScissorScope scissor(device);
    if (region && !scissor.Limit(*region)) {
        return;
    }
    if (FAILED(effect->SetTechnique(
            Technique(effect, graphics.m_hMergeRenderTarget, "MergeRenderTarget"))) ||
        FAILED(effect->SetFloat(Parameter(effect, graphics.m_hFloatConst, "FloatConst"), factor)) ||
        FAILED(device->SetTexture(0, scene)) || FAILED(device->SetTexture(1, glow)) ||
        FAILED(RunScreenPass(graphics))) {
        return;
    }
    if (SUCCEEDED(device->SetTexture(0, nullptr))) {
        device->SetTexture(1, nullptr);
    }
}

void BuildStarKernel(BloomKernel& table, int width, int height, float angle, float length,
                     float variance, float normaliser) {
    table[0] = {0.0f, 0.0f, 1.0f, 0.0f};
    float sum = 0.0f;
    float theta = angle;
    for (int j = 0; j < kStarLines; ++j) {
        const float dx = std::cos(theta) * length / static_cast<float>(width);
        const float dy = std::sin(theta) * length / static_cast<float>(height);
        for (int i = 1; i <= kStarTapsPerSide; ++i) {
            const float fi = static_cast<float>(i);
            const float w = std::exp(static_cast<float>(i * i) / (-2.0f * variance));
            // Each mirrored pair is counted once, so the centre weighs as much as one side.
            table[1 + 10 * j + (i - 1)] = {fi * dx, fi * dy, w, 0.0f};
            table[6 + 10 * j + (i - 1)] = {-fi * dx, -fi * dy, w, 0.0f};
            sum = sum + w;
        }
        theta = theta + kStarTurn;
    }
    Normalise(table, sum, normaliser);
}

void BuildStreakKernel(BloomKernel& table, int size, float variance, float normaliser) {
    const float step = 1.0f / static_cast<float>(size);
    float sum = 0.0f;
    for (int i = 0; i < static_cast<int>(kBloomKernelTaps); ++i) {
        const float w = std::exp(static_cast<float>(i * i) / (-2.0f * variance));
        table[i] = {0.0f, static_cast<float>(i) * step, w, 0.0f};
        sum = sum + w;
    }
    Normalise(table, sum, normaliser);
}
