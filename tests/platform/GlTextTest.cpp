// Textures from PNG bytes and text drawing, read back from render targets.

#include <SDL.h>
#include <SDL_image.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "platform/graphics/GraphicsFont.h"
#include "platform/graphics/TextureLoader.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

TEST_F(GlDeviceTest, PngBytesBecomeATextureWithTheirOwnTexelsAndAlpha) {
    Image source = RandomImage(20, 12, 3);
    // PNG bytes encoded by SDL_image through a file.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(source.pixels.data(), 20, 12, 32, 80,
                                                              SDL_PIXELFORMAT_ARGB8888);
    const std::string path = ::testing::TempDir() + "tovel_png_" + std::to_string(::getpid());
    ASSERT_EQ(0, IMG_SavePNG(surface, path.c_str())) << IMG_GetError();
    SDL_FreeSurface(surface);
    std::ifstream file(path, std::ios::binary);
    const std::string png{std::istreambuf_iterator<char>(file), {}};
    std::filesystem::remove(path);
    IGraphicsTexture* texture = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemory(m_device, png.data(), png.size(), &texture));
    m_owned.push_back(texture);
    IGraphicsSurface* target = MakeTarget(20, 12);
    m_device->SetRenderTarget(0, target);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    m_device->SetTexture(0, texture);
    DrawQuad(0, 0, 20, 12, 0xFFFFFFFFu);
    EXPECT_TRUE(ImagesNear(source, Read(target), 0));
    IGraphicsTexture* none = nullptr;
    EXPECT_EQ(E_FAIL, D3DXCreateTextureFromFileInMemory(m_device, "not an image", 12, &none));
}

// Bounds of the pixels that are not black: left, top, right, bottom (exclusive).
RECT InkBounds(const Image& image) {
    RECT ink = {kWidth, kHeight, 0, 0};
    for (std::int32_t y = 0; y < std::int32_t{kHeight}; ++y) {
        for (std::int32_t x = 0; x < std::int32_t{kWidth}; ++x) {
            if (image.At(x, y) != 0xFF000000u) {
                ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                       std::max(ink.bottom, y + 1)};
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
    EXPECT_TRUE(height >= 17 && height <= 19) << height << ": a positive height is the whole cell";
    // The glyph sits inside the cell below the rectangle's top, starting near its left edge, in
    // red alone, fully red somewhere.
    const Image drawn = Read(target);
    const RECT ink = InkBounds(drawn);
    EXPECT_TRUE(ink.left >= 4 && ink.left <= 7 && ink.top >= 3 && ink.bottom <= 3 + height &&
                ink.bottom - ink.top > 10)
        << ink.left << " " << ink.top << " " << ink.bottom;
    EXPECT_TRUE(std::all_of(drawn.pixels.begin(), drawn.pixels.end(),
                            [](D3DCOLOR p) { return (p & 0xFFFFu) == 0; }));
    EXPECT_NE(std::find(drawn.pixels.begin(), drawn.pixels.end(), 0xFFFF0000u), drawn.pixels.end());
    std::uint32_t cull = 0, blend = 1;
    IGraphicsTexture* bound = nullptr;
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(std::tuple(std::uint32_t{D3DCULL_CW}, 0u, nullptr), std::tuple(cull, blend, bound));
    // Centred: the ink's middle is the rectangle's middle, within a pixel of rounding.
    m_device->ColorFill(target, nullptr, 0xFF000000u);
    const RECT wide = {0, 10, kWidth, 40};
    font->DrawText("H", -1, &wide, DT_CENTER | DT_TOP | DT_NOCLIP, 0xFFFFFFFFu);
    const RECT centred = InkBounds(Read(target));
    EXPECT_NEAR(kWidth, centred.left + centred.right, 3);
    EXPECT_GE(centred.top, 10);
}

}  // namespace
}  // namespace tovel_test
