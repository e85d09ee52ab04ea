// The palette drawn on the program's own device, against tiles computed from atlas and jewels.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "graphics/ResourceTexture.h"
#include "jewels/JewelManager.h"
#include "palette/TimbrePalette.h"
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

D3DCOLOR At(const Image& image, int x, int y) {
    x = std::clamp(x, 0, static_cast<int>(image.width) - 1);
    y = std::clamp(y, 0, static_cast<int>(image.height) - 1);
    return image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
}

bool Lit(const Image& image, int x, int y) {
    return (At(image, x, y) & 0xFFFFFF) != 0;
}

Rgba Unpack(D3DCOLOR c) {
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
            (c >> 24) / 255.0f};
}

// The texel at (u, v), moved 0.02 texels each way as the bits of `side` say (edges take either).
Rgba Sample(const Image& image, float u, float v, int side) {
    const float dx = side & 1 ? 0.02f : -0.02f, dy = side & 2 ? 0.02f : -0.02f;
    return Unpack(At(image, static_cast<int>(std::floor(u * image.width + dx)),
                     static_cast<int>(std::floor(v * image.height + dy))));
}

// 600 x 400: tiles 100 high and 70 wide, 7 apart, from y 293; six cells across the jewel target.
class PaletteSceneTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ASSERT_EQ(S_OK, m_device->Reset(600, 400));
        const std::string install = fs::path(TOVEL_JEWELS_DIR).parent_path().string() + "/";
        {
            tovel_test::ScopedEnvironment installDir("TOVEL_INSTALL_DIR", install.c_str());
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
        IGraphicsSurface* surface = nullptr;
        m_device->GetBackBuffer(&surface);
        m_device->SetRenderTarget(0, surface);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_palette->Render(total, 0.016f);
        Image image = Read(surface);
        surface->Release();
        for (auto [texture, read] : {std::pair{m_palette->m_jewelTarget, &m_jewels},
                                     std::pair{m_palette->m_mergedTarget, &m_merged}}) {
            EXPECT_EQ(S_OK, texture->GetSurfaceLevel(0, &surface));
            *read = Read(surface);
            surface->Release();
        }
        return image;
    }
    // Pixel (x, y) of a tile: pattern over shaded colour, glowing jewels over that, through their
    // alphas onto black; the bits of `tie` pick the side of texel edges each coordinate takes.
    D3DCOLOR Expected(const TileVertex* t, int x, int y, int tie) const {
        const float tx = (static_cast<float>(x) - t[0].x) / (t[1].x - t[0].x);
        const float ty = (static_cast<float>(y) - t[0].y) / (t[2].y - t[0].y);
        auto mix = [](float a, float b, float s) { return a + (b - a) * s; };
        const Rgba top = Unpack(t[0].colour), bottom = Unpack(t[2].colour);
        const Rgba p = Sample(m_atlas, mix(t[0].u0, t[1].u0, tx), mix(t[0].v0, t[2].v0, ty), tie);
        const Rgba m =
            Sample(m_merged, mix(t[0].u1, t[1].u1, tx), mix(t[0].v1, t[2].v1, ty), tie >> 2);
        Rgba out{};
        for (int k = 0; k < 3; ++k) {
            const float diffuse = mix(top[k], bottom[k], ty);
            const float current = std::clamp(p[k] + diffuse - p[k] * diffuse, 0.0f, 1.0f);
            out[k] = std::clamp(m[k] + current * (1.0f - m[3]), 0.0f, 1.0f);
        }
        const float alpha = std::clamp(m[3] + p[3], 0.0f, 1.0f);
        return tovel_test::Pack(alpha * alpha, out[0] * alpha, out[1] * alpha, out[2] * alpha);
    }
    // Pixels of a tile in rows [first, last] within 3 steps of the computed ones, and of all.
    std::pair<int, int> Matching(const Image& frame, const TileVertex* tile, int first, int last) {
        int near = 0, all = 0;
        for (int y = first; y <= last; ++y) {
            for (int x = static_cast<int>(tile[0].x); x < static_cast<int>(tile[1].x); ++x, ++all) {
                const D3DCOLOR got = At(frame, x, y);
                for (int tie = 0; tie < 16; ++tie) {
                    const D3DCOLOR want = Expected(tile, x, y, tie);
                    bool close = true;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int wanted = (want >> shift) & 0xFF, gotten = (got >> shift) & 0xFF;
                        close = close && std::abs(wanted - gotten) <= 3;
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
        // Its cell of the jewel target: a jewel and a glow past it, but on the blank tile.
        const int cell = m_palette->m_tileHeight, left = static_cast<int>(position) * cell;
        int jewel = 0, glow = 0;
        for (int y = 0; y < cell; ++y) {
            for (int x = left; x < left + cell; ++x) {
                jewel += Lit(m_jewels, x, y);
                glow += !Lit(m_jewels, x, y) && Lit(m_merged, x, y);
            }
        }
        EXPECT_TRUE(position < 3 ? jewel > 400 && glow > 100 : jewel == 0)
            << position << ": " << jewel << ", " << glow;
    }
    // Between the tiles and after the blank one the frame stays black.
    const int after = static_cast<int>(m_palette->Tile(3)[1].x) + 20;
    for (int y = top; y <= bottom; y += 7) {
        EXPECT_FALSE(Lit(frame, 80, y) || Lit(frame, after, y)) << y;
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
        const RECT in = TargetRect(m_palette->JewelRegion(), m_jewels.width, m_jewels.height);
        int drawn = 0, outside = 0;
        for (int y = 0; y < static_cast<int>(m_jewels.height); ++y) {
            for (int x = 0; x < static_cast<int>(m_jewels.width); ++x) {
                drawn += Lit(m_jewels, x, y);
                outside += Lit(m_jewels, x, y) &&
                           (x < in.left || x >= in.right || y < in.top || y >= in.bottom);
            }
        }
        EXPECT_TRUE(drawn > 1000 && outside == 0) << total << ": " << drawn << ", " << outside;
    }
    EXPECT_LT(m_palette->JewelRegion().left, 0.0f) << "the large jewel reaches past its cell";
}

}  // namespace
