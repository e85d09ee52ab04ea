#include "controls/HsvColour.h"

#include <gtest/gtest.h>

#include "synth/Timbre.h"

namespace {

constexpr float kPi = 3.14159274f;
const CHSVColor kRed{0.0f, 1.0f, 1.0f};

TEST(HsvColourTest, PackingPresetAndDisplayColours) {
    const struct {
        float h, s, v;
        std::uint32_t packed;
    } cases[] = {{0, 1, 1, 0xFFFF0000u},        {kPi, 1, 1, 0xFF00FFFFu},
                 {2 * kPi / 3, 1, 1, 0xFF00FF00u}, {4.5f, 1, 1, 0xFF4B00FFu},
                 {6, 1, 1, 0xFFFF0044u},        {0, 0, 0.8f, 0xFFCCCCCCu},
                 {0, 0, 0.1f, 0xFF191919u},     {-1, 1, 1, 0xFF000000u}};
    for (const auto& c : cases) {
        EXPECT_EQ(PackHsv(c.h, c.s, c.v), c.packed) << c.h << ", " << c.s << ", " << c.v;
    }
    CTimbre t;
    t.m_harmonics[0] = 1.0f;
    t.DeriveHue();
    const std::uint32_t fundamental = TileTopColour(t.m_color);
    t.SetSawtoothWave();
    const std::uint32_t sawtooth = TileTopColour(t.m_color);
    t.SetSquareWave();
    EXPECT_EQ((std::vector<std::uint32_t>{0xFF90FF00u, 0xFF009DFFu, 0xFF00FF32u}),
              (std::vector<std::uint32_t>{fundamental, sawtooth, TileTopColour(t.m_color)}));
    EXPECT_EQ(TileBottomColour(kRed), 0xFFFFCCCCu);
    EXPECT_EQ(TraceColour(CHSVColor{0.0f, 0.2f, 1.0f}), 0xFF7F6666u);
    float r = 0.0f, g = 0.0f, b = 0.0f;
    PaletteJewelRgb(CHSVColor{0.0f, 0.3f, 0.5f}, &r, &g, &b);
    EXPECT_EQ(r, 0.5f);
    EXPECT_NEAR(g + b, 0.1f, 1e-6f);
    // Bar 6's saturation is two thirds, so its palest component is exactly 85; the saturation
    // is clamped to 1 and 0.
    const std::pair<int, std::uint32_t> bars[] = {
        {1, 0xFFFF0000u}, {6, 0xFFFF5555u}, {12, 0xFFFFBBBBu}, {0, 0xFFFF0000u}, {20, 0xFFFFFFFFu}};
    for (const auto& [bar, colour] : bars) {
        EXPECT_EQ(HarmonicBarColour(kRed, bar), colour) << bar;
    }
}

}  // namespace
