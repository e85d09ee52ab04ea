#pragma once
// A hidden device on SDL's offscreen driver, render targets read back, textures and quads.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsSystem.h"
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
    void SetUp() override {
        ASSERT_EQ(S_OK, platform::CreateHiddenGlDevice(kWidth, kHeight, &m_device))
            << "an OpenGL 4.5 core context is required (SDL offscreen driver, EGL)";
    }
    void TearDown() override {
        for (auto it = m_owned.rbegin(); it != m_owned.rend(); ++it) {
            (*it)->Release();
        }
        m_owned.clear();
        if (m_device) {
            m_device->Release();
        }
    }
    // A render-target texture of the given size and its surface; released in TearDown.
    platform::IGraphicsSurface* MakeTarget(std::uint32_t width, std::uint32_t height,
                                           platform::IGraphicsTexture** texture = nullptr) {
        platform::IGraphicsTexture* created = nullptr;
        platform::IGraphicsSurface* surface = nullptr;
        EXPECT_EQ(S_OK, m_device->CreateTexture(width, height, 1, platform::D3DUSAGE_RENDERTARGET,
                                                platform::D3DFMT_A8R8G8B8,
                                                platform::D3DPOOL_DEFAULT, &created));
        EXPECT_EQ(S_OK, created->GetSurfaceLevel(0, &surface));
        m_owned.insert(m_owned.end(), {created, surface});
        if (texture) {
            *texture = created;
        }
        return surface;
    }
    // A managed texture holding `image`; released in TearDown.
    platform::IGraphicsTexture* MakeTexture(const Image& image) {
        platform::IGraphicsTexture* texture = nullptr;
        EXPECT_EQ(S_OK, m_device->CreateTexture(image.width, image.height, 1, 0,
                                                platform::D3DFMT_A8R8G8B8,
                                                platform::D3DPOOL_MANAGED, &texture));
        std::uint32_t pitch = 0;
        void* bits = nullptr;
        EXPECT_EQ(S_OK, texture->LockRect(0, &pitch, &bits));
        EXPECT_EQ(image.width * 4, pitch);
        std::memcpy(bits, image.pixels.data(), image.pixels.size() * 4);
        EXPECT_EQ(S_OK, texture->UnlockRect(0));
        m_owned.push_back(texture);
        return texture;
    }
    Image Read(platform::IGraphicsSurface* surface) {
        Image image{surface->GetWidth(), surface->GetHeight(), {}};
        image.pixels.resize(std::size_t{image.width} * image.height);
        EXPECT_EQ(S_OK, m_device->GetRenderTargetData(surface, image.pixels.data()));
        return image;
    }
    Image ReadBackBuffer() {
        platform::IGraphicsSurface* back = nullptr;
        EXPECT_EQ(S_OK, m_device->GetBackBuffer(&back));
        const Image image = Read(back);
        back->Release();
        return image;
    }
    // A strip over pixels [left, right) x [top, bottom) of target 0, with Direct3D's half-pixel
    // offset and texture coordinates 0..1 on both sets (XYZRHW | DIFFUSE | TEX2).
    void DrawQuad(float left, float top, float right, float bottom, D3DCOLOR diffuse,
                  float z = 0.5f) {
        const TexturedVertex quad[4] = {{left - 0.5f, top - 0.5f, z, 1, diffuse, 0, 0, 0, 0},
                                        {right - 0.5f, top - 0.5f, z, 1, diffuse, 1, 0, 1, 0},
                                        {left - 0.5f, bottom - 0.5f, z, 1, diffuse, 0, 1, 0, 1},
                                        {right - 0.5f, bottom - 0.5f, z, 1, diffuse, 1, 1, 1, 1}};
        using namespace platform;
        EXPECT_EQ(S_OK, m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2));
        EXPECT_EQ(S_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]));
    }
    platform::IGraphicsDevice* m_device = nullptr;
    std::vector<platform::RefCounted*> m_owned;
};

}  // namespace tovel_test
