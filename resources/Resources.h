#pragma once
// The files the programs carry inside themselves, found by resource id, as the system finds its
// own resources. The bytes live as long as the program; a text resource is followed by a zero
// byte that the size does not count.

#include <cstddef>
#include <cstdint>
#include <span>

namespace resources {

// The program icon, 64 x 64 PNG.
inline constexpr int kIconResource = 101;
// The cursors, 32 x 32 PNGs: an open hand over what can be taken, a closed one while holding.
inline constexpr int kHoverCursorResource = 102;
inline constexpr int kGrabCursorResource = 103;
// The effect: GLSL of every technique, one file.
inline constexpr int kEffectResource = 200;
// The palette's tiles: 512 x 512 PNG, a 4 x 4 grid of greyscale card patterns, tile position i
// printed with pattern i mod 16 (column i mod 4, row (i div 4) mod 4).
inline constexpr int kPatternAtlasResource = 210;
// The button that leaves full screen, 64 x 64 PNG with premultiplied colours.
inline constexpr int kRestoreButtonResource = 211;

// Empty when the program carries no resource of that id.
std::span<const std::uint8_t> FindResource(int id);

}  // namespace resources
