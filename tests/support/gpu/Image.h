#pragma once
// Pictures as tests compare them, within a tolerance, and the colour arithmetic of references.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/GraphicsTypes.h"

namespace tovel_test {

using platform::D3DCOLOR;

// Pixels of one picture, row 0 (the top) first.
struct Image {
    std::uint32_t width = 0, height = 0;
    std::vector<D3DCOLOR> pixels;
    D3DCOLOR At(std::uint32_t x, std::uint32_t y) const { return pixels[y * width + x]; }
};

// A PNG file's pixels as D3DCOLORs; an empty image when it cannot be read.
Image LoadPng(const std::string& path);

// Every channel of every pixel within `tolerance` steps of 1/255; lists the first mismatches.
::testing::AssertionResult ImagesNear(const Image& expected, const Image& actual, int tolerance);

// One channel (0 blue, 1 green, 2 red, 3 alpha) of a D3DCOLOR, as 0..1.
float Channel(D3DCOLOR color, int channel);
// A D3DCOLOR from four 0..1 values, rounded to the nearest step and clamped.
D3DCOLOR Pack(float a, float r, float g, float b);

Image RandomImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed);

}  // namespace tovel_test
