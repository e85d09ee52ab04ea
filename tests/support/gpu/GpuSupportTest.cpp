// The picture comparison and the device fixture that every drawing test relies on.

#include <gtest/gtest.h>

#include "tests/support/gpu/DeviceFixture.h"
#include "tests/support/gpu/Image.h"

namespace tovel_test {
namespace {

using namespace platform;

TEST(ImageTest, ImagesAreNearWithinTheToleranceOfEveryChannel) {
    const Image a = RandomImage(4, 3, 7);
    Image b = a;
    EXPECT_TRUE(ImagesNear(a, b, 0));
    b.pixels[5] ^= 0x02000000u;  // alpha two steps off at (1, 1)
    EXPECT_TRUE(ImagesNear(a, b, 2));
    const ::testing::AssertionResult off = ImagesNear(a, b, 1);
    EXPECT_FALSE(off);
    EXPECT_NE(std::string(off.message()).find("1 pixels differ by more than 1: (1,1)"),
              std::string::npos)
        << off.message();
    EXPECT_FALSE(ImagesNear(a, RandomImage(3, 4, 7), 255)) << "sizes differ";
}

TEST(ImageTest, ChannelsPackAndUnpackInSteps) {
    EXPECT_EQ(0xFF8000FFu, Pack(1.0f, 0.5f, -1.0f, 2.0f));
    EXPECT_FLOAT_EQ(128.0f / 255.0f, Channel(0xFF8000FFu, 2));
    EXPECT_EQ(1.0f, Channel(0xFF8000FFu, 3));
    EXPECT_TRUE(LoadPng("/nonexistent.png").pixels.empty());
}

// A quad covers exactly the pixels it names, on a target that reads back as drawn.
TEST_F(GlDeviceTest, AQuadCoversExactlyItsPixels) {
    IGraphicsSurface* target = MakeTarget(16, 12);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0));
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    ASSERT_EQ(S_OK, m_device->BeginScene());
    DrawQuad(3, 4, 9, 10, 0xFFFFFFFFu);
    ASSERT_EQ(S_OK, m_device->EndScene());
    Image expected{16, 12, std::vector<D3DCOLOR>(16 * 12, 0xFF000000u)};
    for (std::uint32_t y = 4; y < 10; ++y) {
        for (std::uint32_t x = 3; x < 9; ++x) {
            expected.pixels[y * 16 + x] = 0xFFFFFFFFu;
        }
    }
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));
}

}  // namespace
}  // namespace tovel_test
