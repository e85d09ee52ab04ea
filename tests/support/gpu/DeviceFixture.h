#pragma once
// A hidden device on SDL's offscreen driver, render targets read back, textures and quads.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"
#include "tests/support/gpu/Image.h"

namespace tovel_test {

// The hidden device's back buffer.
constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;

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
    Image ReadBackBuffer();
    // A strip over pixels [left, right) x [top, bottom) of target 0, with Direct3D's half-pixel
    // offset and texture coordinates 0..1 on both sets (XYZRHW | DIFFUSE | TEX2).
    void DrawQuad(float left, float top, float right, float bottom, D3DCOLOR diffuse,
                  float z = 0.5f);
    platform::IGraphicsDevice* m_device = nullptr;
    std::vector<platform::RefCounted*> m_owned;
};

}  // namespace tovel_test
