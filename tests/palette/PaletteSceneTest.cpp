// The palette drawn on the program's own device and read back: each tile is its pattern shaded
// with the timbre's colours, its jewel glowing inside it, as computed here from the pattern atlas
// and the jewel target; the blank tile has no jewel. The tile dragged out of the strip is seen
// floating at the pointer in the program's end-to-end test.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "graphics/ResourceTexture.h"
#include "jewels/JewelManager.h"
#include "palette/TimbrePalette.h"
#include "platform/audio/AudioEngine.h"
#include "resources/Resources.h"
#include "synth/Synthesizer.h"
#include "tests/jewels/TestGems.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using tovel_test::Image;
using Rgba = std::array<float, 4>;  // red, green, blue, alpha

Rgba Unpack(D3DCOLOR c) {
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f};
}

// A point-sampled texel at texture coordinates (u, v), moved by 0.02 texels towards + or - as
// the two bits of `side` say: a coordinate on the edge between two texels may take either.
Rgba Sample(const Image& image, float u, float v, int side) {
    const float dx = side & 1 ? 0.02f : -0.02f, dy = side & 2 ? 0.02f : -0.02f;
    const auto x = std::clamp(static_cast<int>(std::floor(u * image.width + dx)), 0, int(image.width) - 1);
    const auto y = std::clamp(static_cast<int>(std::floor(v * image.height + dy)), 0, int(image.height) - 1);
    return Unpack(image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
}

// 600 x 400: tiles 100 high and 70 wide, 7 apart, from y 293; six cells across the jewel target.
class PaletteSceneTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ASSERT_EQ(S_OK, m_device->Reset(600, 400));
        {
            tovel_test::ScopedEnvironment installDir(
                "TOVEL_INSTALL_DIR", (fs::path(TOVEL_JEWELS_DIR).parent_path().string() + "/").c_str());
            ASSERT_GT(CJewelManager::Instance()->m_meshCount, 0u);
        }
        m_palette = std::make_unique<CTimbrePalette>();
        ASSERT_EQ(S_OK, m_palette->Initialise());
        ASSERT_EQ(4u, m_palette->m_entryCount);
        ASSERT_EQ(std::pair(70, 100), std::pair(m_palette->m_tileWidth, m_palette->m_tileHeight));
        std::vector<std::uint8_t> rgba;
        int width = 0, height = 0;
        ASSERT_TRUE(LoadResourceImage(resources::kPatternAtlasResource, &rgba, &width, &height));
        ASSERT_EQ(std::pair(512, 512), std::pair(width, height));
        m_atlas = {512, 512, std::vector<D3DCOLOR>(512 * 512)};
        for (std::size_t i = 0; i < m_atlas.pixels.size(); ++i) {
            m_atlas.pixels[i] = D3DCOLOR{rgba[i * 4 + 3]} << 24 | D3DCOLOR{rgba[i * 4]} << 16 |
                                D3DCOLOR{rgba[i * 4 + 1]} << 8 | rgba[i * 4 + 2];
        }
    }
    void TearDown() override {
        m_palette.reset();
        std::error_code error;
        fs::remove_all(m_home, error);
        GraphicsTest::TearDown();
    }
    // The frame drawn at `total` seconds; the jewel and merged targets read back after it.
    Image Frame(float total) {
        IGraphicsSurface* backBuffer = nullptr;
        m_device->GetBackBuffer(&backBuffer);
        m_device->SetRenderTarget(0, backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_palette->Render(total, 0.016f);
        Image image = Read(backBuffer);
        backBuffer->Release();
        m_jewels = Target(m_palette->m_jewelTarget);
        m_merged = Target(m_palette->m_mergedTarget);
        return image;
    }
    Image Target(IGraphicsTexture* texture) {
        IGraphicsSurface* surface = nullptr;
        EXPECT_EQ(S_OK, texture->GetSurfaceLevel(0, &surface));
        Image image = Read(surface);
        surface->Release();
        return image;
    }
    // The pixel a tile's corners give at pixel (x, y): the pattern added smoothly to the shaded
    // colour, with the glowing jewels over it, shown through the pattern's and the jewels' alpha
    // onto black. Pixel centres can fall exactly on texel edges (the jewel target is sampled
    // nearly texel for pixel); the four bits of `tie` pick which side each coordinate takes.
    D3DCOLOR Expected(const TileVertex* tile, int x, int y, int tie) const {
        const float tx = (static_cast<float>(x) - tile[0].x) / (tile[1].x - tile[0].x);
        const float ty = (static_cast<float>(y) - tile[0].y) / (tile[2].y - tile[0].y);
        auto mix = [](float a, float b, float t) { return a + (b - a) * t; };
        const Rgba top = Unpack(tile[0].colour), bottom = Unpack(tile[2].colour);
        const Rgba p = Sample(m_atlas, mix(tile[0].u0, tile[1].u0, tx), mix(tile[0].v0, tile[2].v0, ty), tie);
        const Rgba m = Sample(m_merged, mix(tile[0].u1, tile[1].u1, tx), mix(tile[0].v1, tile[2].v1, ty), tie >> 2);
        Rgba out{};
        for (int k = 0; k < 3; ++k) {
            const float diffuse = mix(top[k], bottom[k], ty);
            const float current = std::clamp(p[k] + diffuse - p[k] * diffuse, 0.0f, 1.0f);
            out[k] = std::clamp(m[k] + current * (1.0f - m[3]), 0.0f, 1.0f);
        }
        const float alpha = std::clamp(m[3] + p[3], 0.0f, 1.0f);
        return tovel_test::Pack(alpha * alpha, out[0] * alpha, out[1] * alpha, out[2] * alpha);
    }
    // Pixels of a tile (top-left, top-right, bottom-left corners) in rows [firstRow, lastRow]
    // within 3 steps of the computed ones, and the number compared.
    std::pair<int, int> Matching(const Image& frame, const TileVertex* tile, int firstRow, int lastRow) const {
        int near = 0, all = 0;
        for (int y = firstRow; y <= lastRow; ++y) {
            for (int x = static_cast<int>(tile[0].x); x < static_cast<int>(tile[1].x); ++x, ++all) {
                const D3DCOLOR got = frame.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
                for (int tie = 0; tie < 16; ++tie) {
                    const D3DCOLOR want = Expected(tile, x, y, tie);
                    bool close = true;
                    for (int shift = 0; shift < 24; shift += 8) {
                        close = close && std::abs(int((want >> shift) & 0xFF) - int((got >> shift) & 0xFF)) <= 3;
                    }
                    if (close) {
                        ++near;
                        break;
                    }
                }
            }
        }
        return {near, all};
    }
    int Lit(const Image& image, std::uint32_t x, std::uint32_t y) const { return (image.At(x, y) & 0xFFFFFF) != 0; }
    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<CJewelManager> m_jewelManager;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    // An empty Timbres folder of its own: the three built-in timbres.
    const fs::path m_home = tovel_test::TestTempPath("palette-scene");
    tovel_test::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_home.c_str()};
    std::unique_ptr<CTimbrePalette> m_palette;
    Image m_atlas, m_jewels, m_merged;
};

TEST_F(PaletteSceneTest, ThreeTimbresShowThreeTilesWithGlowingJewelsAndTheBlankTile) {
    const Image frame = Frame(1.0f);
    const int top = m_palette->m_top, bottom = top + m_palette->m_tileHeight - 1;
    for (std::uint32_t position = 0; position < 4; ++position) {
        // The top and bottom rows carry the tile's two colours through the pattern.
        for (int row : {top, bottom}) {
            const auto [near, all] = Matching(frame, m_palette->Tile(position), row, row);
            EXPECT_GE(near, all - 1) << "tile " << position << ", row " << row;
        }
        const auto [near, all] = Matching(frame, m_palette->Tile(position), top, bottom);
        EXPECT_GE(near, all - all / 200) << "tile " << position;
        // Its cell of the jewel target: a jewel, and a glow reaching past it, except on the
        // blank tile.
        const auto cell = static_cast<std::uint32_t>(m_palette->m_tileHeight);
        int jewel = 0, glow = 0;
        for (std::uint32_t y = 0; y < cell; ++y) {
            for (std::uint32_t x = position * cell; x < (position + 1) * cell; ++x) {
                jewel += Lit(m_jewels, x, y);
                glow += !Lit(m_jewels, x, y) && Lit(m_merged, x, y);
            }
        }
        EXPECT_TRUE(position < 3 ? jewel > 400 && glow > 100 : jewel == 0) << position << ": " << jewel << ", " << glow;
    }
    // Between the tiles and after the blank one the frame stays black.
    const auto after = static_cast<std::uint32_t>(m_palette->Tile(3)[1].x) + 20;
    for (int y = top; y <= bottom; y += 7) {
        EXPECT_FALSE(Lit(frame, 80, static_cast<std::uint32_t>(y)) || Lit(frame, after, static_cast<std::uint32_t>(y))) << y;
    }
}

// The glow is made and merged only where the drawn tiles' jewels can fall; a jewel larger than
// its cell widens that region, and every pixel of every jewel lies inside it.
TEST_F(PaletteSceneTest, TheGlowIsLimitedToWhereTheJewelsCanBe) {
    JewelMesh& large = *m_palette->EntryAt(1)->m_mesh;
    for (std::uint32_t i = 0; i < large.vertexCount * JewelMesh::kFloatsPerVertex; ++i) {
        large.vertices[i] *= (i % 6 < 3) ? 1.6f : 1.0f;
    }
    ASSERT_EQ(S_OK, m_palette->RebuildJewelBuffers());
    for (float total : {0.5f, 1.3f, 2.9f}) {
        Frame(total);
        const RECT inside = TargetRect(m_palette->JewelRegion(), m_jewels.width, m_jewels.height);
        int drawn = 0, outside = 0;
        for (std::uint32_t y = 0; y < m_jewels.height; ++y) {
            for (std::uint32_t x = 0; x < m_jewels.width; ++x) {
                const auto sx = static_cast<std::int32_t>(x), sy = static_cast<std::int32_t>(y);
                drawn += Lit(m_jewels, x, y);
                outside += Lit(m_jewels, x, y) &&
                           (sx < inside.left || sx >= inside.right || sy < inside.top || sy >= inside.bottom);
            }
        }
        EXPECT_GT(drawn, 1000) << total;
        EXPECT_EQ(0, outside) << total;
    }
    EXPECT_LT(m_palette->JewelRegion().left, 0.0f) << "the large jewel reaches past its cell";
}

}  // namespace
