#include "graphics/Graphics.h"

#include <string>
#include <string_view>
#include <utility>

#include "graphics/EffectDescription.h"
#include "graphics/Targets.h"
#include "platform/window/MessageBox.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"
#include "resources/Resources.h"

using namespace platform;

D3DPRESENT_PARAMETERS presentParameters;

namespace {

CGraphics* g_instance = nullptr;

// The debug channel takes the compiler's messages as one line of at most this many characters.
constexpr std::size_t kDebugLineLength = 1024;

}  // namespace

CGraphics* CGraphics::Instance() {
    if (!g_instance) {
        g_instance = new CGraphics();
    }
    return g_instance;
}

void CGraphics::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CGraphics* CGraphics::SetInstance(CGraphics* graphics) {
    return std::exchange(g_instance, graphics);
}

CGraphics::~CGraphics() {
    ReleaseAndNull(m_effect);
    ReleaseAndNull(m_device);
    ReleaseAndNull(m_d3d);
}

HRESULT CGraphics::CreateDevice(Window* window) {
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_d3d) {
        return E_FAIL;
    }

    D3DDISPLAYMODE mode;
    m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    presentParameters = D3DPRESENT_PARAMETERS{};
    presentParameters.BackBufferWidth = 0;
    presentParameters.BackBufferHeight = 0;
    presentParameters.BackBufferFormat = mode.Format;
    presentParameters.BackBufferCount = 1;
    presentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    presentParameters.MultiSampleQuality = 0;
    presentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParameters.hDeviceWindow = nullptr;
    presentParameters.Windowed = true;
    presentParameters.EnableAutoDepthStencil = true;
    presentParameters.AutoDepthStencilFormat = D3DFMT_D16;
    presentParameters.Flags = 0;
    presentParameters.FullScreen_RefreshRateInHz = 0;
    presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;

    // A hardware renderer first; a software one still draws every picture, only slower.
    struct Attempt {
        D3DDEVTYPE type;
        std::uint32_t behaviour;
    };
    constexpr Attempt kAttempts[] = {
        {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    HRESULT hr = E_FAIL;
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    for (const Attempt& attempt : kAttempts) {
        hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, attempt.type, window, attempt.behaviour,
                                 &presentParameters, &m_device);
        if (SUCCEEDED(hr)) {
            type = attempt.type;
            break;
        }
    }
    if (FAILED(hr)) {
        MessageBox("Sorry, This Machine no support.");
        platform::PostQuitMessage(platform::kFailureExitCode);
        return hr;
    }

    D3DCAPS9 caps;
    m_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, type, &caps);
    if ((caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES) == 0 ||
        caps.PixelShaderVersion < D3DPS_VERSION(2, 0) ||
        caps.VertexShaderVersion < D3DVS_VERSION(2, 0)) {
        return E_FAIL;
    }

    // Every glow is added into RGBA8 targets, so blending into them is indispensable.
    hr = m_d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, type, D3DFMT_X8R8G8B8,
                                  D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE,
                                  D3DFMT_A8R8G8B8);
    if (FAILED(hr)) {
        MessageBox("This Machine's GPU lack of ability");
        platform::PostQuitMessage(platform::kFailureExitCode);
        return hr;
    }
    return S_OK;
}

HRESULT CGraphics::CreateEffect() {
    const std::span<const std::uint8_t> resource =
        resources::FindResource(resources::kEffectResource);
    if (resource.empty()) {
        OutputDebugString("the program carries no effect (resource 200)");
        return E_FAIL;
    }
    return CreateEffect(
        std::string_view(reinterpret_cast<const char*>(resource.data()), resource.size()));
}

HRESULT CGraphics::CreateEffect(std::string_view source) {
    if (!m_device) {
        return D3DERR_INVALIDCALL;
    }
    std::string messages;
    const HRESULT hr = m_device->CreateEffect(DescribeEffect(source), &m_effect, &messages);
    if (FAILED(hr)) {
        for (char& c : messages) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        if (messages.size() >= kDebugLineLength) {
            messages.resize(kDebugLineLength - 1);
        }
        OutputDebugString(messages);
    }
    return hr;
}
