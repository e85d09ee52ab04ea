// X11 facts about SDL windows, asked of the X server through the connection SDL holds.
// Limitations: X11 only; on another video driver every answer is "none". The existence check
// swaps Xlib's process-wide error handler for its round trip, so it is for the UI thread only.
// Depends on: SDL2's window-manager info, Xlib.

#include "platform/window/sdl/X11Window.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace platform {

namespace {

bool X11Info(SDL_Window* window, SDL_SysWMinfo* info) {
    if (!window) {
        return false;
    }
    SDL_VERSION(&info->version);
    return SDL_GetWindowWMInfo(window, info) == SDL_TRUE && info->subsystem == SDL_SYSWM_X11;
}

int g_errors = 0;

int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

}  // namespace

bool X11WindowExists(std::uint64_t id) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    // Xlib's handler is process-wide; it is ours only for this one round trip.
    g_errors = 0;
    XErrorHandler previous = XSetErrorHandler(CountError);
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display, static_cast<::Window>(id), &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return status != 0 && g_errors == 0;
}

std::uint64_t X11WindowId(SDL_Window* window) {
    SDL_SysWMinfo info;
    return X11Info(window, &info) ? static_cast<std::uint64_t>(info.info.x11.window) : 0;
}

bool ReadX11WindowSize(SDL_Window* window, int* width, int* height) {
    SDL_SysWMinfo info;
    if (!X11Info(window, &info)) {
        return false;
    }
    XWindowAttributes attributes;
    if (XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) == 0) {
        return false;
    }
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

}  // namespace platform
