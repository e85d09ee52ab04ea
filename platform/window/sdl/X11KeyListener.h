#pragma once
// The SDL backend's key listener on an X display: see X11KeyListener.cpp.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <cstdint>
#include <memory>

#include "platform/window/KeyListener.h"

struct SDL_Window;

namespace platform {

class X11KeyListener : public KeyListener {
public:
    // Listens on the display that shows `window`; null when the window is not on an X display,
    // or the display lacks XInput 2.2.
    static std::unique_ptr<X11KeyListener> Create(SDL_Window* window, ChangeCallback onChange);
    // From the thread that pumps the window's events: keys count as down only while the window
    // has the keyboard focus, as SDL's own key state does.
    virtual void SetFocused(bool focused) = 0;
    // Pointer buttons the listener has seen go down or up, counted. A key change that follows a
    // button must not overtake it: a tile dropped or a bar let go of on the event thread may
    // change what the key plays. Until the event thread reports with PointerHandled that it has
    // dispatched every event it had when the count was `seen`, key changes are left to the frames.
    virtual std::uint64_t PointerSeen() const = 0;
    virtual void PointerHandled(std::uint64_t seen) = 0;
};

}  // namespace platform
