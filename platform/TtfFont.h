#pragma once
// Fonts drawn with SDL_ttf on any device; faces resolved through fontconfig.

#include <cstdint>
#include <string>

#include "platform/GraphicsDevice.h"
#include "platform/GraphicsFont.h"

namespace platform {

// height > 0: the character cell (ascent + descent) in pixels; height < 0: the em size.
// weight 600 and above is bold. Width, mip levels, character set, precision, quality and pitch
// of the Windows call have no counterpart here.
HRESULT D3DXCreateFont(IGraphicsDevice* device, std::int32_t height, std::uint32_t weight,
                       bool italic, const char* face, IGraphicsFont** font);

// The font file fontconfig picks for a face and weight ("Arial", 700 -> Liberation Sans Bold);
// empty when nothing matches.
std::string ResolveFontFile(const char* face, std::uint32_t weight, bool italic);

}  // namespace platform
