// The null window backend: pointer capture and cursors, key state and names, and the frame pause.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

#include "platform/window/NullWindow.h"

namespace platform {
namespace {

TEST(NullWindowTest, PointerCaptureAndTheClassCursorOnSetCursor) {
    NullWindowSystem system;
    WindowDesc desc;
    desc.x = 100, desc.y = 50;
    std::unique_ptr<Window> window = system.CreateWindow(desc, nullptr);
    system.SetCursorPosition(POINT{150, 45});
    POINT point;
    ASSERT_TRUE(system.GetCursorPos(&point));
    window->ScreenToClient(&point);
    EXPECT_EQ(std::pair(50, -5), std::pair(point.x, point.y));
    std::array<std::uint8_t, 32 * 32 * 4> pixels{};
    Cursor* grab = system.CreateCursor(pixels.data(), 32, 32, 0, 31);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(system.CreateCursor(pixels.data(), 32, 32, 32, 0), nullptr);
    EXPECT_EQ(system.SetCursor(grab), system.GetArrowCursor());
    // Default processing of set-cursor shows the class cursor: the arrow unless one was given.
    DefWindowProc(window.get(), WM_SETCURSOR, 0, 0);
    EXPECT_EQ(system.GetCursor(), system.GetArrowCursor());
    desc.cursor = grab;
    std::unique_ptr<Window> other = system.CreateWindow(desc, nullptr);
    DefWindowProc(other.get(), WM_SETCURSOR, 0, 0);
    EXPECT_EQ(system.GetCursor(), grab);
    system.SetCapture(window.get());
    window->DestroyWindow();
    EXPECT_EQ(system.GetCapture(), nullptr) << "capture ends with the window";
}

// Lower bounds and generous upper ones only: the point is which changes end the pause.
TEST(NullWindowTest, KeyStateNamesAndTheFramePauseEndingWhenAKeyChanges) {
    NullWindowSystem system;
    system.SetKeyDown(0x5A, true);
    system.SetKeyDown(VK_OEM_102, true);
    std::array<std::uint8_t, kVirtualKeyCount> keys;
    keys.fill(0xFF);
    ASSERT_TRUE(system.GetKeyboardState(keys.data()));
    for (std::uint32_t vk = 0; vk < kVirtualKeyCount; ++vk) {
        EXPECT_EQ(keys[vk], vk == 0x5A || vk == VK_OEM_102 ? 0x80 : 0) << "virtual key " << vk;
    }
    EXPECT_EQ(system.GetKeyName(VK_OEM_102), "\\");
    using Clock = std::chrono::steady_clock;
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

}  // namespace
}  // namespace platform
