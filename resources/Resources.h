#pragma once
// The files the programs carry inside themselves, found by resource id, as the system finds its
// own resources. The bytes live as long as the program; a text resource is followed by a zero
// byte that the size does not count.

#include <cstddef>
#include <cstdint>
#include <span>

namespace resources {

// The effect: GLSL of every technique, one file.
inline constexpr int kEffectResource = 200;

// Empty when the program carries no resource of that id.
std::span<const std::uint8_t> FindResource(int id);

}  // namespace resources
