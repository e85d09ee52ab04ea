#pragma once
// The two cameras of the keyboard scene: one that fits the keyboard's width to the window's
// 60-degree horizontal view from above and in front, and one for the dragged jewel.

#include <cstdint>

#include "platform/graphics/GraphicsTypes.h"

struct KeyboardCamera {
    platform::D3DMATRIX viewProjection{};
    platform::D3DVECTOR3 eye{};
};

// For a target of width x height pixels and a keyboard of the given width and depth in units.
KeyboardCamera BuildKeyboardCamera(std::uint32_t width, std::uint32_t height, float keyboardWidth,
                                   float keyboardDepth);

// Looks at the origin along +z with a 24-degree field of view, so a jewel of radius about 2
// fills the square picture.
KeyboardCamera BuildDraggedJewelCamera();
