// Jewel columns as the user sees them: drawn with the library the build makes, in their colour,
// rising, with a glow. That an idle manager draws nothing shows in the keyboard scene's test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <vector>

#include "jewels/JewelManager.h"
#include "platform/graphics/D3DMath.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

using namespace platform;
using tovel_test::Image;

class JewelColumnsTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        // The jewels the build writes, found as an installation would find them.
        const std::filesystem::path jewels = TOVEL_JEWELS_DIR;
        {
            tovel_test::ScopedEnvironment installDir(
                "TOVEL_INSTALL_DIR", (jewels.parent_path().string() + "/").c_str());
            m_manager = CJewelManager::Instance();
        }
        ASSERT_GT(m_manager->m_meshCount, 0u);
        ASSERT_EQ(S_OK, m_manager->OnResetDevice());
        ASSERT_EQ(S_OK, m_device->GetBackBuffer(&m_backBuffer));

        // The keyboard's part: a camera looking at the column from the front.
        const D3DVECTOR3 eye{0.0f, 0.0f, -12.0f}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
        D3DMATRIX view, projection, viewProjection;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, std::numbers::pi_v<float> / 3.0f,
                                   static_cast<float>(kClientWidth) / kClientHeight, 0.1f, 50.0f);
        D3DXMatrixMultiply(&viewProjection, &view, &projection);
        m_effect->SetMatrix(m_effect->GetParameterBySemantic(nullptr, "ViewProjection"),
                            &viewProjection);
        m_effect->SetValue(m_effect->GetParameterBySemantic(nullptr, "CameraPosition"), &eye,
                           sizeof eye);
    }
    void TearDown() override {
        if (m_backBuffer) {
            m_backBuffer->Release();
        }
        GraphicsTest::TearDown();
    }

    struct Picture {
        int lit = 0;
        int topRow = -1;  // the first row with a lit pixel
        double red = 0, green = 0, blue = 0;
    };
    static Picture Measure(const Image& image) {
        Picture p;
        for (std::uint32_t y = 0; y < image.height; ++y) {
            for (std::uint32_t x = 0; x < image.width; ++x) {
                const D3DCOLOR c = image.At(x, y);
                const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                if (r + g + b > 12) {
                    ++p.lit;
                    if (p.topRow < 0) {
                        p.topRow = static_cast<int>(y);
                    }
                }
                p.red += r;
                p.green += g;
                p.blue += b;
            }
        }
        return p;
    }

    tovel_test::ScopedInstance<CJewelManager> m_managerInstance;
    CJewelManager* m_manager = nullptr;
    IGraphicsSurface* m_backBuffer = nullptr;
};

TEST_F(JewelColumnsTest, AColumnRisesInItsColourWithAGlowAroundIt) {
    // Hue 2.0: green with a little red, no blue.
    ASSERT_NE(nullptr, m_manager->SpawnColumn(0.0f, -5.0f, 0.0f, 2.0f, 1.0f, 1.0f));
    std::vector<int> jewelTops;
    int shownLit = 0, drawnLit = 0;
    for (int frame = 0; frame < 6; ++frame) {
        m_device->SetRenderTarget(0, m_backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        // Half a unit a frame: about seven pixels of rise at this distance.
        ASSERT_EQ(S_OK, m_manager->UpdateAndRender(0.5f));
        const Picture shown = Measure(Read(m_backBuffer));
        IGraphicsSurface* scene = nullptr;
        ASSERT_EQ(S_OK, m_manager->m_sceneTarget->GetSurfaceLevel(0, &scene));
        const Picture drawn = Measure(Read(scene));
        scene->Release();

        ASSERT_GT(drawn.lit, 20) << "frame " << frame;
        EXPECT_GE(shown.lit, drawn.lit) << "the glow is added onto the jewels, frame " << frame;
        EXPECT_GT(shown.green, 1.5 * shown.red);
        EXPECT_GT(shown.green, 1.5 * shown.blue);
        jewelTops.push_back(drawn.topRow);
        shownLit += shown.lit;
        drawnLit += drawn.lit;
    }
    // The jewel turns and swings as it rises, so its outline moves a little on its own.
    for (std::size_t i = 1; i < jewelTops.size(); ++i) {
        EXPECT_LE(jewelTops[i], jewelTops[i - 1] + 3) << "frame " << i;
    }
    EXPECT_LT(jewelTops.back(), jewelTops.front() - 25) << "three units of rise";
    // Lit and white facets glow well beyond the jewel's outline.
    EXPECT_GT(shownLit, drawnLit + drawnLit / 2);
}

}  // namespace

namespace {

TEST_F(JewelColumnsTest, TheKeyboardJewelIsDrawnIntoItsOwnTargetsAndGivesTheFrameBack) {
    IGraphicsTexture *scene = nullptr, *bright = nullptr, *blur = nullptr;
    for (IGraphicsTexture** t : {&scene, &bright, &blur}) {
        const std::uint32_t side = t == &scene ? 64 : 8;
        ASSERT_EQ(S_OK, m_device->CreateTexture(side, side, 1, D3DUSAGE_RENDERTARGET,
                                                D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, t));
        m_owned.push_back(*t);
    }
    const D3DVECTOR3 eye{0.0f, 0.0f, -6.0f}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
    const D3DVECTOR3 light{-2.0f, 3.0f, -4.0f};
    D3DMATRIX view, projection, viewProjection, rotation;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 0.6f, 1.0f, 0.1f, 20.0f);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    D3DXMatrixRotationYawPitchRoll(&rotation, 0.3f, 0.785398185f, 0.2f);
    const D3DVIEWPORT9 viewport{0, 0, 64, 64, 0.0f, 1.0f};
    // One placement and one colour, as the keyboard passes them, whatever the library position.
    const D3DVECTOR4 placement[1] = {{0.0f, 0.0f, 0.0f, 1.0f}};
    const D3DVECTOR4 colour[1] = {{0.2f, 0.4f, 1.0f, 0.0f}};
    BloomKernel kernel;
    BuildStarKernel(kernel, 8, 8, 0.0f, 1.0f, 10.0f, 1.0f);

    m_device->SetRenderTarget(0, m_backBuffer);
    const std::uint32_t n = 2;  // the third jewel of the library
    EXPECT_EQ(S_OK, m_manager->DrawKeyboardJewel(&viewProjection, &rotation, &eye, &light,
                                                 &viewport, placement, colour, n,
                                                 m_effect->GetTechniqueByName("SeveralColorJewel"),
                                                 kernel, scene, bright, blur));

    IGraphicsSurface* current = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    EXPECT_EQ(m_backBuffer, current) << "the frame's target is given back";
    current->Release();
    D3DVIEWPORT9 after{};
    m_device->GetViewport(&after);
    EXPECT_EQ(static_cast<std::uint32_t>(kClientWidth), after.Width);

    IGraphicsSurface* drawn = nullptr;
    ASSERT_EQ(S_OK, scene->GetSurfaceLevel(0, &drawn));
    const Picture jewel = Measure(Read(drawn));
    drawn->Release();
    EXPECT_GT(jewel.lit, 100);
    EXPECT_GT(jewel.blue, jewel.red) << "drawn in the colour of array B";

    // A failing step still gives the frame's target back.
    EXPECT_TRUE(
        FAILED(m_manager->DrawKeyboardJewel(nullptr, nullptr, nullptr, nullptr, nullptr, placement,
                                            colour, 0, nullptr, kernel, scene, bright, blur)));
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    EXPECT_EQ(m_backBuffer, current);
    current->Release();
}

}  // namespace
