// A real SDL window on an X server: first show, pointer, cursors, keys, frame pause, key listener.

#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/window/KeyMap.h"
#include "platform/window/Window.h"
#include "tests/platform/WindowEventLog.h"

namespace platform {
namespace {

using test::Event;
using Clock = std::chrono::steady_clock;

// Waits until `done` holds, up to five seconds, calling `step` in between.
template <typename Condition, typename Step>
bool Until(Condition done, Step step) {
    for (const auto end = Clock::now() + std::chrono::seconds(5); !done(); step()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        system = CreateSdlWindowSystem();
        ASSERT_TRUE(system) << "no SDL video: " << SDL_GetError();
        WindowDesc desc;
        desc.x = 40, desc.y = 30, desc.width = 320, desc.height = 200;
        window = system->CreateWindow(desc, log.Procedure());
        ASSERT_TRUE(window);
    }
    // Shows the window with the pointer in it: the focus, on a server without a window manager.
    void Show() {
        window->ShowWindow(SW_SHOW);
        SDL_WarpMouseInWindow(window->GetSdlWindow(), 10, 10);
        ASSERT_TRUE(PumpUntil([&] { return SDL_GetKeyboardFocus() == window->GetSdlWindow(); }));
    }
    template <typename Condition>
    bool PumpUntil(Condition done) {
        return Until(done, [&] { test::DrainQueue(*system); });
    }
    void PushKey(std::uint32_t type, SDL_Scancode scancode, std::uint8_t repeat = 0) {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(window->GetSdlWindow());
        event.key.keysym.scancode = scancode;
        event.key.repeat = repeat;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    std::unique_ptr<WindowSystem> system;  // goes last, after the window
    test::EventLog log;
    std::unique_ptr<Window> window;
};

// The first show sends the size once; a pointer move is set up by WM_SETCURSOR, and the pointer
// is where it was moved to; a cursor set gives back the one before.
TEST_F(SdlWindowTest, FirstShowSizePointerAndCursors) {
    Show();
    EXPECT_EQ(log.Only(WM_SIZE),
              (std::vector<Event>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 200)}}));
    log.events.clear();
    SDL_WarpMouseInWindow(window->GetSdlWindow(), 30, 40);
    ASSERT_TRUE(PumpUntil([&] { return !log.Only(WM_MOUSEMOVE).empty(); }));
    EXPECT_EQ(log.events[log.events.size() - 2].message, WM_SETCURSOR);
    POINT point;
    ASSERT_TRUE(system->GetCursorPos(&point));
    window->ScreenToClient(&point);
    EXPECT_EQ(std::tuple(30, 40, MAKELPARAM(30, 40)),
              std::tuple(point.x, point.y, log.Only(WM_MOUSEMOVE).back().lParam));
    const std::vector<std::uint8_t> pixels(32 * 32 * 4, 0xFF);
    Cursor* hover = system->CreateCursor(pixels.data(), 32, 32, 15, 15);
    EXPECT_EQ(std::pair(system->GetArrowCursor(), hover),
              (std::pair{system->SetCursor(hover), system->SetCursor(system->GetArrowCursor())}));
}

TEST_F(SdlWindowTest, KeyEventsKeyStateKeyNamesAndTheFramePause) {
    Show();
    PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    PushKey(SDL_KEYUP, SDL_SCANCODE_INTERNATIONAL1);
    // Real key presses (xdotool's XTest): the US backslash key is the JIS "]" at the same place.
    std::array<std::uint8_t, kVirtualKeyCount> keys;
    const auto state = [&](std::uint8_t vk, std::uint8_t expected) {
        return PumpUntil(
            [&] { return system->GetKeyboardState(keys.data()) && keys[vk] == expected; });
    };
    ASSERT_EQ(std::system("xdotool keydown z keydown backslash"), 0);
    EXPECT_TRUE(state(0x5A, 0x80) && state(VK_OEM_6, 0x80));
    EXPECT_EQ(std::pair(0, 0), std::pair(int{keys[0x41]}, int{keys[VK_OEM_5]}));
    ASSERT_EQ(std::system("xdotool keyup z keyup backslash"), 0);
    EXPECT_TRUE(state(0x5A, 0) && state(VK_OEM_6, 0));
    ASSERT_TRUE(PumpUntil([&] { return log.Only(WM_KEYUP).size() == 4; }));
    std::vector<WPARAM> ups;
    for (const Event& e : log.Only(WM_KEYUP)) {
        ups.push_back(e.wParam);
    }
    EXPECT_EQ(ups, (std::vector<WPARAM>{VK_ESCAPE, VK_OEM_102, 0x5A, VK_OEM_6}));
    // Names of the active layout (US here); the JIS-only keys get a name all the same.
    EXPECT_EQ(std::pair(std::string("A"), std::string(",")),
              std::pair(system->GetKeyName(0x41), system->GetKeyName(VK_OEM_COMMA)));
    EXPECT_FALSE(system->GetKeyName(VK_OEM_102).empty() || system->GetKeyName(VK_OEM_5).empty());
    // A repeat does not end the frame pause (a lower bound only), a key going down does.
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_Z, 1);
    const Clock::time_point start = Clock::now();
    system->WaitForKeyInput(150);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140));
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_Z);
    system->WaitForKeyInput(30000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
}

// The listener calls back for keys of the table only, and a key after a pointer button waits
// until the event thread has dispatched the button, which may change what the key plays.
TEST_F(SdlWindowTest, TheKeyListenerHearsTheTablesKeysWithoutPumpingButNeverBeforeAButton) {
    Show();
    std::atomic<int> changes{0};
    std::unique_ptr<KeyListener> listener = system->ListenForKeys(window.get(), [&] { ++changes; });
    ASSERT_TRUE(listener) << "an X server with XInput 2.2 has a listener";
    std::array<std::uint8_t, kVirtualKeyCount> keys{};
    const auto zIs = [&](std::uint8_t state) {
        return Until([&] { return listener->GetKeyboardState(keys.data()) && keys['Z'] == state; },
                     [] {});
    };
    const auto changesAre = [&](int n) { return Until([&] { return changes == n; }, [] {}); };
    ASSERT_EQ(std::system("xdotool keydown z"), 0);  // no event is pumped from here on
    EXPECT_TRUE(zIs(0x80) && Until([&] { return changes >= 1; }, [] {}));
    const int afterZ = changes;
    ASSERT_EQ(std::system("xdotool key F1 keyup z"), 0);
    EXPECT_TRUE(zIs(0) && changesAre(afterZ + 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(afterZ + 1, changes) << "one call for Z's release, none for F1";
    ASSERT_EQ(std::system("xdotool click 1 keydown z"), 0);
    EXPECT_TRUE(zIs(0x80));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(afterZ + 1, changes) << "the key overtook the button";
    test::DrainQueue(*system);
    EXPECT_TRUE(changesAre(afterZ + 2));
    ASSERT_EQ(std::system("xdotool keyup z"), 0);
}

}  // namespace
}  // namespace platform
