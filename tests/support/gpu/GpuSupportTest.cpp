// The picture comparison and colour arithmetic that every drawing test relies on.

#include <gtest/gtest.h>

#include "tests/support/gpu/Image.h"

namespace tovel_test {
namespace {

TEST(ImageTest, ImagesAreNearWithinTheToleranceOfEveryChannelAndChannelsPackInSteps) {
    const Image a = RandomImage(4, 3, 7);
    Image b = a;
    b.pixels[5] ^= 0x02000000u;  // alpha two steps off at (1, 1)
    EXPECT_TRUE(ImagesNear(a, b, 2));
    EXPECT_FALSE(ImagesNear(a, b, 1));
    EXPECT_FALSE(ImagesNear(a, RandomImage(3, 4, 7), 255)) << "sizes differ";
    EXPECT_EQ(0xFF8000FFu, Pack(1.0f, 0.5f, -1.0f, 2.0f));
    EXPECT_EQ(std::pair(128.0f / 255.0f, 1.0f),
              std::pair(Channel(0xFF8000FFu, 2), Channel(0xFF8000FFu, 3)));
}

}  // namespace
}  // namespace tovel_test
