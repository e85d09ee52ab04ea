// The harmonics control in the program's pointer routing, with synthetic events: a press on a
// harmonic bar holds the pointer until the release, which hands the edit to the keyboard; the
// cursor shows what can be taken and what is held; a tile dropped on the keyboard band is edited.

#include <gtest/gtest.h>

#include <vector>

#include "app/Application.h"
#include "app/PointerRouting.h"
#include "app/WindowProcedure.h"
#include "jewels/JewelManager.h"
#include "platform/window/NullWindow.h"
#include "tests/support/DevicelessJewels.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

namespace {

using namespace platform;

class HarmonicsRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, tovel_test::InstallDevicelessJewels());
        keyboard = CSynthesizerKeyboard::Instance();
        m_timbre.SetAllEvenHiWave();
        CSynthesizer* synth = CSynthesizer::Instance();
        m_timbre.BuildWaves(synth->m_lowest, synth->m_highest);
        keyboard->SetTimbre(m_timbre);
        harmonicsControl = CHarmonicsControl::Instance();
        harmonicsControl->LoadTimbre(m_timbre);
        harmonicsControl->Layout(1024, 768);

        m_system = std::make_unique<NullWindowSystem>();
        m_window = m_system->CreateWindow(WindowDesc{}, MainWindowProc);
        const std::vector<std::uint8_t> image(4 * 4 * 4, 0xFF);
        hoverCursor = m_system->CreateCursor(image.data(), 4, 4, 1, 1);
        grabCursor = m_system->CreateCursor(image.data(), 4, 4, 2, 2);
    }
    void TearDown() override {
        hoverCursor = grabCursor = nullptr;
        harmonicsControl = nullptr;
        keyboard = nullptr;
    }

    void Send(std::uint32_t message, std::int32_t x, std::int32_t y) {
        m_window->CallProcedure(
            message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
            MAKELPARAM(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
    }
    // A set-cursor event and its move, as the system sends them for an uncaptured pointer.
    void Hover(std::int32_t x, std::int32_t y) {
        m_window->CallProcedure(WM_SETCURSOR, 0, 0);
        Send(WM_MOUSEMOVE, x, y);
    }

    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Offline, 1};
    tovel_test::ScopedInstance<CGraphics> m_graphics;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    tovel_test::ScopedInstance<CSynthesizerKeyboard> m_keyboard;
    tovel_test::ScopedInstance<CHarmonicsControl> m_control;
    CTimbre m_timbre;
    std::unique_ptr<NullWindowSystem> m_system;
    std::unique_ptr<Window> m_window;
};

TEST_F(HarmonicsRoutingTest, ABarIsTakenHeldAndReleasedWithItsCursors) {
    // Bar 3 is empty: its top edge lies at the bottom of the band.
    const std::int32_t x = 253, y = 131;
    Hover(x, y);
    EXPECT_EQ(hoverCursor, m_system->GetCursor()) << "an open hand over a bar";
    Hover(600, 600);
    EXPECT_EQ(m_system->GetArrowCursor(), m_system->GetCursor()) << "the arrow elsewhere";
    Send(WM_LBUTTONDOWN, 600, 600);
    Send(WM_LBUTTONUP, 600, 600);
    EXPECT_EQ(nullptr, m_system->GetCapture()) << "a press beside every bar takes nothing";
    EXPECT_EQ(m_system->GetArrowCursor(), m_system->GetCursor());

    Send(WM_LBUTTONDOWN, x, y);
    EXPECT_EQ(m_window.get(), m_system->GetCapture());
    EXPECT_EQ(grabCursor, m_system->GetCursor());
    // Held, the pointer keeps the closed hand wherever it goes, above the window included,
    // where its coordinates arrive wrapped.
    Send(WM_MOUSEMOVE, 600, -30);
    EXPECT_EQ(grabCursor, m_system->GetCursor());
    harmonicsControl->m_timbre.m_harmonics[2] = 1.0f;  // what the drag would have done
    Send(WM_LBUTTONUP, 600, -30);
    EXPECT_EQ(nullptr, m_system->GetCapture());
    EXPECT_EQ(hoverCursor, m_system->GetCursor());
    EXPECT_EQ(1.0f, keyboard->m_timbre->m_harmonics[2]) << "the release hands over the edit";
}

TEST_F(HarmonicsRoutingTest, ATileDroppedOnTheKeyboardBandIsEdited) {
    keyboard->m_targetHeight = 600;  // the band: 300 < y < 450
    CTimbre square;
    square.SetSquareWave();
    DropTileOnKeyboard(450, square);
    EXPECT_EQ(m_timbre.m_name, harmonicsControl->m_timbre.m_name) << "dropped beside the band";
    DropTileOnKeyboard(449, square);
    EXPECT_EQ("Square wave", harmonicsControl->m_timbre.m_name);
    EXPECT_EQ(0.0f, harmonicsControl->m_timbre.m_harmonics[1]);
    EXPECT_EQ(static_cast<float>(132.0 - 111.0 * square.m_harmonics[2]),
              harmonicsControl->m_bars[6 * 2].y)
        << "bar 3 shows the new amplitude";
}

}  // namespace
