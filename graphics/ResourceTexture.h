#pragma once
// Textures and cursor images from the images the program carries.

#include <cstdint>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"

// A managed texture of the PNG resource `id`; E_FAIL when the program carries no such image.
HRESULT D3DXCreateTextureFromResource(platform::IGraphicsDevice* device, int id,
                                      platform::IGraphicsTexture** texture);

// The RGBA pixels of the PNG resource `id`, rows top first; false when there is none.
bool LoadResourceImage(int id, std::vector<std::uint8_t>* rgba, int* width, int* height);
