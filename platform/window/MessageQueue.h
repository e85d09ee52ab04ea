#pragma once
// The event queue that both window backends share: posted events in order, the quit request,
// and window timers, which are produced when asked for rather than queued, so a slow loop gets
// one late timer event instead of a burst.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/window/Window.h"

namespace platform {

class MessageQueue {
public:
    using Clock = std::function<std::uint32_t()>;
    static constexpr std::uint32_t kMinimumTimerMs = 10;

    // `wake` runs after every post, from the posting thread, for a backend whose wait sleeps
    // elsewhere than on this queue.
    explicit MessageQueue(Clock clock, std::function<void()> wake = {});

    void Post(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
    void PostQuit(int exitCode);
    // Posted events first, then the quit request, then the first timer that is due.
    bool Take(MSG* msg);
    bool HasMessage();
    // A key that went down or up is queued (a held key's repeats do not count).
    bool HasKeyChange();
    // Milliseconds until the next timer is due (0 if one is); none without timers.
    std::optional<std::uint32_t> TimeToNextTimer();
    // Blocks until something is posted or `timeoutMs` passes (no timeout: until a post).
    void WaitForPost(std::optional<std::uint32_t> timeoutMs);

    // Timers belong to the thread that waits on the queue: set and kill them from there.
    bool SetTimer(Window* window, WPARAM id, std::uint32_t milliseconds);
    bool KillTimer(Window* window, WPARAM id);
    // Drops the window's queued events and timers; it is going away.
    void Forget(Window* window);

private:
    struct Timer {
        Window* window;
        WPARAM id;
        std::uint32_t period;
        std::uint32_t deadline;
    };

    static bool IsDue(const Timer& timer, std::uint32_t now) {
        // Signed distance on the wrapping clock, so a deadline past 2^32 still comes due.
        return static_cast<std::int32_t>(now - timer.deadline) >= 0;
    }

    Clock m_clock;
    std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<MSG> m_events;
    std::optional<int> m_quit;
    std::vector<Timer> m_timers;
};

}  // namespace platform
