#pragma once
// The root objects of all drawing: the graphics system, the device and the one effect that holds
// every shader. Both programs create them the same way at start-up and every drawing component
// reaches them through the one instance; the bloom steps that work through it are in Bloom.h.

#include <string_view>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsSystem.h"

namespace platform {
class Window;
}

class CGraphics {
public:
    // Creates the instance (every field null) on first call.
    static CGraphics* Instance();
    static void DeleteInstance();
    // Installs `graphics` as the instance and hands back the previous one, which the caller then
    // owns.
    static CGraphics* SetInstance(CGraphics* graphics);

    CGraphics() = default;
    CGraphics(const CGraphics&) = delete;
    CGraphics& operator=(const CGraphics&) = delete;
    virtual ~CGraphics();

    // The system object and a device for the window, with the capability checks. Failures that
    // leave nothing to draw with tell the user and request the quit.
    HRESULT CreateDevice(platform::Window* window);
    // The effect from the program's resource 200; compiler messages go to the debug channel.
    HRESULT CreateEffect();
    // The same from the given GLSL source.
    HRESULT CreateEffect(std::string_view source);

    platform::IGraphicsSystem* m_d3d = nullptr;
    platform::IGraphicsDevice* m_device = nullptr;
    platform::IGraphicsEffect* m_effect = nullptr;
    // The frame's target, held while a component draws into its own targets.
    platform::IGraphicsSurface* m_savedRenderTarget = nullptr;
    platform::D3DXHANDLE m_hFloatConst = nullptr;
    platform::D3DXHANDLE m_hFloat4x32 = nullptr;
    platform::D3DXHANDLE m_hBrightPassFilter = nullptr;
    platform::D3DXHANDLE m_hGaussBlurF4x32 = nullptr;
    platform::D3DXHANDLE m_hMergeRenderTarget = nullptr;
};

// The present parameters of the program: filled when the device is created, changed afterwards
// only by the window's resize handling before each reset.
extern platform::D3DPRESENT_PARAMETERS presentParameters;
