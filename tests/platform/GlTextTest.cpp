// Textures from PNG bytes and text drawing, read back from render targets.

#include <SDL.h>
#include <SDL_image.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/graphics/GraphicsFont.h"
#include "platform/graphics/TextureLoader.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

// PNG bytes of an image, encoded by SDL_image through a file.
std::vector<char> EncodePng(const Image& image) {
    std::vector<D3DCOLOR> pixels = image.pixels;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height), 32,
        static_cast<int>(image.width * 4), SDL_PIXELFORMAT_ARGB8888);
    const std::string path = ::testing::TempDir() + "tovel_texture_test_" + std::to_string(::getpid()) + ".png";
    EXPECT_EQ(0, IMG_SavePNG(surface, path.c_str())) << IMG_GetError();
    SDL_FreeSurface(surface);
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

TEST_F(GlDeviceTest, PngBytesBecomeATextureWithTheirOwnTexelsAndAlpha) {
    const Image source = RandomImage(20, 12, 3);
    const std::vector<char> png = EncodePng(source);
    ASSERT_FALSE(png.empty());
    IGraphicsTexture* texture = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemory(m_device, png.data(), png.size(), &texture));
    m_owned.push_back(texture);
    EXPECT_EQ(20u, texture->GetWidth());
    EXPECT_EQ(12u, texture->GetHeight());
    IGraphicsSurface* target = MakeTarget(20, 12);
    m_device->SetRenderTarget(0, target);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    m_device->SetTexture(0, texture);
    DrawQuad(0, 0, 20, 12, 0xFFFFFFFFu);
    EXPECT_TRUE(ImagesNear(source, Read(target), 0));
    const char junk[] = "not an image";
    IGraphicsTexture* none = nullptr;
    EXPECT_EQ(E_FAIL, D3DXCreateTextureFromFileInMemory(m_device, junk, sizeof junk, &none));
}

// Bounds of the pixels that differ from `background`: left, top, right, bottom (exclusive).
RECT InkBounds(const Image& image, D3DCOLOR background) {
    RECT ink = {static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height), 0,
                0};
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            if (image.At(x, y) != background) {
                ink.left = std::min(ink.left, static_cast<std::int32_t>(x));
                ink.top = std::min(ink.top, static_cast<std::int32_t>(y));
                ink.right = std::max(ink.right, static_cast<std::int32_t>(x) + 1);
                ink.bottom = std::max(ink.bottom, static_cast<std::int32_t>(y) + 1);
            }
        }
    }
    return ink;
}

TEST_F(GlDeviceTest, TextIsDrawnTopAlignedInItsColourAndLeavesStatesAlone) {
    IGraphicsFont* font = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateFont(m_device, 19, 700, false, "Arial", &font));
    m_owned.push_back(font);
    IGraphicsSurface* target = MakeTarget(kWidth, kHeight);
    m_device->SetRenderTarget(0, target);
    m_device->ColorFill(target, nullptr, 0xFF000000u);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);

    const RECT left = {4, 3, 60, 30};
    const std::int32_t height =
        font->DrawText("H", -1, &left, DT_LEFT | DT_TOP | DT_NOCLIP, 0xFFFF0000u);
    EXPECT_GE(height, 17);
    EXPECT_LE(height, 19) << "a positive height is the whole cell";
    const Image drawn = Read(target);
    const RECT ink = InkBounds(drawn, 0xFF000000u);
    // The glyph sits inside the cell below the rectangle's top, starting near its left edge.
    EXPECT_GE(ink.left, 4);
    EXPECT_LE(ink.left, 7);
    EXPECT_GE(ink.top, 3);
    EXPECT_LE(ink.bottom, 3 + height);
    EXPECT_GT(ink.bottom - ink.top, 10);
    bool fullRed = false;
    for (D3DCOLOR p : drawn.pixels) {
        EXPECT_EQ(0u, p & 0x0000FFFFu) << "only red is added";
        fullRed = fullRed || p == 0xFFFF0000u;
    }
    EXPECT_TRUE(fullRed);

    std::uint32_t cull = 0, blend = 1;
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(static_cast<std::uint32_t>(D3DCULL_CW), cull);
    EXPECT_EQ(0u, blend);
    IGraphicsTexture* bound = nullptr;
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(nullptr, bound);

    // Centred: the ink's middle is the rectangle's middle, within a pixel of rounding.
    m_device->ColorFill(target, nullptr, 0xFF000000u);
    const RECT wide = {0, 10, static_cast<std::int32_t>(kWidth), 40};
    font->DrawText("H", -1, &wide, DT_CENTER | DT_TOP | DT_NOCLIP, 0xFFFFFFFFu);
    const RECT centred = InkBounds(Read(target), 0xFF000000u);
    EXPECT_NEAR(static_cast<double>(kWidth), centred.left + centred.right, 3.0);
    EXPECT_GE(centred.top, 10);
}

}  // namespace
}  // namespace tovel_test
