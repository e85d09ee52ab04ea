#include "screensaver/SaverScene.h"

#include <cmath>

#include "graphics/Graphics.h"
#include "jewels/JewelManager.h"
#include "jewels/JewelTask.h"
#include "platform/graphics/D3DMath.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"
#include "screensaver/JewelSet.h"

using namespace platform;

namespace {

// Half the vertical field of view, 30 degrees, and the whole of it.
constexpr float kHalfFieldOfView = 0.5235988f;
constexpr float kFieldOfView = 1.0471976f;
constexpr float kFarPlane = 10.0f;
// At these distances the view's half-height at z = 0 is 9 units (Bubble) and 12.5 (Circle).
constexpr float kBubbleHalfHeight = 9.0f;
constexpr float kCircleHalfHeight = 12.5f;
constexpr float kLightPower = 2.5f;
// Bubble's light stands below the view, so the columns glow from underneath.
constexpr D3DVECTOR3 kBubbleLight{0.0f, -12.0f, 0.0f};

// Both arrangements start a frame on black; a failure stops the frame.
HRESULT ClearAndBeginScene(IGraphicsDevice* device) {
    const HRESULT hr =
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    return FAILED(hr) ? hr : device->BeginScene();
}

}  // namespace

CSaverScene::CSaverScene(std::function<std::uint32_t()> clock) : m_clock(std::move(clock)) {}

HRESULT CSaverScene::Startup(Window* window, const SaverSettings& settings) {
    CGraphics* graphics = CGraphics::Instance();
    HRESULT hr = graphics->CreateDevice(window);
    if (FAILED(hr)) {
        return hr;
    }
    hr = graphics->CreateEffect();
    if (FAILED(hr)) {
        MessageBox("The jewels' shaders could not be compiled on this machine.");
        platform::PostQuitMessage(0);
        return hr;
    }
    m_started = true;
    // Loading the library shows its own message and requests the quit when it fails.
    CJewelManager* jewels = CJewelManager::Instance();
    if (jewels->m_meshCount == 0) {
        return E_FAIL;
    }
    hr = jewels->OnResetDevice();
    if (FAILED(hr)) {
        return hr;
    }
    RECT client{};
    window->GetClientRect(&client);
    m_viewWidth = static_cast<float>(client.right - client.left);
    m_viewHeight = static_cast<float>(client.bottom - client.top);

    IGraphicsEffect* effect = graphics->m_effect;
    m_hViewProjection = effect->GetParameterBySemantic(nullptr, "ViewProjection");
    m_hCameraPosition = effect->GetParameterBySemantic(nullptr, "CameraPosition");
    m_hLightPosition = effect->GetParameterBySemantic(nullptr, "LightPosition");
    m_hLightPower = effect->GetParameterBySemantic(nullptr, "LightPower");

    m_selectedHue = DrawnHue(settings.selectedHue);
    m_circle = settings.selectedType == kCircle;
    if (m_circle) {
        SetUpCamera(kCircleHalfHeight);
    } else {
        SetUpCamera(kBubbleHalfHeight);
        effect->SetValue(m_hLightPosition, &kBubbleLight, sizeof kBubbleLight);
        m_random.Seed(m_clock());
        jewels->SetColumnCamera(&m_viewProjection);
    }
    m_ready = true;
    return S_OK;
}

void CSaverScene::SetUpCamera(float halfHeight) {
    const auto t = static_cast<float>(std::tan(double{kHalfFieldOfView}));
    const float distance = halfHeight / t;
    const D3DVECTOR3 eye{0.0f, 0.0f, -distance};
    const D3DVECTOR3 at{0.0f, 0.0f, distance};
    const D3DVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, m_viewWidth / m_viewHeight, 0.0f,
                               kFarPlane);
    D3DXMatrixMultiply(&m_viewProjection, &view, &projection);
    IGraphicsEffect* effect = CGraphics::Instance()->m_effect;
    effect->SetFloat(m_hLightPower, kLightPower);
    effect->SetValue(m_hCameraPosition, &eye, sizeof eye);
    effect->SetMatrix(m_hViewProjection, &m_viewProjection);
}

void CSaverScene::OnTimer() {
    if (!m_ready) {
        return;
    }
    const std::uint32_t now = m_clock();
    const auto dt =
        static_cast<float>(static_cast<double>(ElapsedMilliseconds(m_lastTick, now)) * 0.001);
    m_lastTick = now;
    m_totalTime += dt;
    if (m_circle) {
        CircleFrame(m_totalTime, dt);
    } else {
        BubbleFrame(m_totalTime, dt);
    }
}

HRESULT CSaverScene::BubbleFrame(float total, float dt) {
    CJewelManager* jewels = CJewelManager::Instance();
    IGraphicsDevice* device = CGraphics::Instance()->m_device;
    if (!device) {
        return D3DERR_INVALIDCALL;
    }
    if (const std::optional<ColumnStart> column = AdvanceBubble(
            m_bubble, total, dt, m_selectedHue, m_viewWidth / m_viewHeight, m_random)) {
        if (CJewelTask* task =
                jewels->SpawnColumn(column->x, column->y, column->z, column->hue,
                                    column->saturation, column->value, column->fading)) {
            task->m_life += column->extraLife;
        }
    }
    if (const HRESULT hr = ClearAndBeginScene(device); FAILED(hr)) {
        return hr;
    }
    if (jewels->HasActiveColumns()) {
        jewels->UpdateAndRender(dt);
    }
    device->EndScene();
    return device->Present();
}

HRESULT CSaverScene::CircleFrame(float total, float dt) {
    CJewelManager* jewels = CJewelManager::Instance();
    CGraphics* graphics = CGraphics::Instance();
    IGraphicsDevice* device = graphics->m_device;
    IGraphicsEffect* effect = graphics->m_effect;
    if (!device || !effect) {
        return D3DERR_INVALIDCALL;
    }
    if (!m_techniquesFound) {
        m_hSeveralColorJewel = effect->GetTechniqueByName("SeveralColorJewel");
        m_hClearJewel = effect->GetTechniqueByName("ClearJewel");
        m_techniquesFound = true;
    }
    AdvanceCircle(m_circleState, total, dt, m_selectedHue, m_viewWidth / m_viewHeight,
                  jewels->m_meshCount);
    effect->SetValue(m_hLightPosition, &m_circleState.light, sizeof m_circleState.light);
    if (const HRESULT hr = ClearAndBeginScene(device); FAILED(hr)) {
        return hr;
    }
    const std::uint32_t first =
        jewels->m_meshCount
            ? static_cast<std::uint32_t>(m_circleState.firstMesh) % jewels->m_meshCount
            : 0;
    DrawJewelSet(*jewels, m_circleState.clearJewel ? m_hClearJewel : m_hSeveralColorJewel,
                 m_circleState.rotation, m_circleState.positions, m_circleState.colours, first,
                 kRingJewels, kRingMergeFactor, &m_viewProjection);
    device->EndScene();
    return device->Present();
}

void CSaverScene::Shutdown() {
    if (!m_started) {
        CGraphics::DeleteInstance();
        return;
    }
    m_started = false;
    m_ready = false;
    CJewelManager::Instance()->OnLostDevice();
    CJewelManager::DeleteInstance();
    CGraphics::DeleteInstance();
}
