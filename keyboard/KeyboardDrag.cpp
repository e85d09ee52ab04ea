// Keeping the current timbre: the press in the keyboard band, the drag that lifts a jewel of the
// timbre out of it, the release over a palette tile, and the lifted jewel drawn at the pointer.

#include <cstdlib>
#include <memory>

#include "controls/HsvColour.h"
#include "graphics/Bloom.h"
#include "graphics/Graphics.h"
#include "graphics/Targets.h"
#include "jewels/JewelManager.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "palette/TimbrePalette.h"
#include "platform/graphics/D3DMath.h"

using namespace platform;

namespace {

// The lifted jewel's square is a quarter of the height wide, as its picture is.
constexpr double kDragHalfSize = 0.125;
// Its spin: turning one way about the vertical as it rolls the other, tilted by pi/4.
constexpr float kDragYawRate = -0.5f;
constexpr float kDragPitch = 0.785398185f;
constexpr float kDragRollRate = 0.5f;
// Its glow is added a quarter more strongly than its brightness.
constexpr float kDragMergeFactor = 1.25f;
constexpr std::uint32_t kDragFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

}  // namespace

bool CSynthesizerKeyboard::IsInBand(int y) const {
    const auto height = static_cast<double>(m_targetHeight);
    return static_cast<int>(0.5 * height) < y && y < static_cast<int>(0.75 * height);
}

bool CSynthesizerKeyboard::OnButtonDown(int x, int y, Window* window) {
    if (!IsInBand(y)) {
        return false;
    }
    m_window = window;
    m_dragState = 1;
    m_lastX = x;
    m_lastY = y;
    const auto c = static_cast<float>(kDragHalfSize * static_cast<double>(m_targetHeight));
    const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
    m_dragQuad[0].x = m_dragQuad[2].x = fx - c;
    m_dragQuad[1].x = m_dragQuad[3].x = fx + c;
    m_dragQuad[0].y = m_dragQuad[1].y = fy - c;
    m_dragQuad[2].y = m_dragQuad[3].y = fy + c;
    return true;
}

bool CSynthesizerKeyboard::OnButtonUp(int x, int y) {
    if (m_dragState == 0) {
        return false;
    }
    if (m_dragState == 2 && m_timbre) {
        CTimbrePalette* palette = CTimbrePalette::Instance();
        if (palette && palette->HitTile(x, y)) {
            // The palette keeps a copy with waveforms of its own; the keys play on from theirs.
            auto kept = std::make_unique<CTimbre>(*m_timbre);
            CSynthesizer* synth = CSynthesizer::Instance();
            kept->BuildWaves(synth->m_lowest, synth->m_highest);
            // A save that fails has told the user; the drag ends all the same.
            palette->StoreTimbreAt(x, y, std::move(kept), m_dragJewel);
        }
    }
    m_dragJewel = -1;
    m_dragState = 0;
    return true;
}

void CSynthesizerKeyboard::UpdateDrag() {
    POINT cursor{};
    if (m_window && m_window->System().GetCursorPos(&cursor)) {
        m_window->ScreenToClient(&cursor);
        TrackDrag(cursor.x, cursor.y);
    }
}

void CSynthesizerKeyboard::TrackDrag(int x, int y) {
    if (m_dragState == 0 || (x == m_lastX && y == m_lastY)) {
        return;
    }
    if (m_dragState != 1 || !IsInBand(y)) {
        m_dragState = 2;
        const CJewelManager* library = m_jewels ? m_jewels : CJewelManager::Instance();
        if (m_dragJewel < 0 && library->m_meshCount > 0) {
            m_dragJewel = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::rand()) %
                                                    library->m_meshCount);
        }
    }
    m_lastX = x;
    m_lastY = y;
}

void CSynthesizerKeyboard::FollowPointer() {
    const float centreX = (m_dragQuad[0].x + m_dragQuad[1].x) * 0.5f;
    const float centreY = (m_dragQuad[0].y + m_dragQuad[2].y) * 0.5f;
    const float dx = (static_cast<float>(m_lastX) - centreX) * 0.5f;
    const float dy = (static_cast<float>(m_lastY) - centreY) * 0.5f;
    for (DragVertex& v : m_dragQuad) {
        v.x += dx;
        v.y += dy;
    }
}

void CSynthesizerKeyboard::DrawDraggedJewel(float total) {
    if (!m_timbre || !m_jewels || !m_jewelTarget || !m_jewelMerged) {
        return;
    }
    if (m_timbre->m_color.m_hue < 0.0f) {
        m_timbre->DeriveHue();
    }
    const D3DVECTOR4 placement[1] = {{0.0f, 0.0f, 0.0f, 1.0f}};
    D3DVECTOR4 colour[1] = {{0.0f, 0.0f, 0.0f, 0.0f}};
    PaletteJewelRgb(m_timbre->m_color, &colour[0].x, &colour[0].y, &colour[0].z);
    m_timbre->m_color.m_saturation = 1.0f;

    D3DMATRIX rotation;
    D3DXMatrixRotationYawPitchRoll(&rotation, kDragYawRate * total, kDragPitch,
                                   kDragRollRate * total);
    m_jewels->DrawKeyboardJewel(&m_jewelViewProjection, &rotation, &m_jewelEye, &m_jewelLight,
                                &m_jewelViewport, placement, colour,
                                static_cast<std::uint32_t>(m_dragJewel), m_hSeveralColorJewel,
                                m_jewelKernel, m_jewelTarget, m_jewelBright, m_jewelBlur);

    SaveRenderTarget(*m_graphics);
    ClearTexture(m_device, m_jewelMerged);
    SetTargetTexture(m_device, m_jewelMerged);
    MergeRenderTargets(*m_graphics, m_jewelTarget, m_jewelBlur, kDragMergeFactor);
    RestoreRenderTarget(*m_graphics);

    IGraphicsDevice* device = m_device;
    device->SetFVF(kDragFormat);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetTexture(0, m_jewelMerged);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    // The picture is premultiplied: its glow adds light, its jewel covers what lies below.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, m_dragQuad, sizeof(DragVertex));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetTexture(0, nullptr);
}
