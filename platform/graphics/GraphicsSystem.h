#pragma once
// The graphics system object that creates devices: the subset of IDirect3D9 the system uses,
// under the same names (display mode, device creation for a window, capabilities, format
// checks). See GlSystem.cpp for what the GL backend provides.

#include <cstdint>
#include <string>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/base/RefCounted.h"

namespace platform {

class Window;

inline constexpr std::uint32_t D3D_SDK_VERSION = 32;
inline constexpr std::uint32_t D3DADAPTER_DEFAULT = 0;

inline constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);

enum D3DDEVTYPE : std::uint32_t {
    D3DDEVTYPE_HAL = 1,  // a hardware-accelerated renderer
    D3DDEVTYPE_REF = 2,  // any renderer that works, a software one included
};

inline constexpr std::uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x00000020;
inline constexpr std::uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x00000040;

inline constexpr std::uint32_t D3DCAPS2_DYNAMICTEXTURES = 0x20000000;
constexpr std::uint32_t D3DVS_VERSION(std::uint32_t major, std::uint32_t minor) {
    return 0xFFFE0000u | (major << 8) | minor;
}
constexpr std::uint32_t D3DPS_VERSION(std::uint32_t major, std::uint32_t minor) {
    return 0xFFFF0000u | (major << 8) | minor;
}

inline constexpr std::uint32_t D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING = 0x00080000;
enum D3DRESOURCETYPE : std::uint32_t { D3DRTYPE_SURFACE = 1, D3DRTYPE_TEXTURE = 3 };

inline constexpr std::uint32_t D3DSWAPEFFECT_DISCARD = 1;
inline constexpr std::uint32_t D3DMULTISAMPLE_NONE = 0;
inline constexpr std::uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0;

struct D3DDISPLAYMODE {
    std::uint32_t Width = 0, Height = 0, RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
    std::uint32_t BackBufferWidth = 0, BackBufferHeight = 0;  // 0: the window's client size
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    std::uint32_t BackBufferCount = 0;
    std::uint32_t MultiSampleType = D3DMULTISAMPLE_NONE, MultiSampleQuality = 0;
    std::uint32_t SwapEffect = 0;
    Window* hDeviceWindow = nullptr;  // null: the focus window
    bool Windowed = false;
    bool EnableAutoDepthStencil = false;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    std::uint32_t Flags = 0, FullScreen_RefreshRateInHz = 0;
    std::uint32_t PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
};

struct D3DCAPS9 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    std::uint32_t Caps2 = 0;
    std::uint32_t VertexShaderVersion = 0, PixelShaderVersion = 0;
};

class IGraphicsSystem : public RefCounted {
public:
    virtual HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
    // A device drawing into `focusWindow`, its back buffer taking the window's client size when
    // the parameters give 0. Only windowed devices exist.
    virtual HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                                 std::uint32_t behaviourFlags, D3DPRESENT_PARAMETERS* parameters,
                                 IGraphicsDevice** device) = 0;
    virtual HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // D3D_OK when a resource of `checkFormat` supports `usage` (D3DERR_NOTAVAILABLE otherwise).
    virtual HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type,
                                      D3DFORMAT adapterFormat, std::uint32_t usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
};

// The graphics system, or null for an SDK version other than D3D_SDK_VERSION.
IGraphicsSystem* Direct3DCreate9(std::uint32_t sdkVersion);

// What Direct3DCreate9 makes its systems with: the GL factory, unless a test has put its own in
// place (one whose system refuses some device types, say).
class GraphicsSystemFactory {
public:
    // The process's factory, the GL one made on the first call.
    static GraphicsSystemFactory* Instance();
    static void DeleteInstance();
    // Installs `factory` and hands back the previous one, which the caller then owns.
    static GraphicsSystemFactory* SetInstance(GraphicsSystemFactory* factory);

    virtual ~GraphicsSystemFactory() = default;
    // A new system with one reference.
    virtual IGraphicsSystem* CreateSystem() = 0;
};

// The GL system itself, for a test system that wraps it.
IGraphicsSystem* CreateGlGraphicsSystem();

// A device with a hidden window of its own, for tests and headless runs: with
// SDL_VIDEODRIVER=offscreen it needs no display.
HRESULT CreateHiddenGlDevice(std::uint32_t width, std::uint32_t height, IGraphicsDevice** device);

// Keeps the video system, and with it the GL driver, loaded until the process ends, so that a
// run making and dropping many hidden devices (the tests) loads the driver once. False, with the
// reason in `error`, when there is no video system to load.
bool KeepGraphicsDriverLoaded(std::string* error);

}  // namespace platform
