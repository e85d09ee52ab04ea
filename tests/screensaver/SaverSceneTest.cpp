// The saver's scene drawn on llvmpipe with a scripted clock, read back from its back buffer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "graphics/Graphics.h"
#include "jewels/JewelManager.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "screensaver/JewelSet.h"
#include "screensaver/SaverScene.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

constexpr int kWidth = 320, kHeight = 240;

// A saver on a null window of 320 x 240, its jewels from `jewels` (a folder holding "Jewels").
class SaverSceneTest : public ::testing::Test {
protected:
    void Start(const SaverSettings& settings, const fs::path& jewels = TOVEL_BUILD_BIN_DIR) {
        m_installDir.emplace("TOVEL_INSTALL_DIR", (jewels.string() + "/").c_str());
        WindowDesc desc;
        desc.width = kWidth;
        desc.height = kHeight;
        m_window = m_system.CreateWindow(desc, nullptr);
        m_scene.Begin();
        ASSERT_EQ(S_OK, m_scene.Startup(m_window.get(), settings));
        m_device = CGraphics::Instance()->m_device;
    }

    void TearDown() override {
        m_scene.Shutdown();
        m_window.reset();
    }

    // Timer events `step` ms apart (the saver's 40 by default) until the clock reaches seconds.
    void RunUntil(double seconds, std::uint32_t step = 40) {
        while (m_now + step <= seconds * 1000.0) {
            m_now += step;
            m_scene.OnTimer();
        }
    }

    std::vector<D3DCOLOR> Picture() {
        IGraphicsSurface* backBuffer = nullptr;
        EXPECT_EQ(S_OK, m_device->GetBackBuffer(&backBuffer));
        std::vector<D3DCOLOR> pixels(kWidth * kHeight);
        EXPECT_EQ(S_OK, m_device->GetRenderTargetData(backBuffer, pixels.data()));
        backBuffer->Release();
        return pixels;
    }

    static std::size_t Lit(const std::vector<D3DCOLOR>& pixels) {
        std::size_t lit = 0;
        for (D3DCOLOR c : pixels) {
            lit += (c & 0x00FFFFFF) != 0 ? 1 : 0;
        }
        return lit;
    }

    tovel_test::ScopedInstance<MessageBoxPresenter> m_messages{new MessageBoxRecorder(true)};
    std::optional<tovel_test::ScopedEnvironment> m_installDir;
    NullWindowSystem m_system;
    std::unique_ptr<Window> m_window;
    std::uint32_t m_now = 0;
    CSaverScene m_scene{[this] { return m_now; }};
    IGraphicsDevice* m_device = nullptr;
};

TEST_F(SaverSceneTest, TheRingsGlowMadeWhereTheJewelsCanBeChangesNoPixel) {
    Start({-1, kCircle});
    RunUntil(2.0);
    CJewelManager& jewels = *CJewelManager::Instance();
    IGraphicsEffect* effect = CGraphics::Instance()->m_effect;
    const CircleState& ring = m_scene.Circle();
    const D3DMATRIX viewProjection = m_scene.ViewProjection();
    std::vector<D3DCOLOR> pictures[2];
    for (int limited = 0; limited < 2; ++limited) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(S_OK,
                  DrawJewelSet(jewels, effect->GetTechniqueByName("SeveralColorJewel"),
                               ring.rotation, ring.positions, ring.colours, 0, kRingJewels,
                               CSaverScene::kRingMergeFactor, limited ? &viewProjection : nullptr));
        pictures[limited] = Picture();
    }
    EXPECT_GT(Lit(pictures[0]), 1000u);
    EXPECT_TRUE(pictures[0] == pictures[1]);
}

TEST_F(SaverSceneTest, ALibraryOfFewerThanTwelveMeshesDrawsWhatItHas) {
    tovel_test::TempDir dir;
    fs::create_directories(dir.Path() / "Jewels");
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TOVEL_BUILD_BIN_DIR) / "Jewels")) {
        if (copied < 5 && entry.path().extension() == ".gem") {
            fs::copy_file(entry.path(), dir.Path() / "Jewels" / entry.path().filename());
            ++copied;
        }
    }
    // Beside nothing else, the test program finds no "Jewels" of its own and takes these.
    Start({0, kCircle}, dir.Path());
    ASSERT_EQ(5u, CJewelManager::Instance()->m_meshCount);
    RunUntil(250.0, 1000);
    EXPECT_EQ(0, m_scene.Circle().firstMesh);
    EXPECT_GT(Lit(Picture()), 200u);
}

}  // namespace
