// A frame drawn through the whole glow chain and presented, checked on the PNG that the device
// writes of the presented picture (TOVEL_SNAPSHOT).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "graphics/Bloom.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

constexpr int kSnapshotFrame = 3;

class SnapshotTest : public GraphicsTest {
protected:
    // The device reads the variables when it is created, so they only need to last until then.
    void SetUp() override {
        m_path = "/tmp/tovel-snapshot-" + std::to_string(getpid()) + ".png";
        ScopedEnvironment snapshot("TOVEL_SNAPSHOT", m_path.c_str());
        ScopedEnvironment frame("TOVEL_SNAPSHOT_FRAME", std::to_string(kSnapshotFrame).c_str());
        GraphicsTest::SetUp();
    }
    void TearDown() override {
        GraphicsTest::TearDown();
        std::filesystem::remove(m_path);
    }

    Image LoadSnapshot() {
        Image image = LoadPng(m_path);
        EXPECT_NE(0u, image.width) << m_path << " could not be read";
        return image;
    }

    std::string m_path;
};

// The picture's colour without the alpha that the window does not show, and its red.
D3DCOLOR Rgb(D3DCOLOR colour) {
    return colour & 0x00FFFFFF;
}
std::uint32_t Red(D3DCOLOR colour) {
    return colour >> 16 & 0xFF;
}

TEST_F(SnapshotTest, APresentedFrameShowsTheGlowAroundWhatHasAlphaOnly) {
    constexpr D3DCOLOR kSpot = D3DCOLOR_ARGB(0xFF, 0xFF, 0x80, 0x40);
    constexpr D3DCOLOR kUnlit = D3DCOLOR_ARGB(0x00, 0x40, 0x60, 0x80);
    IGraphicsTexture *scene = nullptr, *bright = nullptr, *glow = nullptr;
    IGraphicsSurface* sceneSurface = MakeTarget(kClientWidth, kClientHeight, &scene);
    IGraphicsSurface* brightSurface = MakeTarget(kClientWidth / 8, kClientHeight / 8, &bright);
    IGraphicsSurface* glowSurface = MakeTarget(kClientWidth / 8, kClientHeight / 8, &glow);
    BloomKernel kernel;
    BuildStarKernel(kernel, kClientWidth / 8, kClientHeight / 8, 0.0f, 1.0f, 12.0f, 2.0f);

    for (int frame = 0; frame < kSnapshotFrame; ++frame) {
        ASSERT_EQ(S_OK, m_device->BeginScene());
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        SaveRenderTarget(*m_graphics);
        m_device->SetRenderTarget(0, sceneSurface);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        DrawQuad(96, 64, 112, 80, kSpot);
        DrawQuad(176, 120, 216, 160, kUnlit);
        m_device->ColorFill(brightSurface, nullptr, 0);
        ApplyBrightPass(*m_graphics, bright, scene);
        m_device->ColorFill(glowSurface, nullptr, 0);
        ApplyBlur(*m_graphics, glow, bright, kernel);
        RestoreRenderTarget(*m_graphics);
        MergeRenderTargets(*m_graphics, scene, glow, 3.0f);
        ASSERT_EQ(S_OK, m_device->EndScene());
        ASSERT_EQ(S_OK, m_device->Present());
    }

    const Image picture = LoadSnapshot();
    ASSERT_EQ(static_cast<std::uint32_t>(kClientWidth), picture.width);
    ASSERT_EQ(static_cast<std::uint32_t>(kClientHeight), picture.height);
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&back));
    m_owned.push_back(back);
    Image presented = Read(back);
    for (D3DCOLOR& p : presented.pixels) {
        p = Rgb(p) | 0xFF000000;
    }
    EXPECT_TRUE(ImagesNear(presented, picture, 0));

    // The spot keeps its colour with glow added; red is already full.
    const D3DCOLOR spot = picture.At(104, 72);
    EXPECT_EQ(0xFFu, Red(spot));
    EXPECT_GE(spot >> 8 & 0xFF, 0x80u);
    EXPECT_GE(spot & 0xFF, 0x40u);
    // Glow fades along the star's horizontal line away from the spot's right edge (x 111).
    EXPECT_GT(Red(picture.At(115, 72)), Red(picture.At(135, 72)));
    EXPECT_GT(Red(picture.At(135, 72)), 0u);
    // A surface without alpha shows its colour and gives no glow; nothing drawn, nothing shown.
    EXPECT_EQ(Rgb(kUnlit), Rgb(picture.At(196, 140)));
    for (const auto& [x, y] : {std::pair(168, 72), {170, 140}, {196, 166}, {250, 4}, {4, 188}}) {
        EXPECT_EQ(0u, Rgb(picture.At(x, y))) << x << ", " << y;
    }
}

}  // namespace
}  // namespace tovel_test
