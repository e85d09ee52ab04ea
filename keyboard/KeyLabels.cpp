#include "keyboard/KeyLabels.h"

#include "graphics/Targets.h"
#include "platform/graphics/GraphicsFont.h"

using namespace platform;

namespace {

constexpr float kPixelsPerUnit = 15.0f;
constexpr D3DCOLOR kDeadText = 0xFF444444;
constexpr D3DCOLOR kSharpText = 0xFFEEEEEE;
constexpr D3DCOLOR kNaturalText = 0xFF000000;
constexpr D3DCOLOR kPlate = 0xFFEEEEEE;
// The plate is a hexagon two pixels larger than the key's: 0.866025 * 15 + 2 across, 15 + 2 up.
constexpr float kPlateHalfWidth = 14.99f;
constexpr float kPlateTip = 17.0f;
constexpr float kPlateSide = 9.5f;

struct PlateVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
};

}  // namespace

KeyKind KindOfPitchClass(std::uint32_t pitchClass) {
    switch (pitchClass) {
        case 2:
        case 4:
        case 7:
        case 9:
        case 11:
            return KeyKind::Sharp;
        default:
            return KeyKind::Natural;
    }
}

HRESULT BuildLabelTexture(IGraphicsDevice* device, std::span<const KeyLabel> keys,
                          const KeyboardRectangle& rectangle, IGraphicsTexture** texture) {
    IGraphicsFont* font = nullptr;
    HRESULT hr = D3DXCreateFont(device, kLabelHeight, kLabelWeight, false, kLabelFace, &font);
    if (FAILED(hr)) {
        return hr;
    }
    IGraphicsTexture* labels = nullptr;
    hr = CreateRenderTarget(device, static_cast<std::uint32_t>(rectangle.width * kPixelsPerUnit),
                            static_cast<std::uint32_t>(rectangle.depth * kPixelsPerUnit), &labels);
    IGraphicsSurface *surface = nullptr, *savedTarget = nullptr, *savedDepth = nullptr;
    if (SUCCEEDED(hr)) {
        hr = labels->GetSurfaceLevel(0, &surface);
    }
    if (FAILED(hr)) {
        ReleaseAndNull(labels);
        font->Release();
        return hr;
    }
    device->GetDepthStencilSurface(&savedDepth);
    device->GetRenderTarget(0, &savedTarget);
    std::uint32_t depthTest = 1;
    device->GetRenderState(D3DRS_ZENABLE, &depthTest);

    device->SetDepthStencilSurface(nullptr);
    hr = device->SetRenderTarget(0, surface);
    if (SUCCEEDED(hr)) {
        hr = device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        const bool scene = SUCCEEDED(device->BeginScene());
        device->SetRenderState(D3DRS_ZENABLE, 0);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        for (const KeyLabel& key : keys) {
            const float px = (key.centre.x - rectangle.minX) * kPixelsPerUnit;
            const float pz = (rectangle.maxZ - key.centre.z) * kPixelsPerUnit;
            D3DCOLOR text = kNaturalText;
            if (key.kind == KeyKind::Dead) {
                text = kDeadText;
            } else if (key.kind == KeyKind::Sharp) {
                text = kSharpText;
            } else {
                const PlateVertex plate[6] = {
                    {px, pz + kPlateTip, 0.5f, 1.0f, kPlate},
                    {px - kPlateHalfWidth, pz + kPlateSide, 0.5f, 1.0f, kPlate},
                    {px + kPlateHalfWidth, pz + kPlateSide, 0.5f, 1.0f, kPlate},
                    {px - kPlateHalfWidth, pz - kPlateSide, 0.5f, 1.0f, kPlate},
                    {px + kPlateHalfWidth, pz - kPlateSide, 0.5f, 1.0f, kPlate},
                    {px, pz - kPlateTip, 0.5f, 1.0f, kPlate},
                };
                device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, plate, sizeof(PlateVertex));
            }
            const auto left = static_cast<std::int32_t>(((key.centre.x - rectangle.minX) - 0.5f) *
                                                        kPixelsPerUnit);
            const auto top = static_cast<std::int32_t>(((rectangle.maxZ - key.centre.z) - 0.5f) *
                                                       kPixelsPerUnit);
            const RECT cell{left, top, left + static_cast<std::int32_t>(kPixelsPerUnit),
                            top + static_cast<std::int32_t>(kPixelsPerUnit)};
            font->DrawText(key.name.c_str(), -1, &cell, DT_CENTER | DT_TOP | DT_NOCLIP, text);
        }
        if (scene) {
            device->EndScene();
        }
    }
    device->SetRenderState(D3DRS_ZENABLE, depthTest);
    device->SetRenderTarget(0, savedTarget);
    device->SetDepthStencilSurface(savedDepth);
    ReleaseAndNull(savedTarget);
    ReleaseAndNull(savedDepth);
    surface->Release();
    font->Release();
    if (FAILED(hr)) {
        labels->Release();
        return hr;
    }
    *texture = labels;
    return S_OK;
}
