// A real SDL window on an X server: creation and first show, size events, the pointer in client
// coordinates, key events and key state, cursors, and the frame pause. Full screen and back, and
// timers and posts that end the wait, are what the programs' end-to-end runs go through.

#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/window/KeyMap.h"
#include "platform/window/Window.h"
#include "tests/platform/WindowEventLog.h"

namespace platform {
namespace {

using test::Event;
using test::EventLog;

constexpr int kWidth = 320;
constexpr int kHeight = 200;

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        system = CreateSdlWindowSystem();
        ASSERT_TRUE(system) << "no SDL video: " << SDL_GetError();
        WindowDesc desc;
        desc.title = "tovel window test";
        desc.x = 40;
        desc.y = 30;
        desc.width = kWidth;
        desc.height = kHeight;
        window = system->CreateWindow(desc, log.Procedure());
        ASSERT_TRUE(window);
    }

    void TearDown() override {
        window.reset();
        system.reset();
    }

    // Shows the window and forgets what that sent.
    void Show() {
        window->ShowWindow(SW_SHOW);
        test::DrainQueue(*system);
        log.events.clear();
    }

    // Dispatches events until `done` holds or a second has passed.
    template <typename Condition>
    bool PumpUntil(Condition done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            if (test::DrainQueue(*system) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return true;
    }

    std::unique_ptr<WindowSystem> system;
    EventLog log;
    std::unique_ptr<Window> window;
};

TEST_F(SdlWindowTest, CreateComesDuringCreationAndTheFirstShowDeliversTheClientSize) {
    EXPECT_EQ(log.events, (std::vector<Event>{{WM_CREATE, 0, 0}}));
    ASSERT_NE(window->GetSdlWindow(), nullptr);
    window->ShowWindow(SW_SHOW);
    ASSERT_EQ(log.events.size(), 2u);
    EXPECT_EQ(log.events[1], (Event{WM_SIZE, SIZE_RESTORED, MAKELPARAM(kWidth, kHeight)}));

    // What SDL reports about the same size afterwards is not sent again.
    PumpUntil([] { return false; });
    EXPECT_EQ(log.Only(WM_SIZE).size(), 1u);
}

TEST_F(SdlWindowTest, PointerInClientCoordinatesMovesAfterSetCursorAndRgbaCursors) {
    Show();
    SDL_WarpMouseInWindow(window->GetSdlWindow(), 30, 40);
    ASSERT_TRUE(PumpUntil([&] { return !log.Only(WM_MOUSEMOVE).empty(); }));
    const Event move = log.Only(WM_MOUSEMOVE).back();
    EXPECT_EQ(LOWORD(move.lParam), 30);
    EXPECT_EQ(HIWORD(move.lParam), 40);
    ASSERT_GE(log.events.size(), 2u);
    EXPECT_EQ(log.events[log.events.size() - 2].message, WM_SETCURSOR);

    POINT point;
    ASSERT_TRUE(system->GetCursorPos(&point));
    window->ScreenToClient(&point);
    EXPECT_EQ(point.x, 30);
    EXPECT_EQ(point.y, 40);

    std::array<std::uint8_t, 32 * 32 * 4> pixels;
    pixels.fill(0xFF);
    Cursor* hover = system->CreateCursor(pixels.data(), 32, 32, 15, 15);
    ASSERT_NE(hover, nullptr);
    EXPECT_EQ(system->CreateCursor(pixels.data(), 32, 32, -1, 0), nullptr);
    EXPECT_EQ(system->SetCursor(hover), system->GetArrowCursor());
    EXPECT_EQ(system->SetCursor(system->GetArrowCursor()), hover);
}

TEST_F(SdlWindowTest, KeyEventsKeyStateAndKeyNames) {
    Show();

    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(window->GetSdlWindow());
    event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    event.key.keysym.scancode = SDL_SCANCODE_INTERNATIONAL1;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    ASSERT_TRUE(PumpUntil([&] { return log.Only(WM_KEYUP).size() == 2; }));
    EXPECT_EQ(log.Only(WM_KEYUP)[0].wParam, VK_ESCAPE);
    EXPECT_EQ(log.Only(WM_KEYUP)[1].wParam, VK_OEM_102);
    EXPECT_EQ((log.Only(WM_KEYUP)[0].lParam >> 16) & 0x3FF, SDL_SCANCODE_ESCAPE);

    // Real key presses from the X server (xdotool's XTest): the state is the keyboard's, with the
    // US backslash key standing for the JIS "]" key at the same place. The pointer rests in the
    // window, which has the focus on a server without a window manager.
    SDL_WarpMouseInWindow(window->GetSdlWindow(), 10, 10);
    std::array<std::uint8_t, kVirtualKeyCount> keys;
    const auto down = [&](std::uint8_t vk) {
        return PumpUntil([&] {
            keys.fill(0xFF);
            return system->GetKeyboardState(keys.data()) && keys[vk] == 0x80;
        });
    };
    ASSERT_EQ(std::system("xdotool keydown z keydown backslash"), 0);
    EXPECT_TRUE(down(0x5A));
    EXPECT_TRUE(down(VK_OEM_6));
    EXPECT_EQ(keys[0x41], 0);
    EXPECT_EQ(keys[VK_OEM_5], 0);
    ASSERT_EQ(std::system("xdotool keyup z keyup backslash"), 0);
    EXPECT_TRUE(PumpUntil([&] { return log.Only(WM_KEYUP).size() == 4; }));
    system->GetKeyboardState(keys.data());
    EXPECT_EQ(keys[0x5A], 0);
    EXPECT_EQ(keys[VK_OEM_6], 0);
    ASSERT_EQ(log.Only(WM_KEYUP).size(), 4u);
    EXPECT_EQ(log.Only(WM_KEYUP)[2].wParam, 0x5Au);
    EXPECT_EQ(log.Only(WM_KEYUP)[3].wParam, VK_OEM_6);

    // Names of the active layout (US here); the JIS-only keys get a name all the same.
    EXPECT_EQ(system->GetKeyName(0x41), "A");
    EXPECT_EQ(system->GetKeyName(VK_OEM_COMMA), ",");
    EXPECT_FALSE(system->GetKeyName(VK_OEM_102).empty());
    EXPECT_FALSE(system->GetKeyName(VK_OEM_5).empty());
}

// Lower bounds and generous upper ones only: the point is which events end the pause.
TEST_F(SdlWindowTest, TheFramePauseEndsForAKeyGoingDownButNotForItsRepeats) {
    Show();
    using Clock = std::chrono::steady_clock;
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(window->GetSdlWindow());
    event.key.keysym.scancode = SDL_SCANCODE_Z;
    event.key.repeat = 1;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    Clock::time_point start = Clock::now();
    system->WaitForKeyInput(150);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140));
    test::DrainQueue(*system);

    event.key.repeat = 0;
    std::thread press([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SDL_PushEvent(&event);
    });
    start = Clock::now();
    system->WaitForKeyInput(30000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
    press.join();
}

}  // namespace
}  // namespace platform
