#include "screensaver/JewelSet.h"

#include <algorithm>

#include "graphics/Bloom.h"
#include "graphics/Graphics.h"
#include "graphics/ScreenRegion.h"
#include "graphics/Targets.h"
#include "jewels/JewelLibrary.h"
#include "jewels/JewelManager.h"

using namespace platform;

namespace {

HRESULT Upload(IGraphicsEffect* effect, D3DXHANDLE parameter, std::span<const D3DVECTOR4> array) {
    return effect->SetValue(parameter, array.data(),
                            static_cast<std::uint32_t>(array.size_bytes()));
}

// The draw into the scene target, from binding the buffers to ending the technique.
HRESULT DrawIntoScene(CJewelManager& manager, D3DXHANDLE technique, const D3DMATRIX& rotation,
                      std::span<const D3DVECTOR4> positions, std::span<const D3DVECTOR4> colours,
                      std::uint32_t first, std::uint32_t count) {
    IGraphicsDevice* device = manager.m_device;
    IGraphicsEffect* effect = manager.m_effect;
    HRESULT hr = SetTargetTexture(device, manager.m_sceneTarget);
    if (SUCCEEDED(hr)) {
        hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        hr = device->SetVertexDeclaration(manager.m_vertexDecl);
    }
    if (SUCCEEDED(hr)) {
        hr = device->SetStreamSource(0, manager.m_vertexBuffer, 0, kJewelGpuVertexBytes);
    }
    if (SUCCEEDED(hr)) {
        hr = device->SetIndices(manager.m_indexBuffer);
    }
    if (SUCCEEDED(hr)) {
        hr = effect->SetMatrix(manager.m_hRotation, &rotation);
    }
    if (SUCCEEDED(hr)) {
        hr = Upload(effect, manager.m_hFloat4x32_2, colours);
    }
    if (SUCCEEDED(hr)) {
        hr = Upload(effect, manager.m_hFloat4x32, positions);
    }
    // The technique takes a vertex's entry as its mesh's library position less this.
    if (SUCCEEDED(hr)) {
        hr = effect->SetInt(manager.m_hIntConst, static_cast<std::int32_t>(first));
    }
    if (SUCCEEDED(hr)) {
        hr = effect->SetTechnique(technique);
    }
    if (FAILED(hr)) {
        return hr;
    }
    MeshRange range;
    GetMeshRange(manager.m_meshes.get(), first, count, &range);
    std::uint32_t passes = 0;
    hr = effect->Begin(&passes, 0);
    if (FAILED(hr)) {
        return hr;
    }
    hr = effect->BeginPass(0);
    if (SUCCEEDED(hr)) {
        hr = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.firstVertex,
                                          range.vertexTotal, range.firstIndex, range.triangleTotal);
        const HRESULT ended = effect->EndPass();
        hr = SUCCEEDED(hr) ? ended : hr;
    }
    const HRESULT ended = effect->End();
    return SUCCEEDED(hr) ? ended : hr;
}

// Where each step of the glow can write, for jewels at the positions that reach at most the
// library's mesh radius from them, however they turn.
GlowRegions JewelSetRegions(const CJewelManager& manager, std::span<const D3DVECTOR4> positions,
                            std::uint32_t count, const D3DMATRIX& viewProjection) {
    const float r = manager.m_meshRadius;
    D3DVECTOR3 low{}, high{};
    const std::size_t n = std::min<std::size_t>(count, positions.size());
    for (std::size_t i = 0; i < n; ++i) {
        const D3DVECTOR4& p = positions[i];
        const D3DVECTOR3 a{p.x - r, p.y - r, p.z - r}, b{p.x + r, p.y + r, p.z + r};
        low = i == 0 ? a
                     : D3DVECTOR3{std::min(low.x, a.x), std::min(low.y, a.y), std::min(low.z, a.z)};
        high = i == 0 ? b
                      : D3DVECTOR3{std::max(high.x, b.x), std::max(high.y, b.y),
                                   std::max(high.z, b.z)};
    }
    const TextureRegion drawn = n ? ProjectBox(viewProjection, low, high) : TextureRegion{};
    return GlowChainRegions(drawn, manager.m_targetWidth, manager.m_targetHeight,
                            manager.m_targetWidth / 8, manager.m_targetHeight / 8,
                            manager.m_blurWeights);
}

}  // namespace

HRESULT DrawJewelSet(CJewelManager& manager, D3DXHANDLE technique, const D3DMATRIX& rotation,
                     std::span<const D3DVECTOR4> positions, std::span<const D3DVECTOR4> colours,
                     std::uint32_t first, std::uint32_t count, float mergeFactor,
                     const D3DMATRIX* viewProjection) {
    if (!manager.m_graphics || !manager.m_device || !manager.m_effect || !manager.m_sceneTarget ||
        !manager.m_bloomTargetA || !manager.m_bloomTargetB || manager.m_meshCount == 0) {
        return D3DERR_INVALIDCALL;
    }
    CGraphics& graphics = *manager.m_graphics;
    SaveRenderTarget(graphics);
    const HRESULT hr =
        DrawIntoScene(manager, technique, rotation, positions, colours, first, count);
    if (FAILED(hr)) {
        RestoreRenderTarget(graphics);
        return hr;
    }
    const GlowRegions regions =
        viewProjection
            ? JewelSetRegions(manager, positions, count, *viewProjection)
            : GlowRegions{TextureRegion::Whole(), TextureRegion::Whole(), TextureRegion::Whole()};
    ClearTexture(manager.m_device, manager.m_bloomTargetA);
    ApplyBrightPass(graphics, manager.m_bloomTargetA, manager.m_sceneTarget, &regions.bright);
    ClearTexture(manager.m_device, manager.m_bloomTargetB);
    ApplyBlur(graphics, manager.m_bloomTargetB, manager.m_bloomTargetA, manager.m_blurWeights,
              &regions.blur);
    RestoreRenderTarget(graphics);
    MergeRenderTargets(graphics, manager.m_sceneTarget, manager.m_bloomTargetB, mergeFactor,
                       &regions.merge);
    return S_OK;
}
