// The graphics system on GL.
// Provides: the desktop's display mode; devices for SDL windows, and for windows without one
// (the null window backend) a device with a hidden window of the client's size; the device
// types as renderer choices: HAL takes only a hardware-accelerated renderer, REF takes whatever
// OpenGL 4.5 core renderer there is, Mesa's software rasteriser included; capabilities, which
// every OpenGL 4.5 core context has; and the blending check of RGBA8 render targets, asked of
// the driver for the context that is current.
// Limitations: one adapter; vertex processing flags make no difference; the renderer cannot be
// switched to software after a hardware one has been loaded into the process.
// Depends on: SDL2 (display mode, GL context), libepoxy, the GL device.

#include "platform/graphics/GraphicsSystem.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "platform/graphics/gl/GlDevice.h"
#include "platform/window/Window.h"

namespace platform {

namespace {

std::mutex g_factoryMutex;
GraphicsSystemFactory* g_factory = nullptr;

bool IsSoftwareRenderer(const char* renderer) {
    if (!renderer) {
        return true;
    }
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (std::strstr(renderer, name)) {
            return true;
        }
    }
    return false;
}

class GlSystem final : public IGraphicsSystem {
public:
    ~GlSystem() override {
        if (m_software) {
            m_software->Release();
        }
    }

    HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override {
        if (!mode || adapter != D3DADAPTER_DEFAULT) {
            return D3DERR_INVALIDCALL;
        }
        SDL_DisplayMode desktop{};
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
            return D3DERR_NOTAVAILABLE;
        }
        mode->Width = static_cast<std::uint32_t>(desktop.w);
        mode->Height = static_cast<std::uint32_t>(desktop.h);
        mode->RefreshRate = static_cast<std::uint32_t>(desktop.refresh_rate);
        mode->Format = SDL_BITSPERPIXEL(desktop.format) >= 24 ? D3DFMT_X8R8G8B8 : D3DFMT_UNKNOWN;
        return D3D_OK;
    }

    HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* focusWindow,
                         std::uint32_t /*behaviourFlags*/, D3DPRESENT_PARAMETERS* parameters,
                         IGraphicsDevice** device) override {
        if (adapter != D3DADAPTER_DEFAULT || !focusWindow || !parameters || !device ||
            !parameters->Windowed) {
            return D3DERR_INVALIDCALL;
        }
        IGraphicsDevice* created = nullptr;
        HRESULT hr;
        if (m_software && m_softwareWindow != focusWindow) {
            std::exchange(m_software, nullptr)->Release();
        }
        if (m_software) {
            // A hardware renderer was asked for and the driver gave a software one: it is known,
            // and the context already made is the one a software request gets.
            if (type == D3DDEVTYPE_HAL) {
                return D3DERR_NOTAVAILABLE;
            }
            created = std::exchange(m_software, nullptr);
            hr = D3D_OK;
        } else if (SDL_Window* window = focusWindow->GetSdlWindow()) {
            hr = CreateGlDevice(window, &created);
        } else {
            RECT client{};
            focusWindow->GetClientRect(&client);
            hr = CreateHiddenGlDevice(static_cast<std::uint32_t>(std::max(client.right, 1)),
                                      static_cast<std::uint32_t>(std::max(client.bottom, 1)),
                                      &created);
        }
        if (FAILED(hr)) {
            return D3DERR_NOTAVAILABLE;
        }
        const std::string name = created->RendererName();
        const char* renderer = name.empty() ? nullptr : name.c_str();
        if (type == D3DDEVTYPE_HAL && IsSoftwareRenderer(renderer)) {
            // Kept for the software request that follows, which would otherwise make a context
            // of its own: each costs the driver tens of milliseconds at start-up.
            m_software = created;
            m_softwareWindow = focusWindow;
            return D3DERR_NOTAVAILABLE;
        }
        if (parameters->BackBufferWidth != 0 && parameters->BackBufferHeight != 0) {
            hr = created->Reset(parameters->BackBufferWidth, parameters->BackBufferHeight);
            if (FAILED(hr)) {
                created->Release();
                return hr;
            }
        }
        if (type == D3DDEVTYPE_REF) {
            std::fprintf(stderr, "drawing with %s\n", renderer ? renderer : "an unnamed renderer");
        }
        *device = created;
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (!caps || adapter != D3DADAPTER_DEFAULT) {
            return D3DERR_INVALIDCALL;
        }
        caps->DeviceType = type;
        caps->Caps2 = D3DCAPS2_DYNAMICTEXTURES;
        caps->VertexShaderVersion = D3DVS_VERSION(3, 0);
        caps->PixelShaderVersion = D3DPS_VERSION(3, 0);
        return D3D_OK;
    }

    HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE /*type*/,
                              D3DFORMAT /*adapterFormat*/, std::uint32_t usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
        if (adapter != D3DADAPTER_DEFAULT) {
            return D3DERR_INVALIDCALL;
        }
        if (resourceType != D3DRTYPE_TEXTURE || checkFormat != D3DFMT_A8R8G8B8) {
            return D3DERR_NOTAVAILABLE;
        }
        if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) == 0) {
            return D3D_OK;
        }
        if (!SDL_GL_GetCurrentContext()) {
            return D3DERR_NOTAVAILABLE;
        }
        GLint support = GL_NONE;
        glGetInternalformativ(GL_TEXTURE_2D, GL_RGBA8, GL_FRAMEBUFFER_BLEND, 1, &support);
        return support == GL_FULL_SUPPORT || support == GL_CAVEAT_SUPPORT ? D3D_OK
                                                                          : D3DERR_NOTAVAILABLE;
    }

private:
    // The software device a hardware request found, for the window it was made for.
    IGraphicsDevice* m_software = nullptr;
    const Window* m_softwareWindow = nullptr;
};

class GlSystemFactory final : public GraphicsSystemFactory {
public:
    IGraphicsSystem* CreateSystem() override { return new GlSystem(); }
};

}  // namespace

IGraphicsSystem* CreateGlGraphicsSystem() {
    return new GlSystem();
}

IGraphicsSystem* Direct3DCreate9(std::uint32_t sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    return GraphicsSystemFactory::Instance()->CreateSystem();
}

GraphicsSystemFactory* GraphicsSystemFactory::Instance() {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    if (!g_factory) {
        g_factory = new GlSystemFactory();
    }
    return g_factory;
}

void GraphicsSystemFactory::DeleteInstance() {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    delete g_factory;
    g_factory = nullptr;
}

GraphicsSystemFactory* GraphicsSystemFactory::SetInstance(GraphicsSystemFactory* factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return std::exchange(g_factory, factory);
}

}  // namespace platform
