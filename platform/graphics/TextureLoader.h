#pragma once
// Textures from image files held in memory (the embedded PNG resources), on any device, and
// pictures written as image files.

#include <cstddef>
#include <cstdint>
#include <string>
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

// Writes width x height pixels, rows top first, as an opaque PNG file (alpha is dropped, as a
// window shows no alpha). False, with the reason in error, when it cannot be written.
bool SavePng(const std::string& path, const D3DCOLOR* pixels, std::uint32_t width,
             std::uint32_t height, std::string* error);

}  // namespace platform
