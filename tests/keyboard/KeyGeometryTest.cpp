// The keyboard's hexagons, their texture rectangle and the camera that frames them.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "keyboard/KeyMesh.h"
#include "keyboard/KeyTable.h"
#include "keyboard/KeyboardCamera.h"

namespace {

using platform::D3DVECTOR3;

std::vector<D3DVECTOR3> Centres() {
    std::vector<D3DVECTOR3> centres;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        centres.push_back(KeyPosition(i));
    }
    return centres;
}

TEST(KeyGeometryTest, FortyEightHexagonFansOverA26By7Point2Rectangle) {
    const std::vector<D3DVECTOR3> centres = Centres();
    const KeyboardRectangle r = MeasureKeyboard(centres);
    EXPECT_FLOAT_EQ(26.0f, r.width);
    EXPECT_FLOAT_EQ(7.19615f, r.depth);

    std::vector<KeyVertex> vertices(centres.size() * kVerticesPerKey);
    std::vector<std::uint16_t> indices(centres.size() * kIndicesPerKey);
    BuildKeyVertices(centres, r, vertices.data(), indices.data());
    EXPECT_EQ(336u, vertices.size());
    EXPECT_EQ(288u, indices.size() / 3);

    // Key 30: centre first, then the corner towards +z, then clockwise seen from above.
    const KeyVertex* key = &vertices[30 * kVerticesPerKey];
    EXPECT_EQ(centres[30].x, key[0].x);
    EXPECT_EQ(centres[30].z + 1.0f, key[1].z);
    EXPECT_FLOAT_EQ(centres[30].x + 0.866025f, key[2].x);
    EXPECT_EQ(30.0f, key[4].key);
    EXPECT_EQ(1.0f, key[5].ny);
    EXPECT_EQ(0.0f, key[5].y);
    for (const KeyVertex& v : vertices) {
        ASSERT_GE(v.u, 0.0f);
        ASSERT_LE(v.u, 1.0f);
        ASSERT_GE(v.v, 0.0f);
        ASSERT_LE(v.v, 1.0f);
    }
    EXPECT_FLOAT_EQ((key[3].x - r.minX) / r.width, key[3].u);
    EXPECT_FLOAT_EQ((r.maxZ - key[3].z) / r.depth, key[3].v);

    const std::vector<std::uint16_t> fan(indices.begin() + 30 * 18, indices.begin() + 31 * 18);
    const std::uint16_t c = 30 * 7;
    EXPECT_EQ((std::vector<std::uint16_t>{c, c + 1, c + 2, c, c + 2, c + 3, c, c + 3, c + 4, c,
                                          c + 4, c + 5, c, c + 5, c + 6, c, c + 6, c + 1}),
              fan);
}

TEST(KeyGeometryTest, TheCameraPutsTheKeyboardInTheKeyboardBand) {
    const std::vector<D3DVECTOR3> centres = Centres();
    const KeyboardRectangle r = MeasureKeyboard(centres);
    std::vector<KeyVertex> vertices(centres.size() * kVerticesPerKey);
    std::vector<std::uint16_t> indices(centres.size() * kIndicesPerKey);
    BuildKeyVertices(centres, r, vertices.data(), indices.data());
    for (auto [w, h] : {std::pair{1024u, 768u}, std::pair{1280u, 720u}, std::pair{800u, 800u}}) {
        const KeyboardCamera camera = BuildKeyboardCamera(w, h, r.width, r.depth);
        float top = 1.0f, bottom = 0.0f, left = 1.0f, right = 0.0f;
        for (const KeyVertex& p : vertices) {
            const auto& m = camera.viewProjection.m;
            const float cx = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
            const float cy = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
            const float cw = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
            ASSERT_GT(cw, 0.0f);
            const float row = 0.5f - 0.5f * cy / cw;  // 0 at the top of the picture
            const float column = 0.5f + 0.5f * cx / cw;
            top = std::min(top, row);
            bottom = std::max(bottom, row);
            left = std::min(left, column);
            right = std::max(right, column);
        }
        EXPECT_GT(top, 0.5f) << w << "x" << h;
        EXPECT_LT(bottom, 0.75f) << w << "x" << h;
        if (w * 3 == h * 4) {
            EXPECT_NEAR(0.53f, top, 0.02f);
            EXPECT_NEAR(0.70f, bottom, 0.02f);
        }
        // The keyboard's width fills the picture's.
        EXPECT_LT(left, 0.05f) << w << "x" << h;
        EXPECT_GT(right, 0.94f) << w << "x" << h;
        EXPECT_EQ(0.0f, camera.eye.x);
    }
}

}  // namespace
