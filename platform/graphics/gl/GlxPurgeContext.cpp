// A context that also reports video memory purged by the driver.
// Provides: on an X11 display whose GLX offers GLX_NV_robustness_video_memory_purge (NVIDIA's
// driver), a robust OpenGL 4.5 core context with "lose context on reset" that the driver also
// resets when it purges video memory (across a suspend and resume, say), so that the loss shows
// in the reset status instead of as textures of garbage. SDL cannot ask for that attribute, so
// the context is made here with GLX for the window's own visual and handed to SDL, which makes
// it current and deletes it like one of its own.
// Limitations: GLX only; under EGL (Wayland, offscreen) the caller's ordinary robust context is
// used. Not exercised where the extension is missing (Mesa), which is every test machine.
// Depends on: SDL2 (window system information), libepoxy (GLX entry points), Xlib.

// First, so that Xlib's macros (None, True, Success) meet none of our names.
#include "platform/graphics/gl/GlDevice.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <epoxy/glx.h>

namespace platform {

namespace {

bool g_xError = false;

int RecordXError(Display*, XErrorEvent*) {
    g_xError = true;
    return 0;
}

// The framebuffer configuration of the window's visual, so that the context can draw into it.
GLXFBConfig ConfigOfWindow(Display* display, int screen, ::Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        return nullptr;
    }
    const VisualID visual = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    GLXFBConfig found = nullptr;
    for (int i = 0; i < count && !found; ++i) {
        int id = 0;
        if (glXGetFBConfigAttrib(display, configs[i], GLX_VISUAL_ID, &id) == Success &&
            static_cast<VisualID>(id) == visual) {
            found = configs[i];
        }
    }
    if (configs) {
        XFree(configs);
    }
    return found;
}

}  // namespace

void* CreatePurgeReportingContext(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return nullptr;
    }
    Display* display = info.info.x11.display;
    const int screen = DefaultScreen(display);
    for (const char* extension : {"GLX_NV_robustness_video_memory_purge",
                                  "GLX_ARB_create_context_robustness",
                                  "GLX_ARB_create_context_profile"}) {
        if (!epoxy_has_glx_extension(display, screen, extension)) {
            return nullptr;
        }
    }
    const GLXFBConfig config = ConfigOfWindow(display, screen, info.info.x11.window);
    if (!config) {
        return nullptr;
    }
    const int attributes[] = {GLX_CONTEXT_MAJOR_VERSION_ARB,
                              4,
                              GLX_CONTEXT_MINOR_VERSION_ARB,
                              5,
                              GLX_CONTEXT_PROFILE_MASK_ARB,
                              GLX_CONTEXT_CORE_PROFILE_BIT_ARB,
                              GLX_CONTEXT_FLAGS_ARB,
                              GLX_CONTEXT_ROBUST_ACCESS_BIT_ARB,
                              GLX_CONTEXT_RESET_NOTIFICATION_STRATEGY_ARB,
                              GLX_LOSE_CONTEXT_ON_RESET_ARB,
                              GLX_GENERATE_RESET_ON_VIDEO_MEMORY_PURGE_NV,
                              True,
                              None};
    // A refused attribute arrives as an X error, which would otherwise end the program.
    XSync(display, False);
    g_xError = false;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    GLXContext context = glXCreateContextAttribsARB(display, config, nullptr, True, attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (g_xError || !context) {
        if (context) {
            glXDestroyContext(display, context);
        }
        return nullptr;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        glXDestroyContext(display, context);
        return nullptr;
    }
    return context;
}

}  // namespace platform
