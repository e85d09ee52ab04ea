// Keeping the keyboard's timbre in the palette with scripted pointer positions.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "container/ContainerFile.h"
#include "palette/TimbreFile.h"
#include "palette/TimbrePalette.h"
#include "tests/keyboard/KeyboardFixture.h"
#include "tests/palette/TestMeshes.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

namespace fs = std::filesystem;
using Point = std::pair<int, int>;
using Spot = std::pair<float, float>;

// The key tests' keyboard at a back buffer 768 high, and a palette for 1024 x 768 holding the
// built-in timbres, with a folder of its own; library jewel n has 4 + n vertices.
class KeyboardDragTest : public KeyboardTest {
protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        for (std::uint32_t n = 0; n < 5; ++n) {
            jewels->m_meshes.Append(tovel_test::Mesh(4 + n, 4));
        }
        keyboard->m_targetHeight = 768;
        palette->m_jewels = jewels;
        palette->LayoutTiles(1024, 768);
        ASSERT_EQ(S_OK, palette->LoadTimbres());
        std::srand(7);
    }
    void TearDown() override {
        KeyboardTest::TearDown();
        std::error_code error;
        fs::remove_all(m_home, error);
    }
    // Pressed at the first point, followed a frame a point, released at the last; the jewel
    // shown just before the release.
    int Drag(const std::vector<Point>& path) {
        EXPECT_TRUE(keyboard->OnButtonDown(path[0].first, path[0].second, nullptr));
        for (const auto& [x, y] : path) {
            keyboard->TrackDrag(x, y);
        }
        const int shown = keyboard->m_dragJewel;
        EXPECT_TRUE(keyboard->OnButtonUp(path.back().first, path.back().second));
        EXPECT_EQ(std::pair(0, -1), std::pair(keyboard->m_dragState, keyboard->m_dragJewel));
        return shown;
    }
    Point Tile(std::uint32_t position, int y = 650) const {
        const TileVertex* tile = palette->Tile(position);
        return {static_cast<int>((tile[0].x + tile[1].x) / 2), y};
    }
    std::size_t Files() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(palette->m_folder), {}));
    }
    const fs::path m_home = tovel_test::TestTempPath("keyboard-drag-home");
    tovel_test::ScopedEnvironment m_dataHome{"XDG_DATA_HOME", m_home.c_str()};
    CTimbrePalette* palette = new CTimbrePalette();
    tovel_test::ScopedInstance<CTimbrePalette> m_palette{palette};
};

TEST_F(KeyboardDragTest, APressInTheBandLiftsAQuarterHeightSquareThatEasesToThePointer) {
    for (const auto& [y, inside] : {Point(384, 0), Point(385, 1), Point(575, 1), Point(576, 0)}) {
        EXPECT_EQ(inside != 0, keyboard->OnButtonDown(500, y, nullptr)) << y;
        EXPECT_EQ(inside != 0, keyboard->OnButtonUp(500, y)) << y;
    }
    ASSERT_TRUE(keyboard->OnButtonDown(500, 450, nullptr));
    const auto& quad = keyboard->m_dragQuad;
    EXPECT_EQ(Spot(404, 596), Spot(quad[0].x, quad[3].x));
    EXPECT_EQ(Spot(354, 546), Spot(quad[1].y, quad[2].y));
    keyboard->TrackDrag(600, 150);
    for (const auto& [x, y] : {Spot(550, 300), Spot(575, 225), Spot(587.5f, 187.5f)}) {
        keyboard->FollowPointer();
        EXPECT_EQ(Spot(x - 96, y + 96), Spot(quad[2].x, quad[2].y));
    }
}

TEST_F(KeyboardDragTest, OnlyADragThatLeftTheBandKeepsTheTimbreInTheTileItEndsOn) {
    // A tile's top rows lie inside the band.
    struct Case {
        std::vector<Point> path;
        bool lifted, kept;
    } const cases[] = {
        {{{500, 450}, {520, 460}, Tile(0, 570)}, false, false},
        {{{500, 450}, {500, 300}}, true, false},
        {{{500, 450}, {500, 300}, {500, 450}, Tile(0, 570)}, true, true},
    };
    for (const Case& c : cases) {
        const std::size_t files = Files();
        EXPECT_EQ(c.lifted, Drag(c.path) >= 0);
        EXPECT_EQ(files + c.kept, Files());
    }
    // On the blank tile: a new entry before it and a file of its own, with the amplitudes
    // played and the jewel shown; the keys play on from their own waveforms.
    const int shown = Drag({{500, 450}, {500, 200}, Tile(3)});
    ASSERT_EQ(5u, palette->m_entryCount);
    const PaletteEntry& kept = *palette->EntryAt(3);
    EXPECT_EQ(4u + shown, kept.m_mesh->vertexCount);
    EXPECT_NE(keyboard->m_timbre->m_waves, kept.m_timbre->m_waves);
    EXPECT_EQ(59u, kept.m_timbre->m_waveCount);
    CVendra tree;
    TimbreFileContent file;
    ASSERT_EQ(S_OK, ReadTimbreFile(palette->m_folder / kept.m_fileName, tree, &file));
    EXPECT_TRUE(std::equal(std::begin(timbre.m_harmonics), std::end(timbre.m_harmonics),
                           std::begin(file.amplitudes)));
    EXPECT_EQ(4u + shown, file.mesh->vertexCount);
}

}  // namespace
