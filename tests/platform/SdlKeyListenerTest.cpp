// The SDL backend's key listener on an X server: it hears the keyboard while nobody pumps the
// window's events, as while a frame draws, but never ahead of a pointer button.

#include <gtest/gtest.h>

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/window/KeyMap.h"
#include "platform/window/Window.h"

namespace platform {
namespace {

template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(SdlKeyListenerTest, KeysOfTheTableAreHeardWithoutPumpingWhileTheWindowHasTheFocus) {
    std::unique_ptr<WindowSystem> system = CreateSdlWindowSystem();
    ASSERT_TRUE(system) << "no SDL video: " << SDL_GetError();
    WindowDesc desc;
    desc.width = 320;
    desc.height = 200;
    std::unique_ptr<Window> window = system->CreateWindow(desc, nullptr);
    ASSERT_TRUE(window);
    window->ShowWindow(SW_SHOW);
    // Without a window manager the window under the pointer has the focus; SDL learns of it as
    // it pumps.
    SDL_WarpMouseInWindow(window->GetSdlWindow(), 10, 10);
    ASSERT_TRUE(WaitUntil([&] {
        MSG msg;
        while (system->PeekMessage(&msg)) {
        }
        return SDL_GetKeyboardFocus() == window->GetSdlWindow();
    }));

    std::atomic<int> changes{0};
    std::unique_ptr<KeyListener> listener = system->ListenForKeys(window.get(), [&] { ++changes; });
    ASSERT_TRUE(listener) << "an X server with XInput 2.2 has a listener";
    std::array<std::uint8_t, kVirtualKeyCount> keys{};
    auto zIs = [&](std::uint8_t state) {
        return WaitUntil([&] { return listener->GetKeyboardState(keys.data()) && keys['Z'] == state; });
    };

    // No event is pumped from here on.
    ASSERT_EQ(std::system("xdotool keydown z"), 0);
    EXPECT_TRUE(zIs(0x80));
    EXPECT_TRUE(WaitUntil([&] { return changes.load() >= 1; }));
    const int afterZ = changes.load();
    ASSERT_EQ(std::system("xdotool key F1"), 0);  // no key of the table
    ASSERT_EQ(std::system("xdotool keyup z"), 0);
    EXPECT_TRUE(zIs(0));
    EXPECT_TRUE(WaitUntil([&] { return changes.load() > afterZ; }));
    EXPECT_EQ(afterZ + 1, changes.load()) << "one call for Z's release, none for F1";

    // A key after a pointer button waits until the event thread has dispatched the button,
    // which may change what the key plays.
    ASSERT_EQ(std::system("xdotool click 1 keydown z"), 0);
    EXPECT_TRUE(zIs(0x80));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(afterZ + 1, changes.load()) << "the key overtook the button";
    MSG msg;
    while (system->PeekMessage(&msg)) {
    }
    EXPECT_TRUE(WaitUntil([&] { return changes.load() == afterZ + 2; }));
    ASSERT_EQ(std::system("xdotool keyup z"), 0);
    listener.reset();
}

}  // namespace
}  // namespace platform
