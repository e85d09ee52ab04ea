// The hue ring's geometry and hit test, without a window.

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "platform/dialog/NullDialog.h"
#include "screensaver/HueRing.h"

namespace {

using platform::COLORREF;
using platform::POINT;
using platform::RecordingCanvas;
using platform::RGB;

POINT Centroid(const HueRingItem& item) {
    int x = 0, y = 0;
    for (const POINT& p : item.points) {
        x += p.x;
        y += p.y;
    }
    return POINT{x / 4, y / 4};
}

// Corners as plain pairs, so that a mismatch prints them.
std::vector<std::pair<int, int>> Xy(const std::array<POINT, 4>& points) {
    std::vector<std::pair<int, int>> xy;
    for (const POINT& p : points) {
        xy.emplace_back(p.x, p.y);
    }
    return xy;
}

TEST(HueRingTest, ItemValuesAreTheTruncatedDegreesOfTheSinglePrecisionHues) {
    const std::array<int, 20> expected = {0,   18,  36,  54,  72,  90,  108, 125, 144, 162,
                                          180, 197, 216, 234, 251, 269, 288, 306, 324, 341};
    const HueRingLayout layout = LayOutHueRing(260, 260);
    EXPECT_EQ(kChangingColours, layout.items[0].value);
    for (int k = 1; k <= 20; ++k) {
        EXPECT_EQ(expected[k - 1], layout.items[k].value) << "item " << k;
    }
}

TEST(HueRingTest, GeometryOfA260SquareFrame) {
    const HueRingLayout layout = LayOutHueRing(260, 260);
    // s = trunc(234 / (2 + 1 / tan(pi / 21))) = 27, half 13, centre (130, 130).
    EXPECT_EQ(27, layout.barWidth);
    EXPECT_EQ(130, layout.centreX);
    EXPECT_EQ(130, layout.centreY);
    EXPECT_EQ(Xy({{{143, 27}, {117, 27}, {117, 0}, {143, 0}}}), Xy(layout.items[0].points));
    // Item 1 is turned by 2pi/21 clockwise on screen: (13, -103) goes to
    // (trunc(13 cos - (-103) sin), trunc(13 sin + (-103) cos)) = (42, -94).
    EXPECT_EQ(130 + 42, layout.items[1].points[0].x);
    EXPECT_EQ(130 - 94, layout.items[1].points[0].y);
    // Item 20 mirrors item 1 across the vertical axis, within a pixel of truncation.
    EXPECT_NEAR(260 - layout.items[1].points[1].x, layout.items[20].points[0].x, 1);
    EXPECT_NEAR(layout.items[1].points[1].y, layout.items[20].points[0].y, 1);
    EXPECT_EQ(Xy({{{103, 103}, {157, 103}, {157, 157}, {103, 157}}}), Xy(layout.centre));
}

TEST(HueRingTest, PaintsFieldItemsAndCentreInOrder) {
    RecordingCanvas canvas;
    const HueRingLayout layout = PaintHueRing(canvas, 390, 423, 180);
    const auto& shapes = canvas.Shapes();
    ASSERT_EQ(1u + 21u + 1u, shapes.size());
    EXPECT_TRUE(shapes[0].rectangle);
    EXPECT_EQ(RGB(0, 0, 0), shapes[0].brush);
    EXPECT_EQ(RGB(255, 255, 255), shapes[0].pen);
    EXPECT_EQ(2, shapes[0].penWidth);
    EXPECT_EQ(RGB(255, 255, 255), shapes[1].brush) << "changing colours at the top";
    EXPECT_EQ(RGB(255, 0, 0), shapes[2].brush) << "hue 0";
    EXPECT_EQ(RGB(0, 255, 255), shapes[12].brush) << "item 11: hue pi";
    EXPECT_EQ(RGB(0, 255, 255), shapes[22].brush) << "centre in the selected hue";
    EXPECT_EQ(layout.items[5].points[2].x, shapes[6].points[2].x);
    // The frame is taller than wide: the ring is as wide as the frame and centred in height.
    EXPECT_EQ(211, layout.centreY);
    EXPECT_EQ(211 - 195, layout.items[0].points[2].y);
}

TEST(HueRingTest, CentreIsWhiteForChangingColoursAndPackedLikeTheSystem) {
    EXPECT_EQ(RGB(255, 255, 255), CentreColour(kChangingColours));
    EXPECT_EQ(RGB(255, 0, 0), CentreColour(0));
    // Truncated, not rounded, with red in the low byte.
    EXPECT_EQ(RGB(0, 255, 0), HueToColorRef(2.0943952f, 1.0f, 1.0f));
    EXPECT_EQ(RGB(204, 204, 204), HueToColorRef(0.0f, 0.0f, 0.8f));
}

TEST(HueRingTest, EveryItemIsHitAtItsCentreAndNothingOutside) {
    const HueRingLayout layout = LayOutHueRing(390, 423);
    for (int k = 0; k < kHueRingItems; ++k) {
        EXPECT_EQ(layout.items[k].value, HitHueRing(layout, Centroid(layout.items[k])))
            << "item " << k;
    }
    const POINT misses[] = {{195, 211}, {2, 2}, {387, 420}, {-5, 100}};
    for (const POINT& p : misses) {
        EXPECT_FALSE(HitHueRing(layout, p).has_value()) << p.x << ", " << p.y;
    }
}

TEST(HueRingTest, WindingRuleCountsOverlapsAsInside) {
    // A pentagram: its centre is wound twice, so the winding rule fills it (even-odd would not).
    const POINT star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
    EXPECT_TRUE(PolygonContains(star, 5, POINT{50, 45}));
    EXPECT_TRUE(PolygonContains(star, 5, POINT{50, 10}));
    EXPECT_FALSE(PolygonContains(star, 5, POINT{50, 80}));
    const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_TRUE(PolygonContains(square, 4, POINT{0, 0}));
    EXPECT_TRUE(PolygonContains(square, 4, POINT{9, 9}));
    EXPECT_FALSE(PolygonContains(square, 4, POINT{10, 5}));
    EXPECT_FALSE(PolygonContains(square, 4, POINT{-1, 5}));
}

}  // namespace
