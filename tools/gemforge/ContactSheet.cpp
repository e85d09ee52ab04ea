#include "tools/gemforge/ContactSheet.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "controls/HsvColour.h"
#include "graphics/Graphics.h"
#include "jewels/JewelLibrary.h"
#include "jewels/JewelManager.h"
#include "platform/graphics/D3DMath.h"
#include "platform/graphics/GraphicsFont.h"
#include "platform/graphics/TextureLoader.h"
#include "platform/system/SystemServices.h"
#include "platform/window/NullWindow.h"
#include "screensaver/JewelSet.h"
#include "screensaver/SaverAnimation.h"

using namespace platform;

namespace {

constexpr std::uint32_t kCellPixels = 220;
// A cell is this many times the farthest any vertex lies from its mesh's centre.
constexpr float kCellPerRadius = 2.6f;
constexpr float kHalfFieldOfView = 0.5235988f;
constexpr float kFieldOfView = 1.0471976f;
// Turned so that crown, girdle and pavilion all face the camera a little.
constexpr float kYaw = 0.55f, kPitch = 0.45f, kRoll = 0.2f;
constexpr float kLightPower = 4.0f;
constexpr float kSaturation = 0.85f;
constexpr float kMergeFactor = 2.0f;
constexpr int kLabelHeight = 15;
constexpr D3DCOLOR kLabelColour = 0xFFC8C8C8;

// The manager made for the folder, and the graphics it draws with, taken down in order.
class SheetScene {
public:
    ~SheetScene() {
        if (m_installed) {
            CJewelManager::Instance()->OnLostDevice();
            CJewelManager::DeleteInstance();
        }
        if (m_font) {
            m_font->Release();
        }
        CGraphics::DeleteInstance();
        m_window.reset();
    }

    bool Start(std::uint32_t width, std::uint32_t height, const std::filesystem::path& folder,
               std::string* error) {
        WindowDesc desc;
        desc.width = static_cast<int>(width);
        desc.height = static_cast<int>(height);
        m_window = m_system.CreateWindow(desc, nullptr);
        CGraphics* graphics = CGraphics::Instance();
        if (!m_window || FAILED(graphics->CreateDevice(m_window.get())) ||
            FAILED(graphics->CreateEffect())) {
            *error = "no OpenGL 4.5 core device to draw with";
            return false;
        }
        auto* manager = new CJewelManager();
        delete CJewelManager::SetInstance(manager);
        m_installed = true;
        if (FAILED(manager->Initialise(folder)) || manager->m_meshCount == 0) {
            *error = "no jewels could be read from " + folder.string();
            return false;
        }
        if (FAILED(manager->OnResetDevice())) {
            *error = "the drawing targets could not be made";
            return false;
        }
        D3DXCreateFont(graphics->m_device, kLabelHeight, 400, false, "Arial", &m_font);
        return true;
    }

    IGraphicsFont* Font() const { return m_font; }

private:
    NullWindowSystem m_system;
    std::unique_ptr<Window> m_window;
    IGraphicsFont* m_font = nullptr;
    bool m_installed = false;
};

}  // namespace

SheetGrid LayOutSheet(std::uint32_t count) {
    if (count == 0) {
        return {};
    }
    const auto columns =
        static_cast<std::uint32_t>(std::ceil(std::sqrt(static_cast<double>(count) * 16.0 / 9.0)));
    const std::uint32_t fitted = std::min(columns, count);
    return {fitted, (count + fitted - 1) / fitted};
}

bool WriteContactSheet(const std::filesystem::path& png, const std::filesystem::path& folder,
                       std::string* error) {
    // The library takes the first files in name order; the labels follow the same order.
    std::vector<std::string> names = FindFiles(folder, "*.gem");
    if (names.empty()) {
        *error = "no *.gem files in " + folder.string();
        return false;
    }
    names.resize(std::min<std::size_t>(names.size(), kMaxJewelMeshes));
    const auto count = static_cast<std::uint32_t>(names.size());
    const SheetGrid grid = LayOutSheet(count);
    const std::uint32_t width = grid.columns * kCellPixels, height = grid.rows * kCellPixels;

    SheetScene scene;
    if (!scene.Start(width, height, folder, error)) {
        return false;
    }
    CJewelManager& jewels = *CJewelManager::Instance();
    CGraphics& graphics = *CGraphics::Instance();
    IGraphicsDevice* device = graphics.m_device;
    IGraphicsEffect* effect = graphics.m_effect;

    // One cell per jewel, rows from the top, the jewel a little above the cell's middle to leave
    // its name room beneath.
    const float cell = kCellPerRadius * jewels.m_meshRadius;
    std::vector<D3DVECTOR4> positions(jewels.m_meshCount), colours(jewels.m_meshCount);
    for (std::uint32_t j = 0; j < jewels.m_meshCount; ++j) {
        const float column = static_cast<float>(j % grid.columns);
        const float row = static_cast<float>(j / grid.columns);
        positions[j] = {(column - (grid.columns - 1) * 0.5f) * cell,
                        ((grid.rows - 1) * 0.5f - row + 0.08f) * cell, 0.0f, 0.0f};
        float r = 1.0f, g = 1.0f, b = 1.0f;
        HsvToRgb(RingHue(static_cast<int>(j % 20)), kSaturation, 1.0f, &r, &g, &b);
        colours[j] = {r, g, b, 0.0f};
    }

    const float halfHeight = grid.rows * cell * 0.5f;
    const float distance = halfHeight / std::tan(kHalfFieldOfView);
    const D3DVECTOR3 eye{0.0f, 0.0f, -distance}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
    D3DMATRIX view, projection, viewProjection, rotation;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, static_cast<float>(width) / height, 0.0f,
                               10.0f);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    D3DXMatrixRotationYawPitchRoll(&rotation, kYaw, kPitch, kRoll);
    // The light stands in front of the sheet's middle, as the ring's stands inside the ring.
    const D3DVECTOR3 light{0.0f, 0.0f, -cell};
    effect->SetMatrix(effect->GetParameterBySemantic(nullptr, "ViewProjection"), &viewProjection);
    effect->SetValue(effect->GetParameterBySemantic(nullptr, "CameraPosition"), &eye, sizeof eye);
    effect->SetValue(jewels.m_hLightPosition, &light, sizeof light);
    effect->SetFloat(jewels.m_hLightPower, kLightPower);

    HRESULT hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    if (SUCCEEDED(hr)) {
        hr = device->BeginScene();
    }
    if (SUCCEEDED(hr)) {
        hr = DrawJewelSet(jewels, effect->GetTechniqueByName("SeveralColorJewel"), rotation,
                          positions, colours, 0, jewels.m_meshCount, kMergeFactor);
        for (std::uint32_t j = 0; j < count && scene.Font(); ++j) {
            const auto left = static_cast<std::int32_t>((j % grid.columns) * kCellPixels);
            const auto bottom = static_cast<std::int32_t>((j / grid.columns + 1) * kCellPixels);
            const RECT rect{left, bottom - 2 * kLabelHeight, left + static_cast<int>(kCellPixels),
                            bottom};
            const std::string label = names[j].substr(0, names[j].size() - 4);
            scene.Font()->DrawText(label.c_str(), -1, &rect, DT_CENTER | DT_TOP | DT_NOCLIP,
                                   kLabelColour);
        }
        device->EndScene();
    }
    IGraphicsSurface* backBuffer = nullptr;
    std::vector<D3DCOLOR> pixels(static_cast<std::size_t>(width) * height);
    if (SUCCEEDED(hr)) {
        hr = device->GetBackBuffer(&backBuffer);
    }
    if (SUCCEEDED(hr)) {
        hr = device->GetRenderTargetData(backBuffer, pixels.data());
        backBuffer->Release();
    }
    if (FAILED(hr)) {
        *error = "the jewels could not be drawn";
        return false;
    }
    std::string reason;
    if (!SavePng(png.string(), pixels.data(), width, height, &reason)) {
        *error = "cannot write " + png.string() + ": " + reason;
        return false;
    }
    return true;
}
