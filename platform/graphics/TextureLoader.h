#pragma once
// Textures from image files held in memory (the embedded PNG resources), on any device.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"

namespace platform {

// A managed A8R8G8B8 texture of the image's own size, one level, row 0 = the image's top row.
HRESULT D3DXCreateTextureFromFileInMemory(IGraphicsDevice* device, const void* data,
                                          std::size_t bytes, IGraphicsTexture** texture);

// The image as 32-bit RGBA pixels, rows top first (for cursors and icons). False, with nothing
// written, when the bytes are not an image SDL_image can read.
bool DecodeImageRgba(const void* data, std::size_t bytes, std::vector<std::uint8_t>* rgba,
                     int* width, int* height);

}  // namespace platform
