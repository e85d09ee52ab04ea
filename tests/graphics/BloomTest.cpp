// The bloom steps drawn with the program's effect and compared with the processor's reckoning;
// the kernel tables; the saved render target.

#include "graphics/Bloom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "tests/support/gpu/GraphicsFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

template <typename PixelAt>
Image ImageOf(std::uint32_t width, std::uint32_t height, PixelAt pixelAt) {
    Image image{width, height, std::vector<D3DCOLOR>(width * height)};
    for (std::uint32_t i = 0; i < width * height; ++i) {
        image.pixels[i] = pixelAt(i % width, i / width);
    }
    return image;
}

// Random colours with their channels masked small, so sums of them rarely clamp.
Image DimImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed,
               D3DCOLOR mask = 0x3F3F3F3F) {
    Image image = RandomImage(width, height, seed);
    for (D3DCOLOR& p : image.pixels) {
        p &= mask;
    }
    return image;
}

class BloomTest : public GraphicsTest {
protected:
    // A render-target texture filled with one colour, and its surface.
    IGraphicsTexture* Filled(std::uint32_t width, std::uint32_t height, D3DCOLOR colour,
                             IGraphicsSurface** surface) {
        IGraphicsTexture* texture = nullptr;
        *surface = MakeTarget(width, height, &texture);
        EXPECT_EQ(S_OK, m_device->ColorFill(*surface, nullptr, colour));
        return texture;
    }
    std::uint32_t State(D3DRENDERSTATETYPE state) {
        std::uint32_t value = 7;
        m_device->GetRenderState(state, &value);
        return value;
    }
};

TEST_F(BloomTest, BrightPassLightsEveryTexelWithAlphaAndKeepsTheFrame) {
    constexpr std::uint32_t kW = 16, kH = 12;
    constexpr D3DCOLOR kFrame = D3DCOLOR_ARGB(0x80, 0x40, 0x20, 0x10);
    // One colour per target pixel, as 8x8 blocks of the scene, so linear minification samples it
    // exactly; alphas 0, the smallest RGBA8 step (far above the 1/150000 threshold), and any.
    const Image random = RandomImage(kW, kH, 11);
    const Image blocks = ImageOf(kW, kH, [&](std::uint32_t x, std::uint32_t y) {
        const D3DCOLOR p = random.At(x, y), i = y * kW + x;
        return (p & 0x00FFFFFF) | (i % 3 == 0 ? 0 : i % 3 == 1 ? 1 : p >> 24) << 24;
    });
    IGraphicsSurface* surface = nullptr;
    IGraphicsTexture* bright = Filled(kW, kH, kFrame, &surface);
    ApplyBrightPass(*m_graphics, bright, MakeTexture(ImageOf(8 * kW, 8 * kH, [&](auto x, auto y) {
        return blocks.At(x / 8, y / 8);
    })));
    const Image expected = ImageOf(kW, kH, [&](std::uint32_t x, std::uint32_t y) {
        const D3DCOLOR t = blocks.At(x, y);
        if (x == 0 || y == 0 || x == kW - 1 || y == kH - 1) {
            return kFrame;
        }
        return t >> 24 == 0 ? 0
                            : Pack(1.5f * Channel(t, 3), 1.5f * Channel(t, 2), 1.5f * Channel(t, 1),
                                   1.5f * Channel(t, 0));
    });
    EXPECT_TRUE(ImagesNear(expected, Read(surface), 1));
    EXPECT_EQ(0u, State(D3DRS_SCISSORTESTENABLE));
}

// The blur adds onto the target the convolution of a source of the target's size, as the
// program's glows do: each tap filtered bilinearly with clamped addressing. The streak's taps
// sit on texel centres, the star's between texels.
TEST_F(BloomTest, BlurAddsTheConvolutionWithTheKernelOntoTheTarget) {
    constexpr std::uint32_t kW = 40, kH = 30;
    constexpr D3DCOLOR kHeld = D3DCOLOR_ARGB(0x10, 0x20, 0x08, 0x18);
    const Image source = DimImage(kW, kH, 5, 0x7F7F7F7F);
    auto at = [&](long tx, long ty, int c) {
        return Channel(source.At(static_cast<std::uint32_t>(std::clamp(tx, 0L, long{kW} - 1)),
                                 static_cast<std::uint32_t>(std::clamp(ty, 0L, long{kH} - 1))),
                       c);
    };
    BloomKernel streak, star;
    BuildStreakKernel(streak, kH, 7.0f, 0.75f);
    BuildStarKernel(star, kW, kH, 0.3f, 1.0f, 12.0f, 2.0f);
    IGraphicsTexture* sourceTexture = MakeTexture(source);
    for (const BloomKernel* kernel : {&streak, &star}) {
        IGraphicsSurface* glowSurface = nullptr;
        ApplyBlur(*m_graphics, Filled(kW, kH, kHeld, &glowSurface), sourceTexture, *kernel);
        const Image expected = ImageOf(kW, kH, [&](std::uint32_t x, std::uint32_t y) {
            double sum[4];
            for (int c = 0; c < 4; ++c) {
                sum[c] = Channel(kHeld, c);
            }
            for (const D3DVECTOR4& tap : *kernel) {
                const double tx = ((x + 0.5) / kW + tap.x) * kW - 0.5;
                const double ty = ((y + 0.5) / kH + tap.y) * kH - 0.5;
                const long x0 = std::lround(std::floor(tx)), y0 = std::lround(std::floor(ty));
                const double fx = tx - x0, fy = ty - y0;
                for (int c = 0; c < 4; ++c) {
                    const double top = (1 - fx) * at(x0, y0, c) + fx * at(x0 + 1, y0, c);
                    const double bottom = (1 - fx) * at(x0, y0 + 1, c) + fx * at(x0 + 1, y0 + 1, c);
                    sum[c] += ((1 - fy) * top + fy * bottom) * tap.z;
                }
            }
            return Pack(static_cast<float>(sum[3]), static_cast<float>(sum[2]),
                        static_cast<float>(sum[1]), static_cast<float>(sum[0]));
        });
        EXPECT_TRUE(ImagesNear(expected, Read(glowSurface), 1))
            << (kernel == &star ? "star" : "streak");
    }
}

// The merge adds scene, glow and the scene's brightness in alpha onto the current target, leaves
// depth testing on; a region limits it to the pixels under it, with a
// pixel to spare, and keeps the caller's scissor; an empty region draws nothing.
TEST_F(BloomTest, MergeAddsSceneGlowAndBrightnessInAlphaOntoTheCurrentTarget) {
    constexpr std::uint32_t kW = 32, kH = 24;
    constexpr float kFactor = 0.75f;
    const Image scene = DimImage(kW, kH, 21), glow = DimImage(kW, kH, 22);
    IGraphicsTexture* sceneTexture = MakeTexture(scene);
    IGraphicsTexture* glowTexture = MakeTexture(glow);
    IGraphicsSurface *target = nullptr, *limited = nullptr;
    Filled(kW, kH, 0, &target);
    Filled(kW, kH, 0, &limited);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    // A depth buffer at 0 would reject the quad if the merge left depth testing on.
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0));
    auto merged = [&](const Image& held) {
        return ImageOf(kW, kH, [&](std::uint32_t x, std::uint32_t y) {
            const D3DCOLOR a = scene.At(x, y), b = glow.At(x, y), h = held.At(x, y);
            auto sum = [&](int c) { return Channel(h, c) + Channel(a, c) + Channel(b, c); };
            const float brightness = Channel(a, 0) + Channel(a, 1) + Channel(a, 2);
            return Pack(sum(3) + kFactor * brightness, sum(2), sum(1), sum(0));
        });
    };
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor);
    const Image once = Read(target);
    EXPECT_TRUE(ImagesNear(merged(Image{kW, kH, std::vector<D3DCOLOR>(kW * kH)}), once, 1));
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor);
    EXPECT_TRUE(ImagesNear(merged(once), Read(target), 1));
    EXPECT_EQ(1u, State(D3DRS_ZENABLE));
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, limited));
    const RECT held = {1, 2, 3, 4};
    m_device->SetScissorRect(&held);
    const TextureRegion none{0.5f, 0.5f, 0.5f, 0.5f}, left{0.0f, 0.0f, 0.25f, 1.0f};
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor, &none);
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor, &left);
    const Image image = Read(limited);
    for (std::uint32_t y = 0; y < kH; ++y) {
        for (std::uint32_t x = 0; x < kW; ++x) {
            // Pixel centres up to 7.5 are covered, and the rounding adds a pixel on each side.
            EXPECT_EQ(x < 10 ? once.At(x, y) : 0u, image.At(x, y)) << x << ", " << y;
        }
    }
    RECT scissor{};
    m_device->GetScissorRect(&scissor);
    EXPECT_EQ(std::tuple(1, 2, 3, 4, 0u),
              std::tuple(scissor.left, scissor.top, scissor.right, scissor.bottom,
                         State(D3DRS_SCISSORTESTENABLE)));
}

// Both tables are Gaussian weights over a sum that the normaliser scales; the star's centre
// counts once and each mirrored pair of its three lines of five taps once.
TEST(BloomKernelTest, StarAndStreakTablesHoldTheirTapsExactly) {
    constexpr int kW = 40, kH = 30;
    BloomKernel star, streak, expectedStar{}, expectedStreak{};
    BuildStarKernel(star, kW, kH, 0.3f, 2.0f, 10.0f, 1.5f);
    BuildStreakKernel(streak, 24, 7.0f, 0.75f);
    expectedStar[0] = {0.0f, 0.0f, 1.0f, 0.0f};
    float starSum = 0.0f, streakSum = 0.0f, theta = 0.3f;
    for (int line = 0; line < 3; ++line, theta += 1.0471976f) {
        const float dx = std::cos(theta) * 2.0f / kW, dy = std::sin(theta) * 2.0f / kH;
        for (int i = 1; i <= 5; ++i) {
            const float w = std::exp(-static_cast<float>(i * i) / 20.0f);
            expectedStar[10 * line + i] = {i * dx, i * dy, w, 0.0f};
            expectedStar[10 * line + i + 5] = {-(i * dx), -(i * dy), w, 0.0f};
            starSum += w;
        }
    }
    // The streak reaches thirty texels downwards.
    for (int i = 0; i < 31; ++i) {
        expectedStreak[i] = {0.0f, i * (1.0f / 24), std::exp(-static_cast<float>(i * i) / 14.0f),
                             0.0f};
        streakSum += expectedStreak[i].z;
    }
    for (std::size_t k = 0; k < kBloomKernelTaps; ++k) {
        for (const auto& [table, e, n] :
             {std::tuple(&star, expectedStar[k], starSum * 1.5f),
              std::tuple(&streak, expectedStreak[k], streakSum * 0.75f)}) {
            const D3DVECTOR4& t = (*table)[k];
            EXPECT_EQ(std::tuple(e.x, e.y, e.z / n, 0.0f), std::tuple(t.x, t.y, t.z, t.w)) << k;
        }
    }
}

TEST_F(BloomTest, RestoreBringsTheSavedTargetBackAndDropsItsReference) {
    auto references = [](RefCounted* object) {
        object->AddRef();
        return object->Release();
    };
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &back));
    m_owned.push_back(back);
    const std::uint32_t held = references(back);
    SaveRenderTarget(*m_graphics);
    // Saving again before a restore replaces the reference instead of leaking one.
    SaveRenderTarget(*m_graphics);
    EXPECT_EQ(held + 1, references(back));
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, MakeTarget(16, 16)));
    RestoreRenderTarget(*m_graphics);
    IGraphicsSurface* current = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    current->Release();
    EXPECT_EQ(std::tuple(back, nullptr, held),
              std::tuple(current, m_graphics->m_savedRenderTarget, references(back)));
}

}  // namespace
}  // namespace tovel_test
