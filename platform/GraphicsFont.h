#pragma once
// Text drawing with D3DX font semantics: UTF-8 strings in a rectangle of render target 0, left
// or centre aligned, top aligned, not clipped, in one colour with the glyphs' coverage as alpha,
// alpha-blended over what the target holds. The device's states are left as they were.

#include <cstdint>

#include "platform/GraphicsTypes.h"
#include "platform/RefCounted.h"

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

}  // namespace platform
