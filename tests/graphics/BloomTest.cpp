// The bloom steps drawn with the program's effect and compared with the processor's reckoning;
// the kernel tables; the saved render target.

#include "graphics/Bloom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

#include "tests/support/gpu/GraphicsFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

std::uint32_t References(RefCounted* object) {
    object->AddRef();
    return object->Release();
}

template <typename PixelAt>
Image ImageOf(std::uint32_t width, std::uint32_t height, PixelAt pixelAt) {
    Image image{width, height, std::vector<D3DCOLOR>(width * height)};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            image.pixels[y * width + x] = pixelAt(x, y);
        }
    }
    return image;
}

// Random colours with their channels masked small, so sums of them rarely clamp.
Image DimImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed, D3DCOLOR mask) {
    Image image = RandomImage(width, height, seed);
    for (D3DCOLOR& p : image.pixels) {
        p &= mask;
    }
    return image;
}

class BloomTest : public GraphicsTest {
protected:
    // A render-target texture filled with one colour.
    IGraphicsTexture* FilledTarget(std::uint32_t width, std::uint32_t height, D3DCOLOR colour,
                                   IGraphicsSurface** surface) {
        IGraphicsTexture* texture = nullptr;
        *surface = MakeTarget(width, height, &texture);
        EXPECT_EQ(S_OK, m_device->ColorFill(*surface, nullptr, colour));
        return texture;
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
    IGraphicsTexture* bright = FilledTarget(kW, kH, kFrame, &surface);
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
    std::uint32_t scissor = 1;
    m_device->GetRenderState(D3DRS_SCISSORTESTENABLE, &scissor);
    EXPECT_EQ(0u, scissor);
}

// Pixel (x, y) of a width x height target blurred from `source` and added onto `onto`: each tap
// filtered bilinearly with clamped addressing.
D3DCOLOR BlurredPixel(const Image& source, const BloomKernel& kernel, std::uint32_t width,
                      std::uint32_t height, std::uint32_t x, std::uint32_t y, D3DCOLOR onto) {
    auto at = [&](long tx, long ty, int c) {
        tx = std::clamp(tx, 0L, static_cast<long>(source.width) - 1);
        ty = std::clamp(ty, 0L, static_cast<long>(source.height) - 1);
        return Channel(source.At(static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty)),
                       c);
    };
    double sum[4] = {Channel(onto, 0), Channel(onto, 1), Channel(onto, 2), Channel(onto, 3)};
    for (const D3DVECTOR4& tap : kernel) {
        const double tx = ((x + 0.5) / width + tap.x) * source.width - 0.5;
        const double ty = ((y + 0.5) / height + tap.y) * source.height - 0.5;
        const long x0 = static_cast<long>(std::floor(tx)), y0 = static_cast<long>(std::floor(ty));
        const double fx = tx - x0, fy = ty - y0;
        for (int c = 0; c < 4; ++c) {
            const double top = (1 - fx) * at(x0, y0, c) + fx * at(x0 + 1, y0, c);
            const double bottom = (1 - fx) * at(x0, y0 + 1, c) + fx * at(x0 + 1, y0 + 1, c);
            sum[c] += ((1 - fy) * top + fy * bottom) * tap.z;
        }
    }
    return Pack(static_cast<float>(sum[3]), static_cast<float>(sum[2]), static_cast<float>(sum[1]),
                static_cast<float>(sum[0]));
}

// The blur reads a source of the target's size, as the program's glows do: the streak's taps sit
// on texel centres, the star's between texels, where both are filtered bilinearly.
TEST_F(BloomTest, BlurAddsTheConvolutionWithTheKernelOntoTheTarget) {
    constexpr std::uint32_t kW = 40, kH = 30;
    constexpr D3DCOLOR kHeld = D3DCOLOR_ARGB(0x10, 0x20, 0x08, 0x18);
    const Image source = DimImage(kW, kH, 5, 0x7F7F7F7F);
    BloomKernel streak, star;
    BuildStreakKernel(streak, kH, 7.0f, 0.75f);
    BuildStarKernel(star, kW, kH, 0.3f, 1.0f, 12.0f, 2.0f);

    IGraphicsTexture* sourceTexture = MakeTexture(source);
    for (const auto& [name, kernel] : {std::pair("streak", &streak), std::pair("star", &star)}) {
        IGraphicsSurface* glowSurface = nullptr;
        IGraphicsTexture* glow = FilledTarget(kW, kH, kHeld, &glowSurface);
        ApplyBlur(*m_graphics, glow, sourceTexture, *kernel);
        const Image expected = ImageOf(kW, kH, [&](std::uint32_t x, std::uint32_t y) {
            return BlurredPixel(source, *kernel, kW, kH, x, y, kHeld);
        });
        EXPECT_TRUE(ImagesNear(expected, Read(glowSurface), 1)) << name;
    }
}

TEST_F(BloomTest, MergeAddsSceneGlowAndBrightnessInAlphaOntoTheCurrentTarget) {
    constexpr std::uint32_t kW = 32, kH = 24;
    constexpr float kFactor = 0.75f;
    const Image scene = DimImage(kW, kH, 21, 0x3F3F3F3F);
    const Image glow = DimImage(kW, kH, 22, 0x3F3F3F3F);
    IGraphicsTexture* sceneTexture = MakeTexture(scene);
    IGraphicsTexture* glowTexture = MakeTexture(glow);
    IGraphicsSurface* target = nullptr;
    FilledTarget(kW, kH, 0, &target);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    // A depth buffer at 0 would reject the quad if the merge left depth testing on.
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0));

    auto merged = [&](const Image& held) {
        Image expected = held;
        for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
            const D3DCOLOR a = scene.pixels[i], b = glow.pixels[i], h = held.pixels[i];
            auto sum = [&](int c) { return Channel(h, c) + Channel(a, c) + Channel(b, c); };
            const float brightness = Channel(a, 0) + Channel(a, 1) + Channel(a, 2);
            expected.pixels[i] = Pack(sum(3) + kFactor * brightness, sum(2), sum(1), sum(0));
        }
        return expected;
    };
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor);
    const Image once = Read(target);
    EXPECT_TRUE(ImagesNear(merged(Image{kW, kH, std::vector<D3DCOLOR>(kW * kH)}), once, 1));
    MergeRenderTargets(*m_graphics, sceneTexture, glowTexture, kFactor);
    EXPECT_TRUE(ImagesNear(merged(once), Read(target), 1));

    // Both stages are left empty and depth testing is on again for the next drawing.
    for (std::uint32_t stage : {0u, 1u}) {
        IGraphicsTexture* bound = nullptr;
        m_device->GetTexture(stage, &bound);
        EXPECT_EQ(nullptr, bound) << "stage " << stage;
    }
    std::uint32_t depth = 0;
    m_device->GetRenderState(D3DRS_ZENABLE, &depth);
    EXPECT_EQ(1u, depth);
}

// A region limits the merge to the pixels under it, with a pixel to spare; none draws nothing.
TEST_F(BloomTest, AMergeWithARegionDrawsOnlyThePixelsItCovers) {
    constexpr std::uint32_t kW = 32, kH = 8;
    IGraphicsTexture* scene = MakeTexture(DimImage(kW, kH, 23, 0x3F3F3F3F));
    IGraphicsTexture* glow = MakeTexture(DimImage(kW, kH, 24, 0x3F3F3F3F));
    IGraphicsSurface *whole = nullptr, *limited = nullptr;
    FilledTarget(kW, kH, 0, &whole);
    FilledTarget(kW, kH, 0, &limited);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, whole));
    MergeRenderTargets(*m_graphics, scene, glow, 1.0f);
    const Image expected = Read(whole);

    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, limited));
    const RECT held = {1, 2, 3, 4};
    m_device->SetScissorRect(&held);
    const TextureRegion none{0.5f, 0.5f, 0.5f, 0.5f}, left{0.0f, 0.0f, 0.25f, 1.0f};
    MergeRenderTargets(*m_graphics, scene, glow, 1.0f, &none);
    MergeRenderTargets(*m_graphics, scene, glow, 1.0f, &left);
    const Image image = Read(limited);
    for (std::uint32_t y = 0; y < kH; ++y) {
        for (std::uint32_t x = 0; x < kW; ++x) {
            // Pixel centres up to 7.5 are covered, and the rounding adds a pixel on each side.
            EXPECT_EQ(x < 10 ? expected.At(x, y) : 0u, image.At(x, y)) << x << ", " << y;
        }
    }
    RECT scissor{};
    std::uint32_t enabled = 1;
    m_device->GetScissorRect(&scissor);
    m_device->GetRenderState(D3DRS_SCISSORTESTENABLE, &enabled);
    EXPECT_EQ(std::tuple(1, 2, 3, 4, 0u),
              std::tuple(scissor.left, scissor.top, scissor.right, scissor.bottom, enabled));
}

void ExpectTable(const BloomKernel& expected, const BloomKernel& table) {
    for (std::size_t k = 0; k < kBloomKernelTaps; ++k) {
        const D3DVECTOR4 &e = expected[k], &t = table[k];
        EXPECT_EQ(std::tuple(e.x, e.y, e.z, 0.0f), std::tuple(t.x, t.y, t.z, t.w)) << k;
    }
}

// Both tables are Gaussian weights over a sum that the normaliser scales; the star's centre
// counts once and each mirrored pair of its three lines of five taps once.
TEST(BloomKernelTest, StarAndStreakTablesHoldTheirTapsExactly) {
    constexpr int kW = 40, kH = 30;
    BloomKernel table, expected;
    BuildStarKernel(table, kW, kH, 0.3f, 2.0f, 10.0f, 1.5f);
    expected[0] = {0.0f, 0.0f, 1.0f, 0.0f};
    float sum = 0.0f, theta = 0.3f;
    for (int line = 0; line < 3; ++line, theta += 1.0471976f) {
        const float dx = std::cos(theta) * 2.0f / kW, dy = std::sin(theta) * 2.0f / kH;
        for (int i = 1; i <= 5; ++i) {
            const float w = std::exp(-static_cast<float>(i * i) / 20.0f);
            expected[10 * line + i] = {i * dx, i * dy, w, 0.0f};
            expected[10 * line + i + 5] = {-(i * dx), -(i * dy), w, 0.0f};
            sum += w;
        }
    }
    for (D3DVECTOR4& tap : expected) {
        tap.z /= sum * 1.5f;
    }
    ExpectTable(expected, table);
    // The second line is a sixth of a turn on from the first, measured in texels.
    EXPECT_NEAR(0.3 + std::numbers::pi / 3, std::atan2(table[11].y * kH, table[11].x * kW), 1e-6);

    // The streak reaches thirty texels downwards.
    BuildStreakKernel(table, 24, 7.0f, 0.75f);
    sum = 0.0f;
    for (int i = 0; i < 31; ++i) {
        expected[i] = {0.0f, i * (1.0f / 24), std::exp(-static_cast<float>(i * i) / 14.0f), 0.0f};
        sum += expected[i].z;
    }
    for (D3DVECTOR4& tap : expected) {
        tap.z /= sum * 0.75f;
    }
    ExpectTable(expected, table);
}

TEST_F(BloomTest, RestoreBringsTheSavedTargetBackAndDropsItsReference) {
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &back));
    m_owned.push_back(back);
    const std::uint32_t held = References(back);

    SaveRenderTarget(*m_graphics);
    EXPECT_EQ(back, m_graphics->m_savedRenderTarget);
    // Saving again before a restore replaces the reference instead of leaking one.
    SaveRenderTarget(*m_graphics);
    EXPECT_EQ(held + 1, References(back));
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, MakeTarget(16, 16)));
    RestoreRenderTarget(*m_graphics);
    IGraphicsSurface* current = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    current->Release();
    EXPECT_EQ(back, current);
    EXPECT_EQ(nullptr, m_graphics->m_savedRenderTarget);
    EXPECT_EQ(held, References(back));

    // A target the device refuses stays held rather than being released unused.
    IGraphicsSurface* refused = nullptr;
    ASSERT_EQ(S_OK, MakeTexture(RandomImage(4, 4, 1))->GetSurfaceLevel(0, &refused));
    m_graphics->m_savedRenderTarget = refused;
    RestoreRenderTarget(*m_graphics);
    EXPECT_EQ(refused, m_graphics->m_savedRenderTarget);
    m_owned.push_back(refused);
    m_graphics->m_savedRenderTarget = nullptr;
}

}  // namespace
}  // namespace tovel_test
