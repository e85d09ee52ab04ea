// The keyboard scene of CSynthesizerKeyboard: the key mesh, the device-dependent targets, the
// label texture, the cameras and the per-frame drawing of the keys and the jewel columns.

#include <span>
#include <vector>

#include "graphics/Graphics.h"
#include "graphics/Targets.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyLabels.h"
#include "keyboard/KeyMesh.h"
#include "keyboard/KeyTable.h"
#include "keyboard/KeyboardCamera.h"
#include "keyboard/SynthesizerKeyboard.h"

using namespace platform;

namespace {

constexpr std::uint32_t kKeyVertexStride = sizeof(KeyVertex);
// The keys' glow is added twice as strongly as the scene's brightness.
constexpr float kKeyMergeFactor = 2.0f;

}  // namespace

HRESULT CSynthesizerKeyboard::BuildKeyMesh() {
    m_graphics = CGraphics::Instance();
    m_device = m_graphics->m_device;
    m_effect = m_graphics->m_effect;
    // Without a device the program has already said so and is ending: there is nothing to draw.
    if (!m_device || !m_effect) {
        return S_OK;
    }
    m_jewels = CJewelManager::Instance();
    m_hKeyboard = m_effect->GetTechniqueByName("Keyboard");
    m_hSeveralColorJewel = m_effect->GetTechniqueByName("SeveralColorJewel");
    m_hFloat4x48 = m_effect->GetParameterBySemantic(nullptr, "Float4x48");
    m_hFloat4x8 = m_effect->GetParameterBySemantic(nullptr, "Float4x8");
    m_hViewProjection = m_effect->GetParameterBySemantic(nullptr, "ViewProjection");
    m_hCameraPosition = m_effect->GetParameterBySemantic(nullptr, "CameraPosition");

    KeyboardRectangle rectangle;
    const HRESULT hr = CreateKeyMesh(m_device, KeyCentres(), &m_vertexBuffer, &m_indexBuffer,
                                     &m_declaration, &rectangle);
    if (FAILED(hr)) {
        return hr;
    }
    m_minX = rectangle.minX;
    m_maxX = rectangle.maxX;
    m_minZ = rectangle.minZ;
    m_maxZ = rectangle.maxZ;
    m_width = rectangle.width;
    m_depth = rectangle.depth;
    constexpr float kCorners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        m_dragQuad[i] = {0.5f, 0.5f, 0.5f, 1.0f, 0x00000000, kCorners[i][0], kCorners[i][1]};
    }
    return S_OK;
}

std::vector<D3DVECTOR3> CSynthesizerKeyboard::KeyCentres() const {
    std::vector<D3DVECTOR3> centres(m_keyCount);
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        centres[i] = m_keys[i].m_position;
    }
    return centres;
}

TextureRegion CSynthesizerKeyboard::ProjectKeys() const {
    const std::vector<D3DVECTOR3> centres = KeyCentres();
    const KeyboardRectangle rectangle{m_minX, m_maxX, m_minZ, m_maxZ, m_width, m_depth};
    std::vector<KeyVertex> vertices(centres.size() * kVerticesPerKey);
    std::vector<std::uint16_t> indices(centres.size() * kIndicesPerKey);
    BuildKeyVertices(centres, rectangle, vertices.data(), indices.data());
    std::vector<D3DVECTOR3> corners;
    corners.reserve(vertices.size());
    for (const KeyVertex& v : vertices) {
        corners.push_back({v.x, v.y, v.z});
    }
    return ProjectPoints(m_viewProjection, corners);
}

HRESULT CSynthesizerKeyboard::OnResetDevice() {
    if (!m_device || !m_vertexBuffer) {
        return S_OK;
    }
    OnLostDevice();
    IGraphicsSurface* target = nullptr;
    HRESULT hr = m_device->GetRenderTarget(0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    const std::uint32_t w = target->GetWidth() & ~7u, h = target->GetHeight() & ~7u;
    target->Release();
    m_targetWidth = w;
    m_targetHeight = h;

    struct Target {
        IGraphicsTexture** texture;
        std::uint32_t width, height;
    };
    const Target targets[] = {
        {&m_sceneTarget, w, h},         {&m_brightTarget, w / 8, h / 8},
        {&m_blurTarget, w / 8, h / 8},  {&m_jewelTarget, h / 4, h / 4},
        {&m_jewelMerged, h / 4, h / 4}, {&m_jewelBright, h / 32, h / 32},
        {&m_jewelBlur, h / 32, h / 32},
    };
    for (const Target& t : targets) {
        hr = CreateRenderTarget(m_device, t.width, t.height, t.texture);
        if (FAILED(hr)) {
            return hr;
        }
    }
    BuildStreakKernel(m_blurKernel, static_cast<int>(h / 8), 7.0f, 0.75f);
    BuildStarKernel(m_jewelKernel, static_cast<int>(h / 32), static_cast<int>(h / 32), 0.0f, 1.0f,
                    10.0f, 1.0f);
    RebuildLitKeys();
    hr = BuildLabelTexture();
    if (FAILED(hr)) {
        return hr;
    }

    const KeyboardCamera keyboard = BuildKeyboardCamera(w, h, m_width, m_depth);
    m_viewProjection = keyboard.viewProjection;
    m_cameraPosition = keyboard.eye;
    m_keysRegion = ProjectKeys();
    if (m_jewels) {
        m_jewels->SetColumnCamera(&m_viewProjection);
    }
    const KeyboardCamera jewel = BuildDraggedJewelCamera();
    m_jewelViewProjection = jewel.viewProjection;
    m_jewelEye = jewel.eye;
    m_jewelLight = {-0.5f, -1.5f, -3.0f};
    m_jewelViewport = {0, 0, h / 4, h / 4, 0.0f, 1.0f};
    return S_OK;
}

HRESULT CSynthesizerKeyboard::OnLostDevice() {
    for (IGraphicsTexture** t : {&m_sceneTarget, &m_brightTarget, &m_blurTarget, &m_labelTexture,
                                 &m_jewelTarget, &m_jewelMerged, &m_jewelBright, &m_jewelBlur}) {
        ReleaseAndNull(*t);
    }
    return S_OK;
}

void CSynthesizerKeyboard::ReleaseSceneObjects() {
    OnLostDevice();
    ReleaseAndNull(m_vertexBuffer);
    ReleaseAndNull(m_indexBuffer);
    ReleaseAndNull(m_declaration);
}

HRESULT CSynthesizerKeyboard::BuildLabelTexture() {
    std::vector<KeyLabel> labels;
    labels.reserve(m_keyCount);
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        const CKeyboardKey& key = m_keys[i];
        const KeyKind kind = key.m_wave ? KindOfPitchClass(key.m_wave->m_note) : KeyKind::Dead;
        labels.push_back({key.m_position,
                          m_keyNameSource ? m_keyNameSource(key.m_virtualKey) : std::string(),
                          kind});
    }
    const KeyboardRectangle rectangle{m_minX, m_maxX, m_minZ, m_maxZ, m_width, m_depth};
    return ::BuildLabelTexture(m_device, labels, rectangle, &m_labelTexture);
}

HRESULT CSynthesizerKeyboard::RenderScene(float total, float dt) {
    if (!m_sceneTarget || !m_labelTexture || !m_keyColours || !m_litKeys) {
        return D3DERR_INVALIDCALL;
    }
    m_effect->SetMatrix(m_hViewProjection, &m_viewProjection);
    m_effect->SetValue(m_hCameraPosition, &m_cameraPosition, sizeof m_cameraPosition);

    SaveRenderTarget(*m_graphics);
    HRESULT hr = SetTargetTexture(m_device, m_sceneTarget);
    if (SUCCEEDED(hr)) {
        hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        m_device->SetTexture(0, m_labelTexture);
        m_device->SetVertexDeclaration(m_declaration);
        m_device->SetStreamSource(0, m_vertexBuffer, 0, kKeyVertexStride);
        m_device->SetIndices(m_indexBuffer);
        m_effect->SetTechnique(m_hKeyboard);
        m_effect->SetValue(m_hFloat4x48, m_keyColours.get(),
                           static_cast<std::uint32_t>(kKeyCount * sizeof(D3DVECTOR4)));
        m_effect->SetValue(m_hFloat4x8, m_litKeys.get(),
                           static_cast<std::uint32_t>(kLitKeyCount * sizeof(D3DVECTOR4)));
        std::uint32_t passes = 0;
        if (SUCCEEDED(hr = m_effect->Begin(&passes, 0))) {
            if (SUCCEEDED(hr = m_effect->BeginPass(0))) {
                hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0,
                                                    m_keyCount * kVerticesPerKey, 0,
                                                    m_keyCount * kIndicesPerKey / 3);
                m_effect->EndPass();
            }
            m_effect->End();
        }
        m_device->SetTexture(0, nullptr);
    }
    // The streak runs only from keys that hold a voice.
    ClearTexture(m_device, m_blurTarget);
    const bool streaking = SUCCEEDED(hr) && m_litKeys[0].w != 0.0f;
    const GlowRegions regions =
        GlowChainRegions(m_keysRegion, m_targetWidth, m_targetHeight, m_targetWidth / 8,
                         m_targetHeight / 8,
                         streaking ? std::span<const D3DVECTOR4>(m_blurKernel)
                                   : std::span<const D3DVECTOR4>());
    if (streaking) {
        ClearTexture(m_device, m_brightTarget);
        ApplyBrightPass(*m_graphics, m_brightTarget, m_sceneTarget, &regions.bright);
        ApplyBlur(*m_graphics, m_blurTarget, m_brightTarget, m_blurKernel, &regions.blur);
    }
    RestoreRenderTarget(*m_graphics);
    if (FAILED(hr)) {
        return hr;
    }
    MergeRenderTargets(*m_graphics, m_sceneTarget, m_blurTarget, kKeyMergeFactor,
                       &regions.merge);

    if (m_jewels && m_jewels->HasActiveColumns()) {
        m_jewels->UpdateAndRender(dt);
    }

    // The timbre being kept, above everything else of the scene.
    if (m_dragState != 0) {
        UpdateDrag();
    }
    if (m_dragJewel < 0) {
        return S_OK;
    }
    if (m_dragState == 2) {
        FollowPointer();
    }
    DrawDraggedJewel(total);
    return S_OK;
}
