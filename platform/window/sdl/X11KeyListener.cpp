// The key listener of the SDL backend on an X display.
// Provides: a thread with its own connection to the display that takes XInput 2 raw key events
// (sent to every client that asks, whatever window has the focus) and keeps which keys of the key
// table are down; they count as down only while the window has the keyboard focus, which the
// event-pumping thread reports. A change of the table's keys calls back on that thread at once,
// unless a pointer button went down or up before it and the event thread has not dispatched that
// yet: the frames then take the change, after the button, as they would without a listener.
// Limitations: X keycodes are taken as Linux input codes plus 8, which holds for every server
// that uses the evdev key codes (Xorg with evdev or libinput, Xwayland, Xvfb); a server with
// other key codes leaves the listener seeing the wrong keys. Under Wayland without Xwayland, or
// SDL's offscreen driver, there is no listener. Keys pressed before the listener starts are
// taken from the display's key map once.
// Depends on: Xlib and libXi (XInput 2.2), Linux eventfd and poll.

// First, so that Xlib's macros meet none of our names.
#include "platform/window/sdl/X11KeyListener.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/window/KeyMap.h"

namespace platform {

namespace {

constexpr int kKeycodeCount = 256;
// X keycodes of the evdev key codes: the Linux input code plus this.
constexpr int kEvdevKeycodeOffset = 8;

// The Linux input code of each scancode the key table names.
int LinuxInputCode(std::uint16_t scancode) {
    switch (scancode) {
        case SDL_SCANCODE_ESCAPE: return 1;
        case SDL_SCANCODE_1: return 2;
        case SDL_SCANCODE_2: return 3;
        case SDL_SCANCODE_3: return 4;
        case SDL_SCANCODE_4: return 5;
        case SDL_SCANCODE_5: return 6;
        case SDL_SCANCODE_6: return 7;
        case SDL_SCANCODE_7: return 8;
        case SDL_SCANCODE_8: return 9;
        case SDL_SCANCODE_9: return 10;
        case SDL_SCANCODE_0: return 11;
        case SDL_SCANCODE_MINUS: return 12;
        case SDL_SCANCODE_EQUALS: return 13;
        case SDL_SCANCODE_Q: return 16;
        case SDL_SCANCODE_W: return 17;
        case SDL_SCANCODE_E: return 18;
        case SDL_SCANCODE_R: return 19;
        case SDL_SCANCODE_T: return 20;
        case SDL_SCANCODE_Y: return 21;
        case SDL_SCANCODE_U: return 22;
        case SDL_SCANCODE_I: return 23;
        case SDL_SCANCODE_O: return 24;
        case SDL_SCANCODE_P: return 25;
        case SDL_SCANCODE_LEFTBRACKET: return 26;
        case SDL_SCANCODE_RIGHTBRACKET: return 27;
        case SDL_SCANCODE_A: return 30;
        case SDL_SCANCODE_S: return 31;
        case SDL_SCANCODE_D: return 32;
        case SDL_SCANCODE_F: return 33;
        case SDL_SCANCODE_G: return 34;
        case SDL_SCANCODE_H: return 35;
        case SDL_SCANCODE_J: return 36;
        case SDL_SCANCODE_K: return 37;
        case SDL_SCANCODE_L: return 38;
        case SDL_SCANCODE_SEMICOLON: return 39;
        case SDL_SCANCODE_APOSTROPHE: return 40;
        case SDL_SCANCODE_BACKSLASH: return 43;
        case SDL_SCANCODE_Z: return 44;
        case SDL_SCANCODE_X: return 45;
        case SDL_SCANCODE_C: return 46;
        case SDL_SCANCODE_V: return 47;
        case SDL_SCANCODE_B: return 48;
        case SDL_SCANCODE_N: return 49;
        case SDL_SCANCODE_M: return 50;
        case SDL_SCANCODE_COMMA: return 51;
        case SDL_SCANCODE_PERIOD: return 52;
        case SDL_SCANCODE_SLASH: return 53;
        case SDL_SCANCODE_INTERNATIONAL1: return 89;   // JIS ro
        case SDL_SCANCODE_INTERNATIONAL3: return 124;  // JIS yen
        default: return 0;
    }
}

class X11KeyListenerImpl final : public X11KeyListener {
public:
    X11KeyListenerImpl(Display* display, int xiOpcode, int wake, ChangeCallback onChange)
        : m_display(display), m_xiOpcode(xiOpcode), m_wake(wake), m_onChange(std::move(onChange)) {
        for (const KeyMapping& mapping : KeyMappings()) {
            const int code = LinuxInputCode(mapping.scancode);
            if (code != 0) {
                m_virtualKeys[code + kEvdevKeycodeOffset] = mapping.virtualKey;
            }
        }
        char keymap[kKeycodeCount / 8] = {};
        XQueryKeymap(m_display, keymap);
        for (int keycode = 0; keycode < kKeycodeCount; ++keycode) {
            m_down[keycode] = (keymap[keycode / 8] >> (keycode % 8)) & 1;
        }
        m_thread = std::thread([this] { Run(); });
    }

    ~X11KeyListenerImpl() override {
        Wake(kStop);
        m_thread.join();
        XCloseDisplay(m_display);
        close(m_wake);
    }

    bool GetKeyboardState(std::uint8_t* keys) const override {
        std::fill(keys, keys + kVirtualKeyCount, std::uint8_t{0});
        std::lock_guard lock(m_mutex);
        if (!m_focused) {
            return true;
        }
        for (int keycode = 0; keycode < kKeycodeCount; ++keycode) {
            if (m_virtualKeys[keycode] && m_down[keycode]) {
                keys[m_virtualKeys[keycode]] = 0x80;
            }
        }
        return true;
    }

    void SetFocused(bool focused) override {
        {
            std::lock_guard lock(m_mutex);
            if (m_focused == focused) {
                return;
            }
            m_focused = focused;
        }
        // The keys the window held are let go of (or found again) on the listener's thread.
        Wake(kRecheck);
    }

    std::uint64_t PointerSeen() const override {
        std::lock_guard lock(m_mutex);
        return m_pointerSeen;
    }

    void PointerHandled(std::uint64_t seen) override {
        {
            std::lock_guard lock(m_mutex);
            if (seen <= m_pointerHandled) {
                return;
            }
            m_pointerHandled = seen;
            if (!m_deferred || m_pointerHandled < m_pointerSeen) {
                return;
            }
            m_deferred = false;
        }
        // Key changes held back behind a button are acted on now, unless a frame already has.
        Wake(kRecheck);
    }

private:
    static constexpr std::uint64_t kRecheck = 1;
    static constexpr std::uint64_t kStop = std::uint64_t{1} << 32;

    void Wake(std::uint64_t what) {
        [[maybe_unused]] const ssize_t written = write(m_wake, &what, sizeof what);
    }

    // True when a key of the table changed while it counts.
    bool TakeEvent(XEvent& event) {
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != m_xiOpcode ||
            !XGetEventData(m_display, &cookie)) {
            return false;
        }
        bool changed = false;
        if (cookie.evtype == XI_RawButtonPress || cookie.evtype == XI_RawButtonRelease) {
            std::lock_guard lock(m_mutex);
            ++m_pointerSeen;
        } else if (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease) {
            const int keycode = static_cast<const XIRawEvent*>(cookie.data)->detail;
            const bool down = cookie.evtype == XI_RawKeyPress;
            if (keycode >= 0 && keycode < kKeycodeCount) {
                std::lock_guard lock(m_mutex);
                changed = m_down[keycode] != down && m_virtualKeys[keycode] && m_focused;
                m_down[keycode] = down;
            }
        }
        XFreeEventData(m_display, &cookie);
        return changed;
    }

    // True while a button seen before the change may not have been dispatched yet.
    bool DeferBehindPointer() {
        std::lock_guard lock(m_mutex);
        m_deferred = m_pointerHandled < m_pointerSeen;
        return m_deferred;
    }

    void Run() {
        pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wake, POLLIN, 0}};
        for (;;) {
            bool changed = false;
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                changed = TakeEvent(event) || changed;
            }
            if (changed && !DeferBehindPointer()) {
                m_onChange();
            }
            if (poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t what = 0;
                if (read(m_wake, &what, sizeof what) == sizeof what) {
                    if (what >= kStop) {
                        return;
                    }
                    if (!DeferBehindPointer()) {
                        m_onChange();
                    }
                }
            }
        }
    }

    Display* m_display;
    int m_xiOpcode;
    int m_wake;  // eventfd: focus changes and the stop request
    ChangeCallback m_onChange;
    std::array<std::uint8_t, kKeycodeCount> m_virtualKeys{};  // 0: not a key of the table
    mutable std::mutex m_mutex;
    std::array<bool, kKeycodeCount> m_down{};  // guarded by m_mutex
    bool m_focused = false;                    // guarded by m_mutex
    std::uint64_t m_pointerSeen = 0;           // guarded by m_mutex
    std::uint64_t m_pointerHandled = 0;        // guarded by m_mutex
    bool m_deferred = false;                   // a key change waits for the pointer; m_mutex
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<X11KeyListener> X11KeyListener::Create(SDL_Window* window,
                                                       ChangeCallback onChange) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return nullptr;
    }
    // A connection of our own: SDL's belongs to the thread that pumps its events.
    Display* display = XOpenDisplay(XDisplayString(info.info.x11.display));
    if (!display) {
        return nullptr;
    }
    int opcode = 0, event = 0, error = 0;
    // 2.2: raw events reach the root window whatever grabs are active.
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2 ||
        (major == 2 && minor < 2)) {
        XCloseDisplay(display);
        return nullptr;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XFlush(display);
    const int wake = eventfd(0, EFD_CLOEXEC);
    if (wake < 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11KeyListenerImpl>(display, opcode, wake, std::move(onChange));
}

}  // namespace platform
