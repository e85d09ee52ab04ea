#pragma once
// Textures from image files held in memory (the embedded PNG resources), on any device.

#include <cstddef>

#include "platform/GraphicsDevice.h"

namespace platform {

// A managed A8R8G8B8 texture of the image's own size, one level, row 0 = the image's top row.
HRESULT D3DXCreateTextureFromFileInMemory(IGraphicsDevice* device, const void* data,
                                          std::size_t bytes, IGraphicsTexture** texture);

}  // namespace platform
