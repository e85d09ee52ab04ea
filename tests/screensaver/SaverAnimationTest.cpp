// The arrangements' steps with a scripted clock: when Bubble starts columns, and what the Circle
// shows.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "screensaver/SaverAnimation.h"

namespace {

TEST(SaverRandomTest, GivesTheSystemLibrarysSequence) {
    CSaverRandom random;
    const int first[] = {random.Next(), random.Next(), random.Next()};
    random.Seed(1);
    EXPECT_EQ((std::vector<int>{41, 18467, 6334, 41}),
              (std::vector<int>{first[0], first[1], first[2], random.Next()}));
}

TEST(BubbleTest, NoColumnForTheFirstEightSecondsThenOneEveryEight) {
    BubbleState state;
    CSaverRandom random;
    std::vector<float> spawned;
    for (float total = 0.04f; total < 20.0f; total += 0.04f) {
        if (AdvanceBubble(state, total, 0.04f, -1, 1.5f, random)) {
            spawned.push_back(total);
        }
    }
    ASSERT_EQ(2u, spawned.size()) << "after 20 s: at 8 and at 16 seconds";
    EXPECT_GT(spawned[0], 8.0f);
    EXPECT_LT(spawned[0], 8.1f);
}

TEST(BubbleTest, ALongPauseStartsOneColumnThatGrowsForItsWait) {
    BubbleState state;
    CSaverRandom random;
    const auto column = AdvanceBubble(state, 30.0f, 30.0f, -1, 1.0f, random);
    ASSERT_TRUE(column.has_value());
    EXPECT_FLOAT_EQ(37.5f, column->extraLife);
    EXPECT_EQ(0.0f, state.spawnTimer);
    EXPECT_FALSE(AdvanceBubble(state, 30.04f, 0.04f, -1, 1.0f, random).has_value());
}

TEST(BubbleTest, ColumnsSwayAndTakeTheirColourFromTheSettingAndTheRandomNumbers) {
    // The setting, the column's hue and whether it fades.
    const float total = 9.0f;
    const std::tuple<int, float, bool> cases[] = {
        {-1, static_cast<float>(std::fabs(std::sin(9.0)) * 2.0 * 3.1415927410125732), true},
        {180, 3.1415927f, false},
        {0, 0.0f, false},
    };
    for (const auto& [hue, expectedHue, fading] : cases) {
        BubbleState state{8.5f};
        CSaverRandom random;
        const auto column = AdvanceBubble(state, total, 0.0f, hue, 16.0f / 9.0f, random);
        ASSERT_TRUE(column.has_value());
        EXPECT_FLOAT_EQ(expectedHue, column->hue) << hue;
        EXPECT_EQ(fading, column->fading) << hue;
        EXPECT_FLOAT_EQ(static_cast<float>(std::sin(9.0) * 6.0 * 16.0 / 9.0), column->x);
        EXPECT_EQ(-9.0f, column->y);
        // r1 = 41, then r2 = 18467.
        EXPECT_FLOAT_EQ(static_cast<float>(0.5 + 0.5 * 41 / 32767.0), column->value);
        EXPECT_FLOAT_EQ(static_cast<float>(0.25 + 0.75 * 18467 / 32767.0), column->saturation);
    }
}

// k = 0.65 + 0.35 cos(0.05 t) falls below 0.4 from t = 20 acos(-0.25 / 0.35) ~ 46.8 s on.
TEST(CircleTest, AFixedHueUsesClearJewelExactlyWhileTheSaturationIsBelowPointFour) {
    CircleState state;
    for (float t = 0.0f; t < 130.0f; t += 0.5f) {
        AdvanceCircle(state, t, 0.5f, 90, 1.0f, 28);
        const double k = 0.65 + 0.35 * std::cos(static_cast<float>(t * 0.05));
        EXPECT_EQ(k < 0.4, state.clearJewel) << "t = " << t;
        EXPECT_TRUE(state.manyColours);
    }
}

// Twelve jewels 30 degrees apart on a ring of radius 10, wherever it has swayed to.
TEST(CircleTest, TwelveJewelsStandThirtyDegreesApartOnARingOfRadiusTen) {
    CircleState ring;
    AdvanceCircle(ring, 37.0f, 0.04f, -1, 1.6f, 28);
    float cx = 0;
    for (const auto& p : ring.positions) {
        cx += p.x / kRingJewels;
    }
    for (int i = 0; i < kRingJewels; ++i) {
        const auto &p = ring.positions[i], &q = ring.positions[(i + 1) % kRingJewels];
        EXPECT_NEAR(10.0, std::hypot(p.x - cx, p.y), 1e-4) << i;
        EXPECT_NEAR(20.0 * std::sin(std::numbers::pi / 12), std::hypot(q.x - p.x, q.y - p.y), 1e-4);
    }
}

TEST(CircleTest, ChangingColoursTurnTheRingWhiteEveryOtherTwoMinutes) {
    // A fresh ring, stepped to the middle of each period: white (and clear) in the second and
    // the fourth.
    CircleState ring;
    for (int t = 1; t <= 420; ++t) {
        AdvanceCircle(ring, static_cast<float>(t), 1.0f, -1, 1.0f, 28);
        if (t % 120 == 60) {
            const bool white = t % 240 == 180;
            EXPECT_EQ(!white, ring.manyColours) << t;
            for (const auto& colour : ring.colours) {
                EXPECT_EQ(white, colour.x == 1.0f && colour.y == 1.0f && colour.z == 1.0f) << t;
            }
            EXPECT_TRUE(!white || ring.clearJewel) << t;
        }
    }
}

TEST(CircleTest, TheMeshSetAdvancesEveryTwoMinutesWithinTheLibrary) {
    // Meshes in the library, and firstMesh after 1, 2, 3 and 4 periods.
    const std::pair<std::uint32_t, std::array<int, 4>> cases[] = {{28, {1, 2, 3, 4}},
                                                                  {14, {1, 2, 0, 1}},
                                                                  {13, {1, 0, 1, 0}},
                                                                  {12, {0, 0, 0, 0}},
                                                                  {5, {0, 0, 0, 0}}};
    for (const auto& [meshes, expected] : cases) {
        CircleState state;
        for (int period = 0; period < 4; ++period) {
            // Frames of one second pass the 120 s mark with the 121st.
            for (int frame = 0; frame < 121; ++frame) {
                AdvanceCircle(state, 1.0f, 1.0f, 0, 1.0f, meshes);
            }
            EXPECT_EQ(expected[period], state.firstMesh) << meshes << " meshes";
        }
    }
}

}  // namespace
