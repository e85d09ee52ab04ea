#pragma once
// Text drawing with D3DX font semantics: UTF-8 strings in a rectangle of render target 0, left
// or centre aligned, top aligned, not clipped, in one colour with the glyphs' coverage as alpha,
// alpha-blended over what the target holds. The device's states are left as they were.

#include <cstdint>
#include <string>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/base/RefCounted.h"

namespace platform {

inline constexpr std::uint32_t DT_TOP = 0x0;
inline constexpr std::uint32_t DT_LEFT = 0x0;
inline constexpr std::uint32_t DT_CENTER = 0x1;
inline constexpr std::uint32_t DT_NOCLIP = 0x100;

class IGraphicsFont : public RefCounted {
public:
    // count -1: up to the terminating zero. Returns the height of the drawn text in pixels,
    // 0 on failure.
    virtual std::int32_t DrawText(const char* text, std::int32_t count, const RECT* rect,
                                  std::uint32_t format, D3DCOLOR color) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// A font drawn on any device, its face resolved through fontconfig. height > 0: the character
// cell (ascent + descent) in pixels; height < 0: the em size. weight 600 and above is bold.
// Width, mip levels, character set, precision, quality and pitch of the Windows call have no
// counterpart here.
HRESULT D3DXCreateFont(IGraphicsDevice* device, std::int32_t height, std::uint32_t weight,
                       bool italic, const char* face, IGraphicsFont** font);

// The font file fontconfig picks for a face and weight ("Arial", 700 -> Liberation Sans Bold);
// empty when nothing matches. Each face is looked up once per process; safe from any thread.
std::string ResolveFontFile(const char* face, std::uint32_t weight, bool italic);

}  // namespace platform
