#pragma once
// Small steps every drawing component repeats with its render-target textures.

#include <cstdint>

#include "platform/graphics/GraphicsDevice.h"

// Releases a held reference and forgets it.
template <class T>
void ReleaseAndNull(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// A render-target texture: one level, 32-bit ARGB, default pool (made again after every reset).
HRESULT CreateRenderTarget(platform::IGraphicsDevice* device, std::uint32_t width,
                           std::uint32_t height, platform::IGraphicsTexture** texture);

// Level 0 of the texture as render target 0 (the device holds it from then on).
HRESULT SetTargetTexture(platform::IGraphicsDevice* device, platform::IGraphicsTexture* texture);

// Level 0 of the texture filled with 0x00000000: a colour fill, not a clear.
HRESULT ClearTexture(platform::IGraphicsDevice* device, platform::IGraphicsTexture* texture);
