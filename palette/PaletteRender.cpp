// The palette's drawing: its device objects, the jewels with their glow drawn into a target of
// their own, and the tiles printed with the pattern atlas and that target through two texture
// stages.

#include <algorithm>
#include <cmath>

#include "controls/HsvColour.h"
#include "graphics/Bloom.h"
#include "graphics/Graphics.h"
#include "graphics/Targets.h"
#include "jewels/JewelBuffers.h"
#include "jewels/JewelManager.h"
#include "palette/TimbrePalette.h"
#include "platform/graphics/D3DMath.h"

using namespace platform;

HRESULT CTimbrePalette::Layout() {
    if (!m_device) {
        return D3DERR_INVALIDCALL;
    }
    IGraphicsSurface* target = nullptr;
    HRESULT hr = m_device->GetRenderTarget(0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    const std::uint32_t width = target->GetWidth(), height = target->GetHeight();
    target->Release();
    LayoutTiles(width, height);

    OnLostDevice();
    const std::uint32_t glowWidth = m_targetWidth / 8, glowHeight = m_targetHeight / 8;
    hr = CreateRenderTarget(m_device, m_targetWidth, m_targetHeight, &m_jewelTarget);
    if (SUCCEEDED(hr)) {
        hr = CreateRenderTarget(m_device, m_targetWidth, m_targetHeight, &m_mergedTarget);
    }
    if (SUCCEEDED(hr)) {
        hr = CreateRenderTarget(m_device, glowWidth, glowHeight, &m_brightTarget);
    }
    if (SUCCEEDED(hr)) {
        hr = CreateRenderTarget(m_device, glowWidth, glowHeight, &m_blurTarget);
    }
    if (FAILED(hr)) {
        return hr;
    }
    BuildStarKernel(m_blurParams, static_cast<int>(glowWidth), static_cast<int>(glowHeight), 0.0f,
                    1.0f, 10.0f, 1.0f);
    return S_OK;
}

HRESULT CTimbrePalette::OnLostDevice() {
    ReleaseAndNull(m_jewelTarget);
    ReleaseAndNull(m_mergedTarget);
    ReleaseAndNull(m_brightTarget);
    ReleaseAndNull(m_blurTarget);
    return S_OK;
}

void CTimbrePalette::ReleaseDeviceObjects() {
    OnLostDevice();
    ReleaseAndNull(m_patternTexture);
    ReleaseAndNull(m_vertexBuffer);
    ReleaseAndNull(m_indexBuffer);
    ReleaseAndNull(m_vertexDecl);
}

HRESULT CTimbrePalette::RebuildJewelBuffers() {
    if (!m_device) {
        return D3DERR_INVALIDCALL;
    }
    // Buffers that no longer match the chain would draw other meshes' vertices: without new
    // ones, no jewel is drawn.
    ReleaseAndNull(m_vertexBuffer);
    ReleaseAndNull(m_indexBuffer);
    JewelMesh* meshes = m_head ? m_head->m_mesh.get() : nullptr;
    m_meshRadius = 0.0f;
    for (const JewelMesh* mesh = meshes; mesh; mesh = mesh->next) {
        for (std::uint32_t v = 0; v < mesh->vertexCount; ++v) {
            const float* p = &mesh->vertices[std::size_t{v} * JewelMesh::kFloatsPerVertex];
            m_meshRadius = std::max(m_meshRadius, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
        }
    }
    return PackJewelMeshes(m_device, meshes, &m_vertexBuffer, &m_indexBuffer);
}

TextureRegion CTimbrePalette::JewelRegion() const {
    if (m_targetWidth == 0 || m_targetHeight == 0 || m_cellsAcross == 0) {
        return {};
    }
    // A jewel turns about its cell's centre and is scaled by s pixels a unit, so it stays within
    // s times its farthest vertex of that centre.
    const float reach = static_cast<float>(m_tileWidth) * 0.5f * 0.75f * m_meshRadius;
    const float du = reach / static_cast<float>(m_targetWidth);
    const float dv = reach / static_cast<float>(m_targetHeight);
    TextureRegion region{};
    for (std::uint32_t i = 0; i < m_visibleCount; ++i) {
        const std::uint32_t position = m_firstVisible + i;
        const PaletteEntry* entry = EntryAt(position);
        if (!entry || !entry->m_timbre) {
            continue;
        }
        const float u = (m_jewelCells[position].x + 1.0f) * 0.5f;
        const float v = (1.0f - m_jewelCells[position].y) * 0.5f;
        region = Union(region, {u - du, v - dv, u + du, v + dv});
    }
    return region;
}

void CTimbrePalette::Render(float total, float dt) {
    Update(dt);
    if (!m_device || !m_graphics || !m_jewelTarget || !m_mergedTarget || !m_brightTarget ||
        !m_blurTarget) {
        return;
    }
    DrawJewels(total);
    DrawTiles();
}

void CTimbrePalette::DrawJewels(float total) {
    D3DMATRIX rotation;
    D3DXMatrixRotationYawPitchRoll(&rotation, m_yawRate * total, m_pitch, m_rollRate * total);

    SaveRenderTarget(*m_graphics);
    D3DVIEWPORT9 viewport{};
    m_device->GetViewport(&viewport);
    IGraphicsSurface* depth = nullptr;
    m_device->GetDepthStencilSurface(&depth);
    m_device->SetViewport(&m_viewport);
    m_device->SetDepthStencilSurface(nullptr);

    // The blank tile holds no jewel; it can only be the last one drawn.
    std::uint32_t count = m_visibleCount;
    if (count > 0 && Tile(m_firstVisible + count - 1)[0].colour == kBlankTileColour) {
        --count;
    }
    if (m_jewels) {
        m_jewels->DrawPaletteJewels(m_jewelTarget, m_vertexBuffer, m_indexBuffer, m_vertexDecl,
                                    m_head->m_mesh.get(), &rotation, &m_viewProjection,
                                    m_jewelCells, m_jewelColours, m_firstVisible, count);
    }

    const GlowRegions regions =
        GlowChainRegions(JewelRegion(), m_targetWidth, m_targetHeight, m_targetWidth / 8,
                         m_targetHeight / 8, m_blurParams);
    ClearTexture(m_device, m_brightTarget);
    ApplyBrightPass(*m_graphics, m_brightTarget, m_jewelTarget, &regions.bright);
    ClearTexture(m_device, m_blurTarget);
    ApplyBlur(*m_graphics, m_blurTarget, m_brightTarget, m_blurParams, &regions.blur);
    ClearTexture(m_device, m_mergedTarget);
    SetTargetTexture(m_device, m_mergedTarget);
    MergeRenderTargets(*m_graphics, m_jewelTarget, m_blurTarget, kMergeFactor, &regions.merge);

    m_device->SetDepthStencilSurface(depth);
    if (depth) {
        depth->Release();
    }
    m_device->SetViewport(&viewport);
    RestoreRenderTarget(*m_graphics);
}

void CTimbrePalette::DrawTiles() {
    IGraphicsDevice* device = m_device;
    device->SetTexture(0, m_patternTexture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTexture(1, m_mergedTarget);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHAPM);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_ADD);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetFVF(kTileFormat);

    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, m_visibleCount * 2, Tile(m_firstVisible),
                            sizeof(TileVertex));
    if (m_pointerState == 2 && m_pressedEntry && m_pressedEntry->m_timbre) {
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, m_dragQuad.data(), sizeof(TileVertex));
    }

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
}
