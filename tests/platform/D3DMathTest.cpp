// The D3DX matrix builders against values worked out by hand from their definitions.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/D3DMath.h"

namespace {

using namespace platform;

::testing::AssertionResult MatricesNear(const D3DMATRIX& expected, const D3DMATRIX& actual) {
    for (int i = 0; i < 16; ++i) {
        if (std::fabs(expected.m[i / 4][i % 4] - actual.m[i / 4][i % 4]) > 1e-6) {
            return ::testing::AssertionFailure()
                   << "m[" << i / 4 << "][" << i % 4 << "] = " << actual.m[i / 4][i % 4]
                   << ", expected " << expected.m[i / 4][i % 4];
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
    EXPECT_EQ(std::pair(1.0f, 0.0f), std::pair(m.m[2][2], m.m[3][2]));
    D3DXMatrixOrthoLH(&m, 4.0f, 2.0f, 1.0f, 11.0f);
    EXPECT_TRUE(
        MatricesNear({{{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -0.1f, 1}}}, m));
}

// Scale, then move; the product may be written over an operand.
TEST(D3DMathTest, MultiplyComposesFromTheLeftAndMayAlias) {
    D3DMATRIX scale, product;
    D3DXMatrixScaling(&scale, 2.0f, 3.0f, 4.0f);
    D3DMATRIX move = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, -2, 0.5f, 1}}};
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
    const float sy = std::sin(yaw), cy = std::cos(yaw), sp = std::sin(pitch), cp = std::cos(pitch),
                sr = std::sin(roll), cr = std::cos(roll);
    const D3DMATRIX rz = {{{cr, sr, 0, 0}, {-sr, cr, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const D3DMATRIX rx = {{{1, 0, 0, 0}, {0, cp, sp, 0}, {0, -sp, cp, 0}, {0, 0, 0, 1}}};
    const D3DMATRIX ry = {{{cy, 0, -sy, 0}, {0, 1, 0, 0}, {sy, 0, cy, 0}, {0, 0, 0, 1}}};
    D3DMATRIX expected;
    D3DXMatrixMultiply(&expected, &rz, &rx);
    D3DXMatrixMultiply(&expected, &expected, &ry);
    EXPECT_TRUE(MatricesNear(expected, m));
}

}  // namespace
