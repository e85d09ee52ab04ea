#include "app/DisplayModes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "app/Application.h"
#include "jewels/JewelManager.h"
#include "platform/window/MessageBox.h"

using namespace platform;

namespace {

// Debug lines are formatted into a buffer of this many characters.
constexpr std::size_t kDebugLineLength = 260;

void DebugLine(const char* format, ...) {
    char line[kDebugLineLength];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    OutputDebugString(line);
}

void PlacementLine(const char* format, const WINDOWPLACEMENT& placement) {
    const RECT& r = placement.rcNormalPosition;
    DebugLine(format, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
              static_cast<int>(r.bottom));
}

}  // namespace

WINDOWPLACEMENT savedPlacement;

HRESULT OnMaximumWindow(Window* window) {
    DebugLine("Call OnMaximumWindow()\n");
    window->GetWindowPlacement(&savedPlacement);
    PlacementLine("> GetWindowPlacement Left:%d Top:%d Right:%d Bottom:%d\n", savedPlacement);
    window->SetWindowStyle(WS_POPUP);
    // The desktop's own full screen: at the display's origin and of its size, in its mode.
    window->SetTopMost(true);
    window->SetFullScreen(true);
    window->ShowWindow(SW_SHOW);
    fullScreen = true;
    return S_OK;
}

HRESULT OnCanceledFullScreen(Window* window) {
    DebugLine("Call OnCanceledFullScreen(%d)\n", fullScreen ? 1 : 0);
    if (!fullScreen) {
        return S_OK;
    }
    fullScreen = false;
    window->SetWindowStyle(WS_OVERLAPPEDWINDOW);
    savedPlacement.showCmd = SW_SHOWNORMAL;
    window->SetWindowPlacement(savedPlacement);
    PlacementLine("> SetWindowPlacement Left:%d Top:%d Right:%d Bottom:%d\n", savedPlacement);
    // A window back from full screen no longer stays above the others.
    window->SetTopMost(false);
    // The display's mode was never changed, so there is none to give back.
    return S_OK;
}

HRESULT OnResizeWindow(std::uint32_t width, std::uint32_t height) {
    D3DDISPLAYMODE mode;
    if (graphics && graphics->m_d3d) {
        graphics->m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    }
    DebugLine("Call OnResizeWindow(%d,%d)\n", static_cast<int>(width), static_cast<int>(height));
    DebugLine("> D3DDISPLAYMODE Format %d Width %d Height %d\n", static_cast<int>(mode.Format),
              static_cast<int>(mode.Width), static_cast<int>(mode.Height));
    presentParameters.BackBufferFormat = mode.Format;
    presentParameters.BackBufferWidth = std::max(width, kMinimumBackBufferWidth);
    presentParameters.BackBufferHeight = std::max(height, kMinimumBackBufferHeight);
    const HRESULT hr = OnResetDevice();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT OnMinimizeWindow() {
    DebugLine("Call OnMinimizeWindow()\n");
    active = false;
    return S_OK;
}

HRESULT OnResetDevice() {
    DebugLine("Call OnResetDevice() Windowd.%s BBW %d BBH %d\n",
              presentParameters.Windowed ? "TRUE" : "FALSE",
              static_cast<int>(presentParameters.BackBufferWidth),
              static_cast<int>(presentParameters.BackBufferHeight));
    IGraphicsDevice* device = graphics ? graphics->m_device : nullptr;
    if (!device) {
        return E_FAIL;
    }
    if (device->TestCooperativeLevel() == D3DERR_DEVICELOST) {
        deviceLost = true;
        DebugLine("D3DERR_DEVICELOST!!\n");
        return E_FAIL;
    }
    HRESULT hr = ReleaseDeviceResources();
    if (FAILED(hr)) {
        return hr;
    }
    hr = device->Reset(presentParameters.BackBufferWidth, presentParameters.BackBufferHeight);
    if (FAILED(hr)) {
        return hr;
    }
    if (graphics->m_effect) {
        hr = graphics->m_effect->OnResetDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (harmonicsControl) {
        hr = harmonicsControl->Layout();
        if (FAILED(hr)) {
            return hr;
        }
    }
    // The palette re-creates its resources after the keyboard.
    if (keyboard && FAILED(keyboard->OnResetDevice())) {
        MessageBox("Failed in Keyboard reset device.");
        platform::PostQuitMessage(platform::kFailureExitCode);
    }
    if (palette) {
        hr = palette->Layout();
        if (FAILED(hr)) {
            return hr;
        }
    }
    hr = CJewelManager::Instance()->OnResetDevice();
    if (FAILED(hr)) {
        return hr;
    }
    deviceLost = false;
    active = true;

    IGraphicsSurface* target = nullptr;
    if (SUCCEEDED(device->GetRenderTarget(0, &target))) {
        BuildRestoreButtonQuad(target->GetWidth(), target->GetHeight());
        target->Release();
    }
    return hr;
}

HRESULT ReleaseDeviceResources() {
    if (graphics && graphics->m_effect) {
        const HRESULT hr = graphics->m_effect->OnLostDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    // The harmonics control's font and effect come first, the palette's after the keyboard's.
    if (harmonicsControl) {
        const HRESULT hr = harmonicsControl->OnLostDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (keyboard) {
        const HRESULT hr = keyboard->OnLostDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (palette) {
        const HRESULT hr = palette->OnLostDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    return CJewelManager::Instance()->OnLostDevice();
}
