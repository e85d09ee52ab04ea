// The null window backend: pointer capture and cursors, key state and key names. Its window
// modes are pinned where the program's display modes run on it.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "platform/window/NullWindow.h"
#include "tests/platform/WindowEventLog.h"

namespace platform {
namespace {

using test::EventLog;

class NullWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowDesc desc;
        desc.x = 100;
        desc.y = 50;
        desc.width = 640;
        desc.height = 480;
        window = system.CreateWindow(desc, log.Procedure());
        ASSERT_TRUE(window);
        window->ShowWindow(SW_SHOW);
        log.events.clear();
    }

    NullWindowSystem system;
    EventLog log;
    std::unique_ptr<Window> window;
};

TEST_F(NullWindowTest, CursorPositionIsReadInClientCoordinatesAndCaptureEndsWithTheWindow) {
    system.SetCursorPosition(POINT{150, 45});
    POINT point;
    ASSERT_TRUE(system.GetCursorPos(&point));
    window->ScreenToClient(&point);
    EXPECT_EQ(point.x, 50);
    EXPECT_EQ(point.y, -5);

    system.SetCapture(window.get());
    EXPECT_EQ(system.GetCapture(), window.get());
    system.ReleaseCapture();
    EXPECT_EQ(system.GetCapture(), nullptr);
    system.SetCapture(window.get());
    window->DestroyWindow();
    EXPECT_EQ(system.GetCapture(), nullptr);
}

TEST_F(NullWindowTest, CursorsFromImagesAndTheClassCursorOnSetCursor) {
    std::array<std::uint8_t, 32 * 32 * 4> pixels{};
    Cursor* hover = system.CreateCursor(pixels.data(), 32, 32, 16, 16);
    Cursor* grab = system.CreateCursor(pixels.data(), 32, 32, 0, 31);
    ASSERT_TRUE(hover && grab);
    EXPECT_NE(hover, grab);
    EXPECT_EQ(system.CreateCursor(pixels.data(), 32, 32, 32, 0), nullptr);
    EXPECT_EQ(system.CreateCursor(nullptr, 32, 32, 0, 0), nullptr);

    EXPECT_EQ(system.SetCursor(hover), system.GetArrowCursor());
    EXPECT_EQ(system.GetCursor(), hover);
    // Default processing of set-cursor shows the class cursor: the arrow unless one was given.
    DefWindowProc(window.get(), WM_SETCURSOR, 0, 0);
    EXPECT_EQ(system.GetCursor(), system.GetArrowCursor());
    WindowDesc desc;
    desc.cursor = grab;
    std::unique_ptr<Window> other = system.CreateWindow(desc, nullptr);
    DefWindowProc(other.get(), WM_SETCURSOR, 0, 0);
    EXPECT_EQ(system.GetCursor(), grab);
}

// Lower bounds and generous upper ones only: the point is which changes end the pause.
TEST_F(NullWindowTest, TheFramePauseEndsWhenAKeyChangesFromAnotherThread) {
    using Clock = std::chrono::steady_clock;
    system.SetKeyDown(0x5A, true);
    MSG msg;
    ASSERT_FALSE(system.PeekMessage(&msg));  // the loop has seen the state as it is
    system.SetKeyDown(0x5A, true);           // no change
    Clock::time_point start = Clock::now();
    system.WaitForKeyInput(100);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95));

    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        system.SetKeyDown(0x5A, false);
    });
    start = Clock::now();
    system.WaitForKeyInput(30000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    release.join();
}

TEST_F(NullWindowTest, KeyStateAndLegendNames) {
    system.SetKeyDown(0x5A, true);
    system.SetKeyDown(VK_OEM_102, true);
    std::array<std::uint8_t, kVirtualKeyCount> keys;
    keys.fill(0xFF);
    ASSERT_TRUE(system.GetKeyboardState(keys.data()));
    for (std::uint32_t vk = 0; vk < kVirtualKeyCount; ++vk) {
        const bool down = vk == 0x5A || vk == VK_OEM_102;
        EXPECT_EQ(keys[vk], down ? 0x80 : 0) << "virtual key " << vk;
    }
    system.SetKeyDown(0x5A, false);
    system.GetKeyboardState(keys.data());
    EXPECT_EQ(keys[0x5A], 0);
    EXPECT_EQ(system.GetKeyName(VK_OEM_102), "\\");
    EXPECT_EQ(system.GetKeyName(0x41), "A");
    EXPECT_EQ(system.GetKeyName(0x70), "");
}

}  // namespace
}  // namespace platform
