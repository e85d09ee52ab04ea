#pragma once
// Shared set-up of the GL tests: a hidden device on SDL's offscreen driver, render targets,
// textures from texel arrays, pre-transformed quads and a picture comparison within a tolerance.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"

namespace tovel_test {

using platform::D3DCOLOR;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;

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

struct TexturedVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u0, v0, u1, v1;
};

class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A render-target texture of the given size and its surface; released in TearDown.
    platform::IGraphicsSurface* MakeTarget(std::uint32_t width, std::uint32_t height,
                                           platform::IGraphicsTexture** texture = nullptr);
    // A managed texture holding `image`; released in TearDown.
    platform::IGraphicsTexture* MakeTexture(const Image& image);
    Image Read(platform::IGraphicsSurface* surface);
    // A two-triangle strip over pixels [left, right) x [top, bottom) of render target 0, with
    // Direct3D's half-pixel offset, texture coordinates 0..1 on both sets, in FVF
    // XYZRHW | DIFFUSE | TEX2.
    void DrawQuad(float left, float top, float right, float bottom, D3DCOLOR diffuse,
                  float z = 0.5f);

    platform::IGraphicsDevice* m_device = nullptr;
    std::vector<platform::RefCounted*> m_owned;
};

}  // namespace tovel_test
