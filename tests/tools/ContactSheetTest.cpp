// tovel-gemforge --sheet as a person runs it: the built Jewels folder drawn into one picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/graphics/TextureLoader.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::RunResult;
using tovel_test::TempDir;

TEST(ContactSheetTest, DrawsEveryJewelOfTheFolderInAGridOfCells) {
    TempDir dir;
    const fs::path png = dir.Path() / "sheet.png";
    const RunResult r = tovel_test::RunProgram(TOVEL_GEMFORGE_PATH, {"--sheet", png.string()},
                                               {"SDL_VIDEODRIVER=offscreen"}, dir);
    ASSERT_EQ(0, r.status) << r.err;
    const std::string bytes = tovel_test::ReadFile(png);
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::DecodeImageRgba(bytes.data(), bytes.size(), &rgba, &width, &height));
    // 28 jewels: 8 columns and 4 rows of 220-pixel cells.
    std::size_t jewels = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TOVEL_BUILD_BIN_DIR) / "Jewels")) {
        jewels += entry.path().extension() == ".gem" ? 1 : 0;
    }
    ASSERT_EQ(28u, jewels) << "the cell counts below are for the shipped set";
    EXPECT_EQ(8 * 220, width);
    EXPECT_EQ(4 * 220, height);
    // Every cell that holds a jewel has lit pixels, the four after the last are black.
    for (int cell = 0; cell < 32; ++cell) {
        std::size_t lit = 0;
        for (int y = (cell / 8) * 220; y < (cell / 8 + 1) * 220; ++y) {
            for (int x = (cell % 8) * 220; x < (cell % 8 + 1) * 220; ++x) {
                const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                lit += std::max({p[0], p[1], p[2]}) > 100 ? 1 : 0;
            }
        }
        if (cell < 28) {
            EXPECT_GT(lit, 200u) << "cell " << cell;
        } else {
            EXPECT_EQ(0u, lit) << "cell " << cell;
        }
    }
}

TEST(ContactSheetTest, AFolderWithoutJewelsIsRefusedWithItsName) {
    TempDir dir;
    const RunResult r = tovel_test::RunProgram(
        TOVEL_GEMFORGE_PATH, {"--sheet", (dir.Path() / "x.png").string(), dir.Path().string()},
        {"SDL_VIDEODRIVER=offscreen"}, dir);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("no *.gem files in " + dir.Path().string())) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "x.png"));
}

}  // namespace
