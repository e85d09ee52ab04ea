#pragma once
// The label texture laid over the keyboard: every key's name from the active layout at the key's
// place, 15 pixels to a keyboard unit, on a light plate for the naturals.

#include <cstdint>
#include <span>
#include <string>

#include "keyboard/KeyMesh.h"
#include "platform/graphics/GraphicsDevice.h"

enum class KeyKind { Dead, Sharp, Natural };

struct KeyLabel {
    platform::D3DVECTOR3 centre;
    std::string name;
    KeyKind kind;
};

// The labels' face, weight and height in pixels.
inline constexpr const char* kLabelFace = "Arial";
inline constexpr std::uint32_t kLabelWeight = 700;
inline constexpr std::int32_t kLabelHeight = 18;

// The kind of key that plays the pitch class (1 = C .. 12 = B).
KeyKind KindOfPitchClass(std::uint32_t pitchClass);

// A render-target texture of the keyboard rectangle at 15 pixels a unit (390 x 107 for the
// whole keyboard), drawn with an "Arial" bold font of height 18. The device's render target,
// depth-stencil surface and depth test are as they were afterwards.
HRESULT BuildLabelTexture(platform::IGraphicsDevice* device, std::span<const KeyLabel> keys,
                          const KeyboardRectangle& rectangle, platform::IGraphicsTexture** texture);
