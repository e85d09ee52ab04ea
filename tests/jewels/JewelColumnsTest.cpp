// The keyboard's jewel drawn with the library the build makes, into targets of its own. Columns
// rising with their glow show in the keyboard scene's test.

#include <gtest/gtest.h>

#include <filesystem>

#include "jewels/JewelManager.h"
#include "platform/graphics/D3DMath.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

using namespace platform;

class JewelColumnsTest : public tovel_test::GraphicsTest {
protected:
    tovel_test::ScopedInstance<CJewelManager> m_managerInstance;
};

TEST_F(JewelColumnsTest, TheKeyboardJewelIsDrawnIntoItsOwnTargetsAndGivesTheFrameBack) {
    CJewelManager* manager = nullptr;
    {
        // The jewels the build writes, found as an installation would find them.
        tovel_test::ScopedEnvironment installDir(
            "TOVEL_INSTALL_DIR",
            (std::filesystem::path(TOVEL_JEWELS_DIR).parent_path().string() + "/").c_str());
        manager = CJewelManager::Instance();
    }
    ASSERT_GT(manager->m_meshCount, 2u);
    ASSERT_EQ(S_OK, manager->OnResetDevice());
    IGraphicsSurface* backBuffer = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&backBuffer));
    m_owned.push_back(backBuffer);
    IGraphicsTexture *scene = nullptr, *bright = nullptr, *blur = nullptr;
    IGraphicsSurface* drawn = MakeTarget(64, 64, &scene);
    MakeTarget(8, 8, &bright);
    MakeTarget(8, 8, &blur);
    const D3DVECTOR3 eye{0.0f, 0.0f, -6.0f}, at{}, up{0.0f, 1.0f, 0.0f}, light{-2.0f, 3.0f, -4.0f};
    D3DMATRIX view, projection, rotation;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 0.6f, 1.0f, 0.1f, 20.0f);
    D3DXMatrixMultiply(&view, &view, &projection);
    D3DXMatrixRotationYawPitchRoll(&rotation, 0.3f, 0.785398185f, 0.2f);
    const D3DVIEWPORT9 viewport{0, 0, 64, 64, 0.0f, 1.0f};
    // One placement and one colour, as the keyboard passes them, whatever the library position.
    const D3DVECTOR4 placement[1] = {{0.0f, 0.0f, 0.0f, 1.0f}};
    const D3DVECTOR4 colour[1] = {{0.2f, 0.4f, 1.0f, 0.0f}};
    BloomKernel kernel;
    BuildStarKernel(kernel, 8, 8, 0.0f, 1.0f, 10.0f, 1.0f);
    m_device->SetRenderTarget(0, backBuffer);
    EXPECT_EQ(S_OK, manager->DrawKeyboardJewel(&view, &rotation, &eye, &light, &viewport, placement,
                                               colour, 2,
                                               m_effect->GetTechniqueByName("SeveralColorJewel"),
                                               kernel, scene, bright, blur));
    IGraphicsSurface* current = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    current->Release();
    EXPECT_EQ(backBuffer, current) << "the frame's target is given back";
    D3DVIEWPORT9 after{};
    m_device->GetViewport(&after);
    EXPECT_EQ(static_cast<std::uint32_t>(kClientWidth), after.Width);
    // Lit pixels, drawn in the colour of array B.
    int lit = 0;
    double red = 0, blue = 0;
    for (D3DCOLOR c : Read(drawn).pixels) {
        lit += ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) > 12;
        red += (c >> 16) & 0xFF;
        blue += c & 0xFF;
    }
    EXPECT_GT(lit, 100);
    EXPECT_GT(blue, red);
}

}  // namespace
