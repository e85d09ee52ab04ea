#include "graphics/Targets.h"

using namespace platform;

HRESULT CreateRenderTarget(IGraphicsDevice* device, std::uint32_t width, std::uint32_t height,
                           IGraphicsTexture** texture) {
    return device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                 D3DPOOL_DEFAULT, texture);
}

HRESULT SetTargetTexture(IGraphicsDevice* device, IGraphicsTexture* texture) {
    if (!texture) {
        return D3DERR_INVALIDCALL;
    }
    IGraphicsSurface* surface = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(0, &surface);
    if (SUCCEEDED(hr)) {
        hr = device->SetRenderTarget(0, surface);
        surface->Release();
    }
    return hr;
}

HRESULT ClearTexture(IGraphicsDevice* device, IGraphicsTexture* texture) {
    if (!texture) {
        return D3DERR_INVALIDCALL;
    }
    IGraphicsSurface* surface = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(0, &surface);
    if (SUCCEEDED(hr)) {
        hr = device->ColorFill(surface, nullptr, 0x00000000);
        surface->Release();
    }
    return hr;
}
