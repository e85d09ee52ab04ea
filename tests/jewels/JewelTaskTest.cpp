// How one column of jewels starts, grows, loses its top jewel, fades and is laid out in runs,
// and how the manager's pool of fifty columns lends and takes them back.

#include "jewels/JewelTask.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "jewels/JewelManager.h"

namespace {

// A paler colour makes smaller jewels that rise faster; hue 0 at full saturation is pure red.
TEST(JewelTaskTest, SaturationSetsTheJewelsSizeAndSpeed) {
    CJewelTask task(5);
    task.Start(2.0f, 0.5f, -1.0f, 0.0f, 1.0f, 1.0f, 1.0f, true);
    EXPECT_EQ(std::tuple(0.75f, 3.0f, 1.0f, 0.5f + 1.125f),
              std::tuple(task.m_scale.m[0][0], task.m_spacing, task.m_riseSpeed, task.m_top));
    EXPECT_EQ(std::tuple(1.0f, 0.0f, 0.0f, 0.0f),
              std::tuple(task.m_colour[0], task.m_colour[1], task.m_colour[2], task.m_colour[3]));
    task.Start(0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 1.0f, 2.0f, false);
    EXPECT_FLOAT_EQ(0.1875f, task.m_scale.m[1][1]);
    EXPECT_FLOAT_EQ(2.0f, task.m_riseSpeed);
}

TEST(JewelTaskTest, GrowsOneJewelPerSpacingThenDropsTheTopAboveTwelveWrappingTheMesh) {
    CJewelTask task(3);
    task.Start(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, true);
    task.m_life = 100.0f;  // held by its key
    // {seconds, jewels alive}: exactly one spacing risen is not yet more than one.
    const std::pair<float, int> steps[] = {{3.0f, 1}, {0.01f, 2}, {3.0f, 3}};
    for (const auto& [dt, alive] : steps) {
        EXPECT_TRUE(task.Update(dt));
        EXPECT_EQ(alive, task.m_alive) << "after " << task.m_time << " s";
    }
    // Top at 7.135 + 5 = 12.135: the top jewel leaves and the next becomes the top.
    task.m_first = 2;
    EXPECT_TRUE(task.Update(5.0f));
    EXPECT_EQ(0, task.m_first) << "the mesh position wraps at the library size";
    EXPECT_EQ(2 + 1, task.m_alive) << "one left at the top, one joined at the bottom";
    EXPECT_NEAR(12.135f - 3.0f, task.m_top, 1e-4f);
    // Released: no more jewels join, and the last one rising out of view ends the column.
    task.m_life = 0.0f;
    task.m_fading = false;
    for (int frames = 0; task.Update(1.0f); ++frames) {
        ASSERT_LE(task.m_alive, 3);
        ASSERT_LT(frames, 100);
    }
    EXPECT_EQ(0, task.m_alive);
}

// Once released, each whole second pales the colour and raises its value until it reaches 1;
// below a quarter saturation the column turns clear. A column that does not fade keeps its colour.
TEST(JewelTaskTest, FadingStepsPaleTheColourUntilTheColumnTurnsClear) {
    CJewelTask task(4), kept(4);
    task.Start(0.0f, -100.0f, 0.0f, 2.0f, 0.8f, 0.75f, 1.0f, true);
    kept.Start(0.0f, -100.0f, 0.0f, 2.0f, 0.8f, 0.75f, 1.0f, false);
    task.m_life = kept.m_life = 0.0f;
    kept.Update(5.0f);
    EXPECT_FLOAT_EQ(0.8f, kept.m_saturation);
    // {seconds, saturation, value, coloured}
    const std::tuple<float, float, float, bool> steps[] = {
        {0.6f, 0.8f, 0.75f, true},      {0.6f, 0.6f, 0.85f, true},     {0.6f, 0.6f, 0.85f, true},
        {1.01f, 0.45f, 0.95f, true},    {1.01f, 0.3375f, 1.05f, true}, {1.01f, 0.253125f, 1.05f, true},
        {1.01f, 0.1898438f, 1.05f, false}};
    for (const auto& [dt, saturation, value, coloured] : steps) {
        task.Update(dt);
        EXPECT_NEAR(saturation, task.m_saturation, 1e-6f) << task.m_time;
        EXPECT_NEAR(value, task.m_value, 1e-6f) << task.m_time;
        EXPECT_EQ(coloured, task.m_coloured) << task.m_time;
    }
}

TEST(JewelTaskTest, RunsFollowTheLibraryAndWrapToItsFirstMesh) {
    CJewelTask task(5);
    task.m_first = 3;
    using Runs = std::vector<std::tuple<std::uint32_t, std::uint32_t, std::int32_t>>;
    // Meshes 3-4, then 0-1; a column taller than the library passes through it again.
    const std::pair<int, Runs> cases[] = {{4, {{3, 2, 0}, {0, 2, 2}}},
                                          {12, {{3, 2, 0}, {0, 5, 2}, {0, 5, 7}}}};
    for (const auto& [alive, expected] : cases) {
        task.m_alive = alive;
        Runs runs;
        task.ForEachRun(5, [&](std::uint32_t start, std::uint32_t count, std::int32_t slot) {
            runs.emplace_back(start, count, slot);
            return true;
        });
        EXPECT_EQ(expected, runs) << alive;
    }
}

// A manager with a five-mesh library and its pool, but no device: columns animate, nothing draws.
class ColumnPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_manager.m_meshCount = 5;
        m_manager.m_averageSize = 1.0f;
        ASSERT_EQ(S_OK, m_manager.CreateTasks());
    }
    CJewelTask* Spawn(float y = 0.0f) { return m_manager.SpawnColumn(0, y, 0, 1, 1, 1); }
    CJewelManager m_manager;
};

TEST_F(ColumnPoolTest, TheFiftyFirstColumnIsRefusedAndTheFiftyKeepRisingInOrder) {
    std::vector<CJewelTask*> columns;
    for (std::uint32_t i = 0; i < CJewelManager::kTaskCount; ++i) {
        columns.push_back(Spawn());
        ASSERT_NE(nullptr, columns.back()) << i;
    }
    EXPECT_EQ(nullptr, Spawn());
    m_manager.UpdateAndRender(0.5f);
    std::vector<CJewelTask*> active;
    for (CJewelTask* t = m_manager.m_activeTasks; t; t = t->m_next) {
        EXPECT_FLOAT_EQ(1.125f + 0.5f, t->m_top);
        active.push_back(t);
    }
    EXPECT_EQ(columns, active) << "in the order they were spawned";
}

TEST_F(ColumnPoolTest, AFinishedColumnReturnsAndItsTaskStartsOneMeshFurtherOn) {
    CJewelTask* first = Spawn();
    CJewelTask* second = Spawn(5.0f);
    // The higher column's single jewel leaves first; the other one stays in the list.
    for (int frame = 0; frame < 8 && m_manager.m_takenCount == 2; ++frame) {
        m_manager.UpdateAndRender(1.0f);
    }
    EXPECT_EQ(std::tuple(1, first, nullptr),
              std::tuple(m_manager.m_takenCount, m_manager.m_activeTasks, first->m_next));
    EXPECT_EQ(second, Spawn());
    EXPECT_EQ(std::pair(1, first), std::pair(second->m_first, second->m_prev))
        << "its top jewel is the mesh after the one that left";
}

}  // namespace
