// Jewel columns as the user sees them: drawn with the library the build makes, in their colour,
// rising, with a glow. That an idle manager draws nothing shows in the keyboard scene's test.

#include <gtest/gtest.h>

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

class JewelColumnsTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        // The jewels the build writes, found as an installation would find them.
        {
            tovel_test::ScopedEnvironment installDir(
                "TOVEL_INSTALL_DIR",
                (std::filesystem::path(TOVEL_JEWELS_DIR).parent_path().string() + "/").c_str());
            m_manager = CJewelManager::Instance();
        }
        ASSERT_GT(m_manager->m_meshCount, 0u);
        ASSERT_EQ(S_OK, m_manager->OnResetDevice());
        ASSERT_EQ(S_OK, m_device->GetBackBuffer(&m_backBuffer));
        m_owned.push_back(m_backBuffer);
    }
    static D3DMATRIX Camera(const D3DVECTOR3& eye, float fov, float aspect, float far) {
        const D3DVECTOR3 at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
        D3DMATRIX view, projection;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, fov, aspect, 0.1f, far);
        D3DXMatrixMultiply(&view, &view, &projection);
        return view;
    }

    // The lit pixels of a surface, the first row that has one, and the sums of its channels.
    struct Picture {
        int lit = 0, topRow = -1;
        double red = 0, green = 0, blue = 0;
    };
    Picture Measure(IGraphicsSurface* surface) {
        const tovel_test::Image image = Read(surface);
        Picture p;
        for (std::uint32_t i = 0; i < image.pixels.size(); ++i) {
            const D3DCOLOR c = image.pixels[i];
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            if (r + g + b > 12 && p.lit++ == 0) {
                p.topRow = static_cast<int>(i / image.width);
            }
            p.red += r;
            p.green += g;
            p.blue += b;
        }
        return p;
    }
    Picture MeasureTexture(IGraphicsTexture* texture) {
        IGraphicsSurface* surface = nullptr;
        EXPECT_EQ(S_OK, texture->GetSurfaceLevel(0, &surface));
        const Picture p = Measure(surface);
        surface->Release();
        return p;
    }
    IGraphicsSurface* CurrentTarget() {
        IGraphicsSurface* current = nullptr;
        EXPECT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
        current->Release();
        return current;
    }

    tovel_test::ScopedInstance<CJewelManager> m_managerInstance;
    CJewelManager* m_manager = nullptr;
    IGraphicsSurface* m_backBuffer = nullptr;
};

TEST_F(JewelColumnsTest, AColumnRisesInItsColourWithAGlowAroundIt) {
    // The keyboard's part: a camera looking at the column from the front.
    const D3DVECTOR3 eye{0.0f, 0.0f, -12.0f};
    const D3DMATRIX viewProjection = Camera(eye, std::numbers::pi_v<float> / 3.0f,
                                            static_cast<float>(kClientWidth) / kClientHeight, 50);
    m_effect->SetMatrix(m_effect->GetParameterBySemantic(nullptr, "ViewProjection"),
                        &viewProjection);
    m_effect->SetValue(m_effect->GetParameterBySemantic(nullptr, "CameraPosition"), &eye,
                       sizeof eye);
    // Hue 2.0: green with a little red, no blue.
    ASSERT_NE(nullptr, m_manager->SpawnColumn(0.0f, -5.0f, 0.0f, 2.0f, 1.0f, 1.0f));
    std::vector<int> jewelTops;
    int shownLit = 0, drawnLit = 0;
    for (int frame = 0; frame < 6; ++frame) {
        SCOPED_TRACE(frame);
        m_device->SetRenderTarget(0, m_backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        // Half a unit a frame: about seven pixels of rise at this distance.
        ASSERT_EQ(S_OK, m_manager->UpdateAndRender(0.5f));
        const Picture shown = Measure(m_backBuffer);
        const Picture drawn = MeasureTexture(m_manager->m_sceneTarget);
        ASSERT_GT(drawn.lit, 20);
        EXPECT_GE(shown.lit, drawn.lit) << "the glow is added onto the jewels";
        EXPECT_GT(shown.green, 1.5 * std::max(shown.red, shown.blue));
        // The jewel turns and swings as it rises, so its outline moves a little on its own.
        EXPECT_TRUE(jewelTops.empty() || drawn.topRow <= jewelTops.back() + 3);
        jewelTops.push_back(drawn.topRow);
        shownLit += shown.lit;
        drawnLit += drawn.lit;
    }
    EXPECT_LT(jewelTops.back(), jewelTops.front() - 25) << "three units of rise";
    EXPECT_GT(shownLit, drawnLit + drawnLit / 2) << "lit and white facets glow beyond the outline";
}

TEST_F(JewelColumnsTest, TheKeyboardJewelIsDrawnIntoItsOwnTargetsAndGivesTheFrameBack) {
    IGraphicsTexture *scene = nullptr, *bright = nullptr, *blur = nullptr;
    MakeTarget(64, 64, &scene);
    MakeTarget(8, 8, &bright);
    MakeTarget(8, 8, &blur);
    const D3DVECTOR3 eye{0.0f, 0.0f, -6.0f}, light{-2.0f, 3.0f, -4.0f};
    const D3DMATRIX viewProjection = Camera(eye, 0.6f, 1.0f, 20.0f);
    D3DMATRIX rotation;
    D3DXMatrixRotationYawPitchRoll(&rotation, 0.3f, 0.785398185f, 0.2f);
    const D3DVIEWPORT9 viewport{0, 0, 64, 64, 0.0f, 1.0f};
    // One placement and one colour, as the keyboard passes them, whatever the library position.
    const D3DVECTOR4 placement[1] = {{0.0f, 0.0f, 0.0f, 1.0f}};
    const D3DVECTOR4 colour[1] = {{0.2f, 0.4f, 1.0f, 0.0f}};
    BloomKernel kernel;
    BuildStarKernel(kernel, 8, 8, 0.0f, 1.0f, 10.0f, 1.0f);

    m_device->SetRenderTarget(0, m_backBuffer);
    EXPECT_EQ(S_OK, m_manager->DrawKeyboardJewel(&viewProjection, &rotation, &eye, &light,
                                                 &viewport, placement, colour, 2,
                                                 m_effect->GetTechniqueByName("SeveralColorJewel"),
                                                 kernel, scene, bright, blur));
    EXPECT_EQ(m_backBuffer, CurrentTarget()) << "the frame's target is given back";
    D3DVIEWPORT9 after{};
    m_device->GetViewport(&after);
    EXPECT_EQ(static_cast<std::uint32_t>(kClientWidth), after.Width);
    const Picture jewel = MeasureTexture(scene);
    EXPECT_GT(jewel.lit, 100);
    EXPECT_GT(jewel.blue, jewel.red) << "drawn in the colour of array B";

    // A failing step still gives the frame's target back.
    EXPECT_TRUE(
        FAILED(m_manager->DrawKeyboardJewel(nullptr, nullptr, nullptr, nullptr, nullptr, placement,
                                            colour, 0, nullptr, kernel, scene, bright, blur)));
    EXPECT_EQ(m_backBuffer, CurrentTarget());
}

}  // namespace
