// The D3DX matrix builders against values worked out by hand from their definitions.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "platform/graphics/D3DMath.h"

namespace {

using namespace platform;

::testing::AssertionResult MatricesNear(const D3DMATRIX& expected, const D3DMATRIX& actual,
                                        double tolerance = 1e-6) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (std::fabs(expected.m[r][c] - actual.m[r][c]) > tolerance) {
                return ::testing::AssertionFailure()
                       << "m[" << r << "][" << c << "] = " << actual.m[r][c] << ", expected "
                       << expected.m[r][c];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(D3DMathTest, CameraAndProjections) {
    // Eye (0, 5, -10) looking at the origin: z = (0, -1, 2) / sqrt 5, x = (1, 0, 0),
    // y = z cross x = (0, 2, 1) / sqrt 5, translation -(x.eye, y.eye, z.eye) = (0, 0, 5 sqrt 5).
    const D3DVECTOR3 eye = {0, 5, -10}, at = {0, 0, 0}, up = {0, 1, 0};
    D3DMATRIX m;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    const float a = 1.0f / std::sqrt(5.0f), b = 2.0f / std::sqrt(5.0f);
    EXPECT_TRUE(MatricesNear(
        {{{1, 0, 0, 0}, {0, b, -a, 0}, {0, a, b, 0}, {0, 0, 5 * std::sqrt(5.0f), 1}}}, m));

    // Depth 0 at the near plane and 1 at the far plane after the divide.
    D3DXMatrixPerspectiveFovLH(&m, std::numbers::pi_v<float> / 3, 4.0f / 3.0f, 1.0f, 10.0f);
    const float y = std::sqrt(3.0f);  // cot(pi/6)
    EXPECT_TRUE(MatricesNear(
        {{{y * 0.75f, 0, 0, 0}, {0, y, 0, 0}, {0, 0, 10.0f / 9.0f, 1}, {0, 0, -10.0f / 9.0f, 0}}},
        m));
    // A near plane of 0 (the screen saver's camera) keeps every depth at 1.
    D3DXMatrixPerspectiveFovLH(&m, std::numbers::pi_v<float> / 3, 1.0f, 0.0f, 10.0f);
    EXPECT_EQ(1.0f, m.m[2][2]);
    EXPECT_EQ(0.0f, m.m[3][2]);

    D3DXMatrixOrthoLH(&m, 4.0f, 2.0f, 1.0f, 11.0f);
    EXPECT_TRUE(
        MatricesNear({{{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -0.1f, 1}}}, m));
}

TEST(D3DMathTest, MultiplyComposesFromTheLeftAndMayAlias) {
    D3DMATRIX scale, move, product;
    D3DXMatrixScaling(&scale, 2.0f, 3.0f, 4.0f);
    D3DXMatrixIdentity(&move);
    move.m[3][0] = 1.0f;
    move.m[3][1] = -2.0f;
    move.m[3][2] = 0.5f;
    // Scale, then move.
    D3DXMatrixMultiply(&product, &scale, &move);
    EXPECT_TRUE(
        MatricesNear({{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, -2, 0.5f, 1}}}, product));
    D3DXMatrixMultiply(&move, &move, &scale);
    EXPECT_TRUE(MatricesNear({{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {2, -6, 2, 1}}}, move));
}

// Roll first, then pitch, then yaw: the product of the three elementary left-handed rotations.
TEST(D3DMathTest, YawPitchRollRollsThenPitchesThenYaws) {
    const double yaw = 0.3, pitch = -1.1, roll = 2.0;
    D3DMATRIX m;
    D3DXMatrixRotationYawPitchRoll(&m, static_cast<float>(yaw), static_cast<float>(pitch),
                                   static_cast<float>(roll));
    const double sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch),
                 sr = std::sin(roll), cr = std::cos(roll);
    const double rz[3][3] = {{cr, sr, 0}, {-sr, cr, 0}, {0, 0, 1}};
    const double rx[3][3] = {{1, 0, 0}, {0, cp, sp}, {0, -sp, cp}};
    const double ry[3][3] = {{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}};
    D3DMATRIX expected{};
    expected.m[3][3] = 1.0f;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) {
                    sum += rz[r][i] * rx[i][j] * ry[j][c];
                }
            }
            expected.m[r][c] = static_cast<float>(sum);
        }
    }
    EXPECT_TRUE(MatricesNear(expected, m));
}

TEST(D3DMathTest, BoundingBoxWalksStridedPositions) {
    // Positions at the start of 32-byte vertices, as the jewel buffers hold them.
    float vertices[3][8] = {
        {1, -2, 3, 9, 9, 9, 9, 9}, {-4, 5, 0.5f, -9, -9, -9, -9, -9}, {2, 0, -6, 0, 0, 0, 0, 0}};
    const auto* first = reinterpret_cast<const D3DVECTOR3*>(vertices);
    D3DVECTOR3 lo{}, hi{};
    ASSERT_EQ(S_OK, D3DXComputeBoundingBox(first, 3, sizeof vertices[0], &lo, &hi));
    EXPECT_EQ(std::tuple(-4.0f, -2.0f, -6.0f, 2.0f, 5.0f, 3.0f),
              std::tuple(lo.x, lo.y, lo.z, hi.x, hi.y, hi.z));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXComputeBoundingBox(first, 0, 32, &lo, &hi));
}

}  // namespace
