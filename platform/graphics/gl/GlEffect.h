#pragma once
// The effect on GL: each technique's stages become separable programs run in the device's
// program pipeline. See GlEffect.cpp.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <string>

#include "platform/graphics/GraphicsEffect.h"

namespace platform {

class GlDevice;

// Compiles every technique of `desc`; on failure `messages` (if given) receives the log.
HRESULT CreateGlEffect(GlDevice* device, const EffectDesc& desc, IGraphicsEffect** effect,
                       std::string* messages);

}  // namespace platform
