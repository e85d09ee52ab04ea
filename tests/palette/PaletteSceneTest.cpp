// The palette drawn on the program's own device and read back: each tile is its pattern shaded
// with the timbre's colours, its jewel glowing inside it, all as computed here from the pattern
// atlas and the jewel target; the blank tile has no jewel; a tile dragged out floats at the
// pointer.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
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

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba Unpack(D3DCOLOR c) {
    return {static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
            static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

float Mix(float a, float b, float t) {
    return a + (b - a) * t;
}

// A point-sampled texel at texture coordinates (u, v), moved by (dx, dy) texels: a coordinate
// that falls on the edge between two texels may take either of them.
D3DCOLOR Sample(const Image& image, float u, float v, float dx, float dy) {
    const auto x = std::clamp(static_cast<int>(std::floor(u * image.width + dx)), 0,
                              static_cast<int>(image.width) - 1);
    const auto y = std::clamp(static_cast<int>(std::floor(v * image.height + dy)), 0,
                              static_cast<int>(image.height) - 1);
    return image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
}

// 600 x 400: tiles 100 high and 70 wide, 7 apart, from y 293; six cells across the jewel target.
class PaletteSceneTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ASSERT_EQ(S_OK, m_device->Reset(600, 400));
        const fs::path jewels = TOVEL_JEWELS_DIR;
        {
            tovel_test::ScopedEnvironment installDir(
                "TOVEL_INSTALL_DIR", (jewels.parent_path().string() + "/").c_str());
            ASSERT_GT(CJewelManager::Instance()->m_meshCount, 0u);
        }
        m_palette = std::make_unique<CTimbrePalette>();
        ASSERT_EQ(S_OK, m_palette->Initialise());
        ASSERT_EQ(4u, m_palette->m_entryCount);

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

    Image Frame(float total) {
        IGraphicsSurface* backBuffer = nullptr;
        m_device->GetBackBuffer(&backBuffer);
        m_device->SetRenderTarget(0, backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_palette->Render(total, 0.016f);
        Image image = Read(backBuffer);
        backBuffer->Release();
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
    D3DCOLOR Expected(const TileVertex* tile, const Image& merged, int x, int y, int tie) const {
        const float edge = 0.02f;
        const float px = tie & 1 ? edge : -edge, py = tie & 2 ? edge : -edge;
        const float mx = tie & 4 ? edge : -edge, my = tie & 8 ? edge : -edge;
        const float tx = (static_cast<float>(x) - tile[0].x) / (tile[1].x - tile[0].x);
        const float ty = (static_cast<float>(y) - tile[0].y) / (tile[2].y - tile[0].y);
        const Rgba top = Unpack(tile[0].colour), bottom = Unpack(tile[2].colour);
        const Rgba d{Mix(top.r, bottom.r, ty), Mix(top.g, bottom.g, ty), Mix(top.b, bottom.b, ty),
                     Mix(top.a, bottom.a, ty)};
        const Rgba p = Unpack(Sample(m_atlas, Mix(tile[0].u0, tile[1].u0, tx),
                                     Mix(tile[0].v0, tile[2].v0, ty), px, py));
        const Rgba m = Unpack(Sample(merged, Mix(tile[0].u1, tile[1].u1, tx),
                                     Mix(tile[0].v1, tile[2].v1, ty), mx, my));
        auto stages = [&](float pattern, float diffuse, float jewel) {
            const float current = std::clamp(pattern + diffuse - pattern * diffuse, 0.0f, 1.0f);
            return std::clamp(jewel + current * (1.0f - m.a), 0.0f, 1.0f);
        };
        const float alpha = std::clamp(m.a + p.a, 0.0f, 1.0f);
        return tovel_test::Pack(alpha * alpha, stages(p.r, d.r, m.r) * alpha,
                                stages(p.g, d.g, m.g) * alpha, stages(p.b, d.b, m.b) * alpha);
    }

    // Pixels of a tile (top-left, top-right, bottom-left corners) in rows [firstRow, lastRow]
    // within 3 steps of the computed ones, and the number compared.
    std::pair<int, int> Matching(const Image& frame, const Image& merged, const TileVertex* tile,
                                 int firstRow, int lastRow) const {
        int near = 0, all = 0;
        for (int y = firstRow; y <= lastRow; ++y) {
            for (int x = static_cast<int>(tile[0].x); x < static_cast<int>(tile[1].x); ++x) {
                const D3DCOLOR got = frame.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
                bool close = false;
                for (int tie = 0; tie < 16 && !close; ++tie) {
                    const D3DCOLOR want = Expected(tile, merged, x, y, tie);
                    close = true;
                    for (int channel = 0; channel < 3; ++channel) {
                        close = close && std::abs(static_cast<int>((want >> (8 * channel)) & 0xFF) -
                                                  static_cast<int>((got >> (8 * channel)) & 0xFF)) <= 3;
                    }
                }
                near += close;
                ++all;
            }
        }
        return {near, all};
    }

    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    // An empty Timbres folder of its own: the three built-in timbres.
    const fs::path m_home = tovel_test::TestTempPath("palette-scene");
    tovel_test::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_home.c_str()};
    std::unique_ptr<CTimbrePalette> m_palette;
    Image m_atlas;
};

TEST_F(PaletteSceneTest, ThreeTimbresShowThreeTilesWithGlowingJewelsAndTheBlankTile) {
    ASSERT_EQ(std::pair(70, 100), std::pair(m_palette->m_tileWidth, m_palette->m_tileHeight));
    const Image frame = Frame(1.0f);
    const Image jewels = Target(m_palette->m_jewelTarget);
    const Image merged = Target(m_palette->m_mergedTarget);
    const int top = m_palette->m_top, bottom = top + m_palette->m_tileHeight - 1;

    for (std::uint32_t position = 0; position < 4; ++position) {
        // The top and bottom rows carry the tile's two colours through the pattern.
        for (int row : {top, bottom}) {
            const auto [near, all] = Matching(frame, merged, m_palette->Tile(position), row, row);
            EXPECT_GE(near, all - 1) << "tile " << position << ", row " << row;
        }
        const auto [near, all] = Matching(frame, merged, m_palette->Tile(position), top, bottom);
        EXPECT_GE(near, all - all / 200) << "tile " << position;

        // Its cell of the jewel target: a jewel, and a glow reaching past it, except on the
        // blank tile.
        const std::uint32_t cell = static_cast<std::uint32_t>(m_palette->m_tileHeight);
        int jewel = 0, glow = 0;
        for (std::uint32_t y = 0; y < cell; ++y) {
            for (std::uint32_t x = position * cell; x < (position + 1) * cell; ++x) {
                const bool drawn = (jewels.At(x, y) & 0x00FFFFFF) != 0;
                jewel += drawn;
                glow += !drawn && (merged.At(x, y) & 0x00FFFFFF) != 0;
            }
        }
        if (position < 3) {
            EXPECT_GT(jewel, 400) << "tile " << position;
            EXPECT_GT(glow, 100) << "tile " << position;
        } else {
            EXPECT_EQ(0, jewel) << "the blank tile holds no jewel";
        }
    }
    // Between the tiles and after the blank one the frame stays black.
    const TileVertex* blank = m_palette->Tile(3);
    for (int y = top; y <= bottom; y += 7) {
        EXPECT_EQ(0u, frame.At(80, static_cast<std::uint32_t>(y)) & 0x00FFFFFF) << "gap, row " << y;
        EXPECT_EQ(0u, frame.At(static_cast<std::uint32_t>(blank[1].x) + 20,
                               static_cast<std::uint32_t>(y)) & 0x00FFFFFF);
    }
}

TEST_F(PaletteSceneTest, ATileDraggedOutOfTheStripFloatsAtThePointer) {
    ASSERT_TRUE(m_palette->OnButtonDown(nullptr, 112, 340));
    m_palette->TrackPointer(300, 150, 0.016f);
    const Image frame = Frame(1.0f);
    const Image merged = Target(m_palette->m_mergedTarget);
    // The floating tile is the pressed one, drawn whole with its centre at the pointer.
    const std::array<TileVertex, 4>& quad = m_palette->m_dragQuad;
    EXPECT_EQ(std::pair(265.0f, 100.0f), std::pair(quad[0].x, quad[0].y));
    EXPECT_EQ(std::pair(335.0f, 200.0f), std::pair(quad[3].x, quad[3].y));
    EXPECT_EQ(m_palette->Tile(1)[0].colour, quad[0].colour);
    const auto [near, all] = Matching(frame, merged, quad.data(), 100, 199);
    EXPECT_GE(near, all - all / 200);
    EXPECT_EQ(0u, frame.At(300 - 40, 150) & 0x00FFFFFF) << "nothing beside it";

    m_palette->OnButtonUp(150);
    EXPECT_EQ(0u, Frame(1.0f).At(300, 150) & 0x00FFFFFF) << "gone once released";
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
        const Image jewels = Target(m_palette->m_jewelTarget);
        const RECT inside = TargetRect(m_palette->JewelRegion(), jewels.width, jewels.height);
        int drawn = 0, outside = 0;
        for (std::uint32_t y = 0; y < jewels.height; ++y) {
            for (std::uint32_t x = 0; x < jewels.width; ++x) {
                if ((jewels.At(x, y) & 0x00FFFFFF) == 0) {
                    continue;
                }
                ++drawn;
                outside += static_cast<std::int32_t>(x) < inside.left ||
                           static_cast<std::int32_t>(x) >= inside.right ||
                           static_cast<std::int32_t>(y) < inside.top ||
                           static_cast<std::int32_t>(y) >= inside.bottom;
            }
        }
        EXPECT_GT(drawn, 1000) << total;
        EXPECT_EQ(0, outside) << total;
    }
    // The large jewel reaches past its cell: the region is wider than the three cells.
    EXPECT_LT(m_palette->JewelRegion().left, 0.0f);
}

}  // namespace
