#pragma once
// A window procedure that writes down what it receives, for the window tests.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/window/Window.h"

namespace platform::test {

struct Event {
    std::uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Event&) const = default;
};

struct EventLog {
    std::vector<Event> events;
    WindowProc Procedure() {
        return [this](Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
            events.push_back(Event{message, wParam, lParam});
            return DefWindowProc(window, message, wParam, lParam);
        };
    }
    std::vector<Event> Only(std::uint32_t message) const {
        std::vector<Event> found;
        std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                     [&](const Event& e) { return e.message == message; });
        return found;
    }
};

// Dispatches everything that is queued now; returns how many events were taken.
inline int DrainQueue(WindowSystem& system) {
    int taken = 0;
    for (MSG msg; system.PeekMessage(&msg); ++taken) {
        system.DispatchMessage(msg);
    }
    return taken;
}

}  // namespace platform::test
