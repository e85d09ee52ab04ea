#include "platform/window/MessageQueue.h"

#include <algorithm>
#include <chrono>

namespace platform {

MessageQueue::MessageQueue(Clock clock, std::function<void()> wake)
    : m_clock(std::move(clock)), m_wake(std::move(wake)) {}

void MessageQueue::Post(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(MSG{window, message, wParam, lParam, m_clock()});
    }
    m_posted.notify_all();
    if (m_wake) {
        m_wake();
    }
}

void MessageQueue::PostQuit(int exitCode) {
    {
        std::lock_guard lock(m_mutex);
        m_quit = exitCode;
    }
    m_posted.notify_all();
    if (m_wake) {
        m_wake();
    }
}

bool MessageQueue::Take(MSG* msg) {
    std::lock_guard lock(m_mutex);
    if (!m_events.empty()) {
        *msg = m_events.front();
        m_events.pop_front();
        return true;
    }
    const std::uint32_t now = m_clock();
    if (m_quit) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(*m_quit), 0, now};
        m_quit.reset();
        return true;
    }
    for (Timer& timer : m_timers) {
        if (IsDue(timer, now)) {
            timer.deadline = now + timer.period;
            *msg = MSG{timer.window, WM_TIMER, timer.id, 0, now};
            return true;
        }
    }
    return false;
}

bool MessageQueue::HasMessage() {
    std::lock_guard lock(m_mutex);
    const std::uint32_t now = m_clock();
    return !m_events.empty() || m_quit ||
           std::any_of(m_timers.begin(), m_timers.end(),
                       [now](const Timer& timer) { return IsDue(timer, now); });
}

bool MessageQueue::HasKeyChange() {
    std::lock_guard lock(m_mutex);
    // A key-down's bit 30 says the key was already down: an auto-repeat.
    return std::any_of(m_events.begin(), m_events.end(), [](const MSG& msg) {
        return msg.message == WM_KEYUP ||
               (msg.message == WM_KEYDOWN && (msg.lParam & (LPARAM{1} << 30)) == 0);
    });
}

std::optional<std::uint32_t> MessageQueue::TimeToNextTimer() {
    std::lock_guard lock(m_mutex);
    const std::uint32_t now = m_clock();
    std::optional<std::uint32_t> soonest;
    for (const Timer& timer : m_timers) {
        const std::uint32_t wait = IsDue(timer, now) ? 0 : timer.deadline - now;
        soonest = soonest ? std::min(*soonest, wait) : wait;
    }
    return soonest;
}

void MessageQueue::WaitForPost(std::optional<std::uint32_t> timeoutMs) {
    std::unique_lock lock(m_mutex);
    const auto posted = [this] { return !m_events.empty() || m_quit.has_value(); };
    if (timeoutMs) {
        m_posted.wait_for(lock, std::chrono::milliseconds(*timeoutMs), posted);
    } else {
        m_posted.wait(lock, posted);
    }
}

bool MessageQueue::SetTimer(Window* window, WPARAM id, std::uint32_t milliseconds) {
    if (!window) {
        return false;
    }
    const std::uint32_t period = std::max(milliseconds, kMinimumTimerMs);
    {
        std::lock_guard lock(m_mutex);
        const std::uint32_t deadline = m_clock() + period;
        auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& timer) {
            return timer.window == window && timer.id == id;
        });
        if (it != m_timers.end()) {
            *it = Timer{window, id, period, deadline};
        } else {
            m_timers.push_back(Timer{window, id, period, deadline});
        }
    }
    return true;
}

bool MessageQueue::KillTimer(Window* window, WPARAM id) {
    std::lock_guard lock(m_mutex);
    const auto removed = std::erase_if(
        m_timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; });
    return removed > 0;
}

void MessageQueue::Forget(Window* window) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_events, [window](const MSG& msg) { return msg.hwnd == window; });
    std::erase_if(m_timers, [window](const Timer& timer) { return timer.window == window; });
}

}  // namespace platform
