// Windowing without a display: queue and timers on a stepped clock, key table, message text.

#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <set>
#include <tuple>

#include "platform/system/SystemServices.h"
#include "platform/window/KeyMap.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "tests/platform/WindowEventLog.h"

namespace platform {
namespace {

using test::Event;

class WindowQueueTest : public ::testing::Test {
protected:
    WindowQueueTest() : system([this] { return now; }) {}
    // A window that logs, answers `create` to WM_CREATE and posts quit 5 on WM_DESTROY.
    std::unique_ptr<Window> Create(LRESULT create = 0) {
        WindowDesc desc;
        desc.width = 640;
        desc.height = 480;
        return system.CreateWindow(
            desc, [=, this](Window* window, std::uint32_t message, WPARAM w, LPARAM l) {
                log.events.push_back(Event{message, w, l});
                if (message == WM_DESTROY) {
                    window->System().PostQuitMessage(5);
                }
                return message == WM_CREATE ? create : DefWindowProc(window, message, w, l);
            });
    }
    // Steps the clock to `at` and takes the next event.
    bool Due(std::uint32_t at) {
        now = at;
        return system.PeekMessage(&msg);
    }
    std::uint32_t now = 1000;
    NullWindowSystem system;
    test::EventLog log;
    MSG msg{};
};

// The first show sends the size at once, showing again nothing; -1 from WM_CREATE fails creation
// after WM_DESTROY. Posted events arrive in order, then the quit request, then timers.
TEST_F(WindowQueueTest, CreationFirstShowAndEventsInOrderThenQuitThenTimers) {
    std::unique_ptr<Window> window = Create();
    window->ShowWindow(SW_SHOW);
    window->ShowWindow(SW_SHOW);
    EXPECT_EQ(test::DrainQueue(system), 0);
    EXPECT_EQ(log.events, (std::vector<Event>{{WM_CREATE, 0, 0},
                                              {WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}}));
    log.events.clear();
    system.PostQuitMessage(3);
    window->SetTimer(1, 10);
    now += 10;
    // A captured pointer left of the window.
    const std::vector<Event> sent{
        {WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<std::uint32_t>(-10), 20)},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)},
        {WM_KEYUP, VK_ESCAPE, 0},
        {WM_KILLFOCUS, 0, 0}};
    for (const Event& event : sent) {
        ASSERT_TRUE(system.PostMessage(window.get(), event.message, event.wParam, event.lParam));
    }
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_TRUE(system.PeekMessage(&msg));
        system.DispatchMessage(msg);
    }
    EXPECT_EQ(log.events, sent);
    std::vector<std::pair<std::uint32_t, WPARAM>> rest;
    for (int i = 0; i < 4 && system.PeekMessage(&msg); ++i) {  // a timer due again would repeat
        rest.emplace_back(msg.message, msg.wParam);
    }
    EXPECT_EQ(rest, (std::vector<std::pair<std::uint32_t, WPARAM>>{{WM_QUIT, 3}, {WM_TIMER, 1}}));
    log.events.clear();
    EXPECT_FALSE(Create(-1));
    EXPECT_EQ(log.events, (std::vector<Event>{{WM_CREATE, 0, 0}, {WM_DESTROY, 0, 0}}));
}

// Close destroys, destroying posts quit, and deleting a window drops its events and timers.
TEST_F(WindowQueueTest, CloseDestroysAndTheQuitRequestEndsTheLoop) {
    std::unique_ptr<Window> window = Create(), other = system.CreateWindow({}, nullptr);
    system.PostMessage(window.get(), WM_CLOSE, 0, 0);
    system.PostMessage(other.get(), WM_KEYUP, 0x41, 0);
    while (msg.message != WM_QUIT && system.PeekMessage(&msg)) {
        system.DispatchMessage(msg);
    }
    EXPECT_EQ(
        std::tuple(std::uint32_t{WM_QUIT}, WPARAM{5}, true, std::size_t{1}),
        std::tuple(msg.message, msg.wParam, window->IsDestroyed(), log.Only(WM_DESTROY).size()));
    EXPECT_FALSE(system.PostMessage(window.get(), WM_KEYUP, VK_ESCAPE, 0));
    system.PostMessage(other.get(), WM_KEYUP, 0x42, 0);
    other->SetTimer(7, 10);
    other.reset();
    EXPECT_FALSE(Due(now + 100));
}

TEST_F(WindowQueueTest, TimersComeDueOncePerPeriodAcrossTheClockWrapWithoutBursts) {
    std::unique_ptr<Window> window = Create();
    ASSERT_TRUE(window->SetTimer(32767, 40));
    const auto steps = [&](std::initializer_list<std::pair<std::uint32_t, bool>> expected) {
        for (auto [at, due] : expected) {
            EXPECT_EQ(due, Due(at)) << "at " << at;
        }
    };
    steps({{1039, false}, {1040, true}});
    EXPECT_EQ(std::tuple(std::uint32_t{WM_TIMER}, WPARAM{32767}, window.get()),
              std::tuple(msg.message, msg.wParam, msg.hwnd));
    // A loop that was away for ten periods gets one event, and the next a period later.
    steps({{1040, false}, {1440, true}, {1440, false}, {1479, false}, {1480, true}});
    EXPECT_EQ(std::pair(true, false),
              (std::pair{window->KillTimer(32767), window->KillTimer(32767)}));
    steps({{2000, false}});
    now = 0xFFFFFFF0u;
    window->SetTimer(1, 40);
    steps({{0xFFFFFFFFu, false}, {0x17, false}, {0x18, true}});
    // Setting an id again restarts it; a zero period is raised to the minimum.
    now = 5000;
    window->SetTimer(1, 0);
    steps({{5000 + MessageQueue::kMinimumTimerMs - 1, false},
           {5000 + MessageQueue::kMinimumTimerMs, true}});
}

// The 48 keys of the instrument's keyboard and Escape each reach a physical key of their own both
// ways and have a JIS legend. The JIS-only keys reach the international scancodes, the others the
// key at their place; labels fall back to the JIS legends.
TEST(KeyMapTest, KeysMapByPhysicalPositionOnAJisKeyboardBothWaysWithLegends) {
    std::set<std::uint16_t> scancodes;
    for (const KeyMapping& key : KeyMappings()) {
        SCOPED_TRACE(::testing::Message() << "virtual key 0x" << std::hex << int(key.virtualKey));
        const std::uint16_t scancode = ScancodeOfVirtualKey(key.virtualKey);
        EXPECT_TRUE(scancode != 0 && scancodes.insert(scancode).second) << scancode;
        EXPECT_EQ(VirtualKeyOfScancode(scancode), key.virtualKey);
        EXPECT_FALSE(JisLegend(key.virtualKey).empty());
    }
    EXPECT_EQ(KeyMappings().size(), 49u);
    // clang-format off
    const std::tuple<std::uint8_t, SDL_Scancode, const char*> places[] = {
        {VK_OEM_102, SDL_SCANCODE_INTERNATIONAL1, "\\"}, {VK_OEM_6, SDL_SCANCODE_BACKSLASH, "]"},
        {VK_OEM_5, SDL_SCANCODE_INTERNATIONAL3, "\u00A5"}, {VK_OEM_7, SDL_SCANCODE_EQUALS, "^"},
        {VK_OEM_PLUS, SDL_SCANCODE_SEMICOLON, ";"}, {VK_OEM_1, SDL_SCANCODE_APOSTROPHE, ":"},
        {VK_OEM_3, SDL_SCANCODE_LEFTBRACKET, "@"}, {VK_OEM_4, SDL_SCANCODE_RIGHTBRACKET, "["}};
    // clang-format on
    for (auto [vk, scancode, legend] : places) {
        EXPECT_EQ(std::pair(ScancodeOfVirtualKey(vk), ResolveKeyName(vk, "")),
                  std::pair(std::uint16_t{scancode}, std::string(legend)))
            << "virtual key 0x" << std::hex << int(vk);
    }
    EXPECT_EQ(std::tuple(0, 0, std::string("+")),
              std::tuple(ScancodeOfVirtualKey(0x70), VirtualKeyOfScancode(SDL_SCANCODE_F1),
                         ResolveKeyName(VK_OEM_PLUS, "+")));
}

// Message boxes wrap long lines at spaces, counting characters, not bytes, as the system's own
// boxes do; wildcards ignore ASCII case; the clock wraps.
TEST(SystemServicesTest, MessageTextWrapsAtSpacesWildcardsIgnoreAsciiCaseAndTheClockWraps) {
    const std::string longWord(12, 'x'), e4 = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::pair<std::string, std::string> texts[] = {
        {"", ""},
        {"fits in 10", "fits in 10"},
        {"aaa bbb ccc ddd", "aaa bbb\nccc ddd"},
        {"first line\nsecond one here", "first line\nsecond one\nhere"},
        {"a " + longWord + " b", "a\n" + longWord + "\nb"},
        {e4 + " " + e4 + " z", e4 + " " + e4 + "\nz"},
        {"ends with a break\n", "ends with\na break\n"}};
    for (const auto& [text, wrapped] : texts) {
        EXPECT_EQ(WrapMessageText(text, 10), wrapped) << text;
    }
    // clang-format off
    const std::tuple<const char*, const char*, bool> names[] = {
        {"*.gem", "JEWEL.GEM", true}, {"*.gem", ".gem", true},      {"*.gem", "a.gem.bak", false},
        {"*.gem", "jewelgem", false}, {"*ab", "aab", true},         {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "acb", false},      {"??.tmbr", "ab.tmbr", true}, {"??.tmbr", "abc.tmbr", false},
        {"*", "", true},              {"?", "", false}};
    // clang-format on
    for (const auto& [pattern, name, matches] : names) {
        EXPECT_EQ(matches, MatchesWildcard(pattern, name)) << pattern << " " << name;
    }
    EXPECT_EQ(ElapsedMilliseconds(0xFFFFFFF6u, 5u), 15u);
}

}  // namespace
}  // namespace platform
