// tovel-gemforge --sheet as a person runs it: the built Jewels folder drawn into one picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/graphics/TextureLoader.h"
#include "tests/support/ChildProcess.h"

namespace {

TEST(ContactSheetTest, DrawsEveryJewelOfTheFolderInAGridOfCellsAndRefusesAnEmptyFolder) {
    tovel_test::TempDir dir;
    const std::string png = dir.Path() / "sheet.png";
    auto sheet = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--sheet", png});
        return tovel_test::RunProgram(TOVEL_GEMFORGE_PATH, args, {"SDL_VIDEODRIVER=offscreen"},
                                      dir);
    };
    EXPECT_EQ(1, sheet({dir.Path().string()}).status) << "no jewels in the folder";
    EXPECT_FALSE(std::filesystem::exists(png));
    const tovel_test::RunResult r = sheet({});
    ASSERT_EQ(0, r.status) << r.err;
    const std::string bytes = tovel_test::ReadFile(png);
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::DecodeImageRgba(bytes.data(), bytes.size(), &rgba, &width, &height));
    // The 28 shipped jewels: 8 columns and 4 rows of 220-pixel cells, the last four black.
    EXPECT_EQ(std::pair(8 * 220, 4 * 220), std::pair(width, height));
    for (int cell = 0; cell < 32; ++cell) {
        std::size_t lit = 0;
        for (int y = (cell / 8) * 220; y < (cell / 8 + 1) * 220; ++y) {
            for (int x = (cell % 8) * 220; x < (cell % 8 + 1) * 220; ++x) {
                const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                lit += std::max({p[0], p[1], p[2]}) > 100 ? 1 : 0;
            }
        }
        EXPECT_TRUE(cell < 28 ? lit > 200 : lit == 0) << "cell " << cell << ": " << lit;
    }
}

}  // namespace
