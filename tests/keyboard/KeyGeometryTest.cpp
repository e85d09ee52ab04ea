// The keyboard's hexagons, their texture rectangle and the camera that frames them.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "keyboard/KeyMesh.h"
#include "keyboard/KeyTable.h"
#include "keyboard/KeyboardCamera.h"

namespace {

using platform::D3DVECTOR3;

struct Keys {
    std::vector<D3DVECTOR3> centres;
    KeyboardRectangle r;
    std::vector<KeyVertex> vertices;
    std::vector<std::uint16_t> indices;
};

Keys Build() {
    Keys k;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        k.centres.push_back(KeyPosition(i));
    }
    k.r = MeasureKeyboard(k.centres);
    k.vertices.resize(kKeyCount * kVerticesPerKey);
    k.indices.resize(kKeyCount * kIndicesPerKey);
    BuildKeyVertices(k.centres, k.r, k.vertices.data(), k.indices.data());
    return k;
}

TEST(KeyGeometryTest, FortyEightHexagonFansOverA26By7Point2Rectangle) {
    const Keys k = Build();
    EXPECT_FLOAT_EQ(26.0f, k.r.width);
    EXPECT_FLOAT_EQ(7.19615f, k.r.depth);
    // Key 30: centre first, then the corner towards +z, then clockwise seen from above.
    const KeyVertex* key = &k.vertices[30 * kVerticesPerKey];
    const D3DVECTOR3 c = k.centres[30];
    EXPECT_TRUE(key[0].x == c.x && key[1].z == c.z + 1.0f && key[4].key == 30.0f);
    EXPECT_FLOAT_EQ(c.x + 0.866025f, key[2].x);
    EXPECT_TRUE(key[5].ny == 1.0f && key[5].y == 0.0f);
    for (const KeyVertex& v : k.vertices) {
        ASSERT_TRUE(v.u >= 0.0f && v.u <= 1.0f && v.v >= 0.0f && v.v <= 1.0f);
    }
    EXPECT_FLOAT_EQ((key[3].x - k.r.minX) / k.r.width, key[3].u);
    EXPECT_FLOAT_EQ((k.r.maxZ - key[3].z) / k.r.depth, key[3].v);
    const std::uint16_t f = 30 * 7;
    EXPECT_EQ((std::vector<std::uint16_t>{f, f + 1, f + 2, f, f + 2, f + 3, f, f + 3, f + 4, f,
                                          f + 4, f + 5, f, f + 5, f + 6, f, f + 6, f + 1}),
              std::vector<std::uint16_t>(k.indices.begin() + 30 * 18, k.indices.begin() + 31 * 18));
}

TEST(KeyGeometryTest, TheCameraPutsTheKeyboardInTheKeyboardBand) {
    const Keys k = Build();
    for (auto [w, h] : {std::pair{1024u, 768u}, std::pair{1280u, 720u}, std::pair{800u, 800u}}) {
        const KeyboardCamera camera = BuildKeyboardCamera(w, h, k.r.width, k.r.depth);
        const auto& m = camera.viewProjection.m;
        float top = 1.0f, bottom = 0.0f, left = 1.0f, right = 0.0f;
        for (const KeyVertex& p : k.vertices) {
            const float cx = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
            const float cy = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
            const float cw = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
            ASSERT_GT(cw, 0.0f);
            top = std::min(top, 0.5f - 0.5f * cy / cw);  // 0 at the top of the picture
            bottom = std::max(bottom, 0.5f - 0.5f * cy / cw);
            left = std::min(left, 0.5f + 0.5f * cx / cw);
            right = std::max(right, 0.5f + 0.5f * cx / cw);
        }
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        EXPECT_TRUE(top > 0.5f && bottom < 0.75f) << top << " " << bottom;
        if (w * 3 == h * 4) {
            EXPECT_NEAR(0.53f, top, 0.02f);
            EXPECT_NEAR(0.70f, bottom, 0.02f);
        }
        // The keyboard's width fills the picture's.
        EXPECT_TRUE(left < 0.05f && right > 0.94f) << left << " " << right;
        EXPECT_EQ(0.0f, camera.eye.x);
    }
}

}  // namespace
