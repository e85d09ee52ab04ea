// The keyboard scene drawn on the program's own device and read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "controls/HsvColour.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "palette/TimbrePalette.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

using namespace platform;
using tovel_test::Image;

class KeyboardSceneTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        const std::string install = std::filesystem::path(TOVEL_JEWELS_DIR).parent_path().string();
        {
            tovel_test::ScopedEnvironment installDir("TOVEL_INSTALL_DIR", (install + "/").c_str());
            ASSERT_GT(CJewelManager::Instance()->m_meshCount, 0u);
        }
        ASSERT_EQ(S_OK, m_keyboard->Init());
        m_keyboard->SetKeyStateSource([this](std::uint8_t* keys) {
            std::copy(std::begin(m_state), std::end(m_state), keys);
            return true;
        });
        // Every key named by one letter, so that each label has something to show.
        m_keyboard->SetKeyNameSource([](std::uint8_t) { return std::string("M"); });
        CSynthesizer* synth = CSynthesizer::Instance();
        m_timbre.SetSquareWave();
        m_timbre.BuildWaves(synth->m_lowest, synth->m_highest);
        m_keyboard->SetTimbre(m_timbre);
        CJewelManager::Instance()->OnResetDevice();
        ASSERT_EQ(S_OK, m_keyboard->OnResetDevice());
    }
    void TearDown() override {
        m_keyboard.reset();  // takes the synthesizer and the jewel manager with it
        GraphicsTest::TearDown();
    }
    Image Frame(float dt) {
        IGraphicsSurface* backBuffer = nullptr;
        m_device->GetBackBuffer(&backBuffer);
        m_device->SetRenderTarget(0, backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_keyboard->UpdateKeys(dt);
        EXPECT_EQ(S_OK, m_keyboard->RenderScene(0.0f, dt));
        const Image image = Read(backBuffer);
        backBuffer->Release();
        return image;
    }
    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    std::unique_ptr<CSynthesizerKeyboard> m_keyboard = std::make_unique<CSynthesizerKeyboard>();
    CTimbre m_timbre;
    std::uint8_t m_state[256] = {};
};

TEST_F(KeyboardSceneTest, EveryKeyShowsItsNameOnItsPlateOrItsHexagon) {
    IGraphicsSurface* surface = nullptr;
    ASSERT_EQ(S_OK, m_keyboard->m_labelTexture->GetSurfaceLevel(0, &surface));
    const Image labels = Read(surface);
    surface->Release();
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        const CKeyboardKey& key = m_keyboard->m_keys[i];
        // Its cell: 15 pixels a unit, centred on the key.
        const auto left = static_cast<int>((key.m_position.x - m_keyboard->m_minX - 0.5f) * 15);
        const auto top = static_cast<int>((m_keyboard->m_maxZ - key.m_position.z - 0.5f) * 15);
        // C, D, E, F, G, A and B are naturals: notes 1, 3, 5, 6, 8, 10 and 12.
        const bool natural = key.m_wave && (0x156A >> key.m_wave->m_note) & 1;
        // Text: dark on a natural's light plate, light or dark grey on the clear background.
        int text = 0, plate = 0, clear = 0;
        for (int y = std::max(top, 0); y < top + 15; ++y) {
            for (int x = std::max(left, 0); x < left + 15; ++x) {
                const D3DCOLOR c = labels.At(static_cast<unsigned>(x), static_cast<unsigned>(y));
                plate += c == 0xFFEEEEEE;
                clear += c == 0;
                text += natural ? ((c >> 8) & 0xFF) < 0x80 : (c >> 24) > 0x80;
            }
        }
        EXPECT_GE(text, 12) << "key " << i;
        // The plate covers a natural's whole cell; no plate behind a sharp or a dead key.
        EXPECT_TRUE(natural ? plate >= 40 && clear == 0 : clear >= 100) << "key " << i;
    }
}

// Keys at the ends of every row held until their columns leave the view, streaks and stars reaching
// the edges; on a back buffer a multiple of 8 in size, and on one the scene is stretched onto.
TEST_F(KeyboardSceneTest, MergingOnlyWhereTheGlowsCanBeChangesNoPixel) {
    CJewelManager* jewels = CJewelManager::Instance();
    for (auto [w, h] : {std::pair{256u, 192u}, std::pair{262u, 197u}}) {
        m_keyboard->OnLostDevice();
        jewels->OnLostDevice();
        ASSERT_EQ(S_OK, m_device->Reset(w, h));
        ASSERT_EQ(S_OK, jewels->OnResetDevice());
        ASSERT_EQ(S_OK, m_keyboard->OnResetDevice());
        for (std::uint32_t key : {1u, 5u, 15u, 19u, 21u, 28u, 30u, 36u, 42u, 44u, 47u}) {
            m_state[KeyVirtualKey(key)] = 0x80;
        }
        const TextureRegion keys = m_keyboard->m_keysRegion;
        for (int frame = 0; frame < 120; ++frame) {
            Frame(0.1f);
            if (frame % 30 != 29) {
                continue;
            }
            // A still frame drawn both ways: nothing moves while no time passes.
            const Image limited = Frame(0.0f);
            m_keyboard->m_keysRegion = TextureRegion::Whole();
            jewels->SetColumnCamera(nullptr);
            const Image whole = Frame(0.0f);
            m_keyboard->m_keysRegion = keys;
            jewels->SetColumnCamera(&m_keyboard->m_viewProjection);
            ASSERT_TRUE(tovel_test::ImagesNear(whole, limited, 0)) << w << "x" << h << " " << frame;
        }
        EXPECT_TRUE(jewels->HasActiveColumns());
        std::fill(std::begin(m_state), std::end(m_state), 0);
        Frame(0.1f);
    }
}

// Lifted out of the band, the timbre's jewel spins in the timbre's colour in its square at the
// pointer, and nowhere else; a press alone, or a release, leaves the picture as it was.
TEST_F(KeyboardSceneTest, TheLiftedTimbreIsAJewelOfItsColourInItsSquareAtThePointer) {
    const Image idle = Frame(0.05f);
    ASSERT_TRUE(m_keyboard->OnButtonDown(50, 120, nullptr));
    m_keyboard->TrackDrag(55, 125);
    EXPECT_TRUE(tovel_test::ImagesNear(idle, Frame(0.05f), 0));
    m_keyboard->TrackDrag(150, 40);
    Image lifted;
    for (int frame = 0; frame < 12; ++frame) {
        lifted = Frame(0.05f);
    }
    // Above the keys, lit pixels lie in the 48-pixel square eased to the pointer, in the colour.
    int inside = 0, outside = 0;
    float rgb[3] = {}, expected[3] = {};
    for (std::uint32_t y = 0; y < 96; ++y) {
        for (std::uint32_t x = 0; x < lifted.width; ++x) {
            const D3DCOLOR c = lifted.At(x, y);
            const bool lit = (c & 0xFFFFFF) != 0, near = x >= 125 && x <= 175 && y >= 15 && y <= 65;
            (near ? inside : outside) += lit;
            for (int k = 0; k < 3; ++k) {
                rgb[k] += static_cast<float>((c >> (16 - 8 * k)) & 0xFF);
            }
        }
    }
    EXPECT_TRUE(inside > 300 && outside == 0) << inside << ", " << outside;
    PaletteJewelRgb(m_keyboard->m_timbre->m_color, &expected[0], &expected[1], &expected[2]);
    const auto order = [](const float* c) {
        return std::pair(std::max_element(c, c + 3) - c, std::min_element(c, c + 3) - c);
    };
    EXPECT_EQ(order(expected), order(rgb)) << rgb[0] << " " << rgb[1] << " " << rgb[2];
    // No palette tile is drawn: nothing is kept.
    const tovel_test::ScopedInstance<CTimbrePalette> palette(new CTimbrePalette());
    EXPECT_TRUE(m_keyboard->OnButtonUp(150, 40));
    EXPECT_TRUE(tovel_test::ImagesNear(idle, Frame(0.05f), 0));
}

}  // namespace
