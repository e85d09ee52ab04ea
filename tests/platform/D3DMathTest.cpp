// The D3DX matrix builders against values worked out by hand from their definitions.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/D3DMath.h"

namespace {

using namespace platform;

constexpr float kTolerance = 1e-6f;

::testing::AssertionResult MatricesNear(const D3DMATRIX& expected, const D3DMATRIX& actual) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(expected.m[r][c] - actual.m[r][c]) > kTolerance) {
                return ::testing::AssertionFailure()
                       << "m[" << r << "][" << c << "] = " << actual.m[r][c] << ", expected "
                       << expected.m[r][c];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

D3DVECTOR4 Transform(const D3DVECTOR4& v, const D3DMATRIX& m) {
    float out[4];
    for (int c = 0; c < 4; ++c) {
        out[c] = v.x * m.m[0][c] + v.y * m.m[1][c] + v.z * m.m[2][c] + v.w * m.m[3][c];
    }
    return {out[0], out[1], out[2], out[3]};
}

TEST(D3DMathTest, LookAtFromTheDefaultCamera) {
    // Eye (0, 5, -10) looking at the origin: z = (0, -1, 2) / sqrt 5, x = (1, 0, 0),
    // y = z cross x = (0, 2, 1) / sqrt 5, translation -(x.eye, y.eye, z.eye) = (0, 0, 5 sqrt 5).
    const D3DVECTOR3 eye = {0, 5, -10}, at = {0, 0, 0}, up = {0, 1, 0};
    D3DMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    const float a = 1.0f / std::sqrt(5.0f), b = 2.0f / std::sqrt(5.0f);
    const D3DMATRIX expected = {
        {{1, 0, 0, 0}, {0, b, -a, 0}, {0, a, b, 0}, {0, 0, 5 * std::sqrt(5.0f), 1}}};
    EXPECT_TRUE(MatricesNear(expected, view));
    // The eye lands on the origin, the target straight ahead on +z.
    const D3DVECTOR4 e = Transform({0, 5, -10, 1}, view), t = Transform({0, 0, 0, 1}, view);
    EXPECT_NEAR(0.0f, e.z, 1e-5f);
    EXPECT_NEAR(5 * std::sqrt(5.0f), t.z, 1e-5f);
    EXPECT_NEAR(0.0f, t.y, 1e-6f);
}

TEST(D3DMathTest, PerspectiveAndOrthoProjections) {
    D3DMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, std::numbers::pi_v<float> / 3, 4.0f / 3.0f, 1.0f,
                               10.0f);
    const float y = std::sqrt(3.0f);  // cot(pi/6)
    const D3DMATRIX expected = {
        {{y * 0.75f, 0, 0, 0}, {0, y, 0, 0}, {0, 0, 10.0f / 9.0f, 1}, {0, 0, -10.0f / 9.0f, 0}}};
    EXPECT_TRUE(MatricesNear(expected, projection));
    // Depth 0 at the near plane and 1 at the far plane after the divide.
    const D3DVECTOR4 nearPoint = Transform({0, 0, 1, 1}, projection);
    const D3DVECTOR4 farPoint = Transform({0, 0, 10, 1}, projection);
    EXPECT_NEAR(0.0f, nearPoint.z / nearPoint.w, 1e-6f);
    EXPECT_NEAR(1.0f, farPoint.z / farPoint.w, 1e-6f);
    // A near plane of 0 (the screen saver's camera) keeps every depth at 1.
    D3DXMatrixPerspectiveFovLH(&projection, std::numbers::pi_v<float> / 3, 1.0f, 0.0f, 10.0f);
    EXPECT_EQ(1.0f, projection.m[2][2]);
    EXPECT_EQ(0.0f, projection.m[3][2]);

    D3DMATRIX ortho;
    D3DXMatrixOrthoLH(&ortho, 4.0f, 2.0f, 1.0f, 11.0f);
    const D3DMATRIX orthoExpected = {
        {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -0.1f, 1}}};
    EXPECT_TRUE(MatricesNear(orthoExpected, ortho));
}

TEST(D3DMathTest, MultiplyComposesFromTheLeft) {
    D3DMATRIX scale, move, product;
    D3DXMatrixScaling(&scale, 2.0f, 3.0f, 4.0f);
    D3DXMatrixIdentity(&move);
    move.m[3][0] = 1.0f;
    move.m[3][1] = -2.0f;
    move.m[3][2] = 0.5f;
    // Scale, then move: (1, 1, 1) -> (2, 3, 4) -> (3, 1, 4.5).
    D3DXMatrixMultiply(&product, &scale, &move);
    const D3DVECTOR4 p = Transform({1, 1, 1, 1}, product);
    EXPECT_FLOAT_EQ(3.0f, p.x);
    EXPECT_FLOAT_EQ(1.0f, p.y);
    EXPECT_FLOAT_EQ(4.5f, p.z);
    EXPECT_FLOAT_EQ(1.0f, p.w);
    // The other order moves first: (2, -1, 1.5) -> (4, -3, 6).
    D3DXMatrixMultiply(&product, &move, &scale);
    const D3DVECTOR4 q = Transform({1, 1, 1, 1}, product);
    EXPECT_FLOAT_EQ(4.0f, q.x);
    EXPECT_FLOAT_EQ(-3.0f, q.y);
    EXPECT_FLOAT_EQ(6.0f, q.z);
    // The output may alias an input.
    D3DXMatrixMultiply(&move, &move, &scale);
    EXPECT_TRUE(MatricesNear(product, move));
}

TEST(D3DMathTest, YawPitchRollRollsThenPitchesThenYaws) {
    const float quarter = std::numbers::pi_v<float> / 2;
    D3DMATRIX m;
    // Left-handed: a positive yaw turns +x towards -z, a positive pitch +y towards +z, a
    // positive roll +x towards +y.
    D3DXMatrixRotationYawPitchRoll(&m, quarter, 0, 0);
    D3DVECTOR4 v = Transform({1, 0, 0, 0}, m);
    EXPECT_NEAR(-1.0f, v.z, kTolerance);
    D3DXMatrixRotationYawPitchRoll(&m, 0, quarter, 0);
    v = Transform({0, 1, 0, 0}, m);
    EXPECT_NEAR(1.0f, v.z, kTolerance);
    D3DXMatrixRotationYawPitchRoll(&m, 0, 0, quarter);
    v = Transform({1, 0, 0, 0}, m);
    EXPECT_NEAR(1.0f, v.y, kTolerance);

    // All three: roll first. +x rolls to +y, pitches to +z, yaws to +x.
    D3DXMatrixRotationYawPitchRoll(&m, quarter, quarter, quarter);
    v = Transform({1, 0, 0, 0}, m);
    EXPECT_NEAR(1.0f, v.x, kTolerance);
    EXPECT_NEAR(0.0f, v.y, kTolerance);
    EXPECT_NEAR(0.0f, v.z, kTolerance);
    // +z: roll leaves it, pitch takes it to -y, yaw leaves -y.
    v = Transform({0, 0, 1, 0}, m);
    EXPECT_NEAR(-1.0f, v.y, kTolerance);

    // General angles: the product of the three elementary rotations, worked out in double.
    const double yaw = 0.3, pitch = -1.1, roll = 2.0;
    D3DXMatrixRotationYawPitchRoll(&m, static_cast<float>(yaw), static_cast<float>(pitch),
                                   static_cast<float>(roll));
    const double sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch),
                 sr = std::sin(roll), cr = std::cos(roll);
    const double rz[3][3] = {{cr, sr, 0}, {-sr, cr, 0}, {0, 0, 1}};
    const double rx[3][3] = {{1, 0, 0}, {0, cp, sp}, {0, -sp, cp}};
    const double ry[3][3] = {{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) {
                    sum += rz[r][i] * rx[i][j] * ry[j][c];
                }
            }
            EXPECT_NEAR(sum, m.m[r][c], 1e-6) << "m[" << r << "][" << c << "]";
        }
        EXPECT_EQ(0.0f, m.m[r][3]);
        EXPECT_EQ(0.0f, m.m[3][r]);
    }
    EXPECT_EQ(1.0f, m.m[3][3]);
}

TEST(D3DMathTest, BoundingBoxWalksStridedPositions) {
    // Positions at the start of 32-byte vertices, as the jewel buffers hold them.
    float vertices[3][8] = {
        {1, -2, 3, 9, 9, 9, 9, 9}, {-4, 5, 0.5f, -9, -9, -9, -9, -9}, {2, 0, -6, 0, 0, 0, 0, 0}};
    D3DVECTOR3 lo{}, hi{};
    ASSERT_EQ(S_OK, D3DXComputeBoundingBox(reinterpret_cast<const D3DVECTOR3*>(vertices), 3,
                                           sizeof vertices[0], &lo, &hi));
    EXPECT_EQ(-4.0f, lo.x);
    EXPECT_EQ(-2.0f, lo.y);
    EXPECT_EQ(-6.0f, lo.z);
    EXPECT_EQ(2.0f, hi.x);
    EXPECT_EQ(5.0f, hi.y);
    EXPECT_EQ(3.0f, hi.z);
    EXPECT_EQ(
        D3DERR_INVALIDCALL,
        D3DXComputeBoundingBox(reinterpret_cast<const D3DVECTOR3*>(vertices), 0, 32, &lo, &hi));
}

}  // namespace
