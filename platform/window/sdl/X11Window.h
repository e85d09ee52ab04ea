#pragma once
// What SDL does not tell about an X11 window: its id, and a foreign window's current size.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <cstdint>

struct SDL_Window;

namespace platform {

// True when the X server of $DISPLAY has a window of that id. Asked on a connection of its own,
// so that a wrong id is an answer rather than a fatal X error.
bool X11WindowExists(std::uint64_t id);

// 0 when the window is not an X11 one.
std::uint64_t X11WindowId(SDL_Window* window);

// The window's size as the X server has it now; false when it cannot be read.
bool ReadX11WindowSize(SDL_Window* window, int* width, int* height);

}  // namespace platform
