#include "controls/HsvColour.h"

#include <gtest/gtest.h>

#include "synth/Timbre.h"

namespace {

constexpr float kPi = 3.14159274f;
constexpr float kTwoPi = 6.28318548f;
const CHSVColor kRed{0.0f, 1.0f, 1.0f};

TEST(HsvColourTest, Packing) {
    EXPECT_EQ(PackHsv(0.0f, 1.0f, 1.0f), 0xFFFF0000u);
    EXPECT_EQ(PackHsv(kPi, 1.0f, 1.0f), 0xFF00FFFFu);
    EXPECT_EQ(PackHsv(2.0f * kPi / 3.0f, 1.0f, 1.0f), 0xFF00FF00u);
    EXPECT_EQ(PackHsv(4.5f, 1.0f, 1.0f), 0xFF4B00FFu);
    EXPECT_EQ(PackHsv(6.0f, 1.0f, 1.0f), 0xFFFF0044u);
    // Truncated, not rounded: 0.8 packs as 204, 0.1 as 25.
    EXPECT_EQ(PackHsv(0.0f, 0.0f, 0.8f), 0xFFCCCCCCu);
    EXPECT_EQ(PackHsv(0.0f, 0.0f, 0.1f), 0xFF191919u);
    EXPECT_EQ(PackHsv(-1.0f, 1.0f, 1.0f), 0xFF000000u);  // an underived hue packs as opaque black
}

TEST(HsvColourTest, FullTurnAndUnderivedHues) {
    // A full turn stays in the last sector, a hair short of pure red.
    float r = 0.25f, g = 0.5f, b = 0.75f;
    HsvToRgb(kTwoPi, 1.0f, 1.0f, &r, &g, &b);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 0.0f);
    EXPECT_NEAR(b, 1e-6f, 1e-7f);
    HsvToRgb(-1.0f, 0.0f, 0.0f, &r, &g, &b);
    HsvToRgb(NAN, 0.0f, 0.0f, &r, &g, &b);
    EXPECT_EQ(r, 1.0f);
    EXPECT_NEAR(b, 1e-6f, 1e-7f);
}

TEST(HsvColourTest, PresetColours) {
    CTimbre timbre;
    timbre.m_harmonics[0] = 1.0f;
    timbre.DeriveHue();
    EXPECT_EQ(TileTopColour(timbre.m_color), 0xFF90FF00u);
    timbre.SetSawtoothWave();
    EXPECT_EQ(TileTopColour(timbre.m_color), 0xFF009DFFu);
    timbre.SetSquareWave();
    EXPECT_EQ(TileTopColour(timbre.m_color), 0xFF00FF32u);
    timbre.SetAllEvenHiWave();
    EXPECT_EQ(TileTopColour(timbre.m_color), 0xFFFF0044u);
}

TEST(HsvColourTest, KeyColourWrapsClampsAndConverts) {
    struct {
        CHSVColor m_color;
        float m_red, m_green, m_blue;
    } key{};
    SetKeyColour(key, 7.0f, 1.5f, 1.0f);
    EXPECT_NEAR(key.m_color.m_hue, 0.716815f, 1e-6f);
    EXPECT_EQ(key.m_color.m_saturation, 1.0f);
    EXPECT_EQ(key.m_red, 1.0f);
    EXPECT_NEAR(key.m_green, 0.6845f, 1e-4f);
    EXPECT_EQ(key.m_blue, 0.0f);

    SetKeyColour(key, kTwoPi, 0.5f, -0.2f);
    EXPECT_EQ(key.m_color.m_hue, kTwoPi);  // only a hue beyond a full turn is wrapped
    EXPECT_EQ(key.m_color.m_value, 0.0f);
    EXPECT_EQ(key.m_red + key.m_green + key.m_blue, 0.0f);
}

TEST(HsvColourTest, DisplaySubstitutions) {
    EXPECT_EQ(TileBottomColour(kRed), 0xFFFFCCCCu);
    EXPECT_EQ(TraceColour(CHSVColor{0.0f, 0.2f, 1.0f}), 0xFF7F6666u);
    float r = 0.0f, g = 0.0f, b = 0.0f;
    PaletteJewelRgb(CHSVColor{0.0f, 0.3f, 0.5f}, &r, &g, &b);
    EXPECT_EQ(r, 0.5f);
    EXPECT_NEAR(g, 0.05f, 1e-6f);
    EXPECT_NEAR(b, 0.05f, 1e-6f);

    // Bar 6's saturation is two thirds, so its palest component is exactly 85.
    EXPECT_EQ(HarmonicBarColour(kRed, 1), 0xFFFF0000u);
    EXPECT_EQ(HarmonicBarColour(kRed, 6), 0xFFFF5555u);
    EXPECT_EQ(HarmonicBarColour(kRed, 12), 0xFFFFBBBBu);
    EXPECT_EQ(HarmonicBarColour(kRed, 0), 0xFFFF0000u);   // saturation clamped to 1
    EXPECT_EQ(HarmonicBarColour(kRed, 20), 0xFFFFFFFFu);  // and to 0
}

}  // namespace
