// The event queue on the null backend: creation and first show, dispatch order, the quit request,
// window timers on a clock the test steps, and blocking waits.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "platform/window/NullWindow.h"
#include "tests/platform/WindowEventLog.h"

namespace platform {
namespace {

using test::Event;

class WindowQueueTest : public ::testing::Test {
protected:
    WindowQueueTest() : system([this] { return now; }) {}
    // A window whose procedure logs, then answers `create` to WM_CREATE and posts quit 5 on
    // WM_DESTROY.
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

TEST_F(WindowQueueTest, CreateRunsDuringCreationAndTheFirstShowDeliversTheSizeAtOnce) {
    std::unique_ptr<Window> window = Create();
    ASSERT_TRUE(window);
    window->ShowWindow(SW_SHOW);
    // Showing again changes no size, so nothing more is sent or queued.
    window->ShowWindow(SW_SHOW);
    EXPECT_EQ(test::DrainQueue(system), 0);
    EXPECT_EQ(log.events, (std::vector<Event>{{WM_CREATE, 0, 0},
                                              {WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}}));
    // A create result of -1 fails creation, after the destroy event.
    log.events.clear();
    EXPECT_FALSE(Create(-1));
    EXPECT_EQ(log.events, (std::vector<Event>{{WM_CREATE, 0, 0}, {WM_DESTROY, 0, 0}}));
}

TEST_F(WindowQueueTest, EventsReachTheProcedureInOrderThenQuitThenTimers) {
    std::unique_ptr<Window> window = Create();
    log.events.clear();
    system.PostQuitMessage(3);
    window->SetTimer(1, 10);
    now += 10;
    // A captured pointer left of the window: x = -10 travels as 65526.
    const std::vector<Event> sent{
        {WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<std::uint32_t>(-10), 20)},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)},
        {WM_LBUTTONUP, 0, MAKELPARAM(9, 10)},
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
    EXPECT_EQ(std::pair(65526, 20),
              std::pair(int{LOWORD(log.events[0].lParam)}, int{HIWORD(log.events[0].lParam)}));
    std::vector<std::pair<std::uint32_t, WPARAM>> rest;
    while (system.PeekMessage(&msg)) {
        rest.emplace_back(msg.message, msg.wParam);
    }
    EXPECT_EQ(rest, (std::vector<std::pair<std::uint32_t, WPARAM>>{{WM_QUIT, 3}, {WM_TIMER, 1}}));
}

TEST_F(WindowQueueTest, CloseDestroysAndTheQuitRequestEndsTheLoop) {
    std::unique_ptr<Window> window = Create(), other = system.CreateWindow({}, nullptr);
    system.PostMessage(window.get(), WM_CLOSE, 0, 0);
    system.PostMessage(other.get(), WM_KEYUP, 0x41, 0);
    // The frame loop's shape: poll and dispatch, otherwise wait, until quit is taken.
    int iterations = 0;
    while (msg.message != WM_QUIT && ++iterations < 100) {
        if (system.PeekMessage(&msg)) {
            system.DispatchMessage(msg);
        } else {
            system.WaitMessage();
        }
    }
    EXPECT_EQ(std::tuple(std::uint32_t{WM_QUIT}, WPARAM{5}, 3, true, std::size_t{1}),
              std::tuple(msg.message, msg.wParam, iterations, window->IsDestroyed(),
                         log.Only(WM_DESTROY).size()));
    EXPECT_FALSE(system.PostMessage(window.get(), WM_KEYUP, VK_ESCAPE, 0));
    // Deleting a window drops what was queued for it, and its timers.
    system.PostMessage(other.get(), WM_KEYUP, 0x42, 0);
    other->SetTimer(7, 10);
    other.reset();
    EXPECT_FALSE(Due(now + 100));
}

TEST_F(WindowQueueTest, TimersComeDueOncePerPeriodAcrossTheClockWrapWithoutBursts) {
    std::unique_ptr<Window> window = Create();
    ASSERT_TRUE(window->SetTimer(32767, 40));
    EXPECT_FALSE(system.SetTimer(nullptr, 1, 40));
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
    EXPECT_TRUE(window->KillTimer(32767));
    EXPECT_FALSE(window->KillTimer(32767));
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

TEST(WindowQueueWaitTest, WaitMessageReturnsForAPostFromAnotherThreadAndForADueTimer) {
    NullWindowSystem system;
    std::unique_ptr<Window> window = system.CreateWindow(WindowDesc{}, nullptr);
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        system.PostMessage(window.get(), WM_KEYUP, VK_ESCAPE, 0);
    });
    system.WaitMessage();
    MSG msg;
    ASSERT_TRUE(system.PeekMessage(&msg));
    EXPECT_EQ(msg.message, WM_KEYUP);
    poster.join();
    const auto start = std::chrono::steady_clock::now();
    window->SetTimer(9, 25);
    system.WaitMessage();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    ASSERT_TRUE(system.PeekMessage(&msg));
    EXPECT_EQ(msg.wParam, 9u);
}

}  // namespace
}  // namespace platform
