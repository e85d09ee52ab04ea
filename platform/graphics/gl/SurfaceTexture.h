#pragma once
// Within the platform layer: managed textures from SDL surfaces (decoded images, rendered text).

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include "platform/graphics/GraphicsDevice.h"

struct SDL_Surface;

namespace platform {

// A managed A8R8G8B8 texture, one level, holding surface's pixels row 0 first, in any format SDL
// converts from. The surface stays the caller's.
HRESULT CreateTextureFromSurface(IGraphicsDevice* device, SDL_Surface* surface,
                                 IGraphicsTexture** texture);

}  // namespace platform
