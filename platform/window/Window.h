#pragma once
// Windows, their events and the event queue, in the shape the system's window code is written
// for: each window has a procedure taking (window, event, two parameters) and returning a result,
// and one queue per program is polled, dispatched and waited on by the frame loop. Event codes,
// parameter packing and show commands carry Win32's values, so the procedures read as written.
//
// Two backends behind WindowSystem, chosen at start-up: SDL (SdlWindow.cpp) and a null one with
// no display (NullWindow.h), for tests and headless runs. Each says what it provides.

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/GraphicsTypes.h"
#include "platform/window/KeyListener.h"

struct SDL_Window;

namespace platform {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct POINT {
    std::int32_t x, y;
};

inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_SIZE = 0x0005;  // wParam: SIZE_*, lParam: client w, h
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;      // default processing destroys the window
inline constexpr std::uint32_t WM_QUIT = 0x0012;       // wParam: exit code; never dispatched
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;  // default processing shows the class cursor
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;    // wParam: virtual key, lParam: see below
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_TIMER = 0x0113;      // wParam: timer id
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;  // wParam: MK_*, lParam: client x, y
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;

inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr WPARAM SIZE_MAXHIDE = 4;  // never sent here: no other window's state hides ours

inline constexpr WPARAM MK_LBUTTON = 0x0001;

// Key events carry the virtual key (0 for a key outside the key table) and, in lParam, a repeat
// count of 1, the SDL scancode in bits 16 up, bit 30 for "was down before", bit 31 for key up.

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;

inline constexpr std::uint32_t WS_POPUP = 0x80000000u;  // no border, no caption
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;  // resizable
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;

inline constexpr int CW_USEDEFAULT = INT_MIN;

// Pointer coordinates travel as two unsigned 16-bit halves, so a captured pointer left of or
// above the window arrives wrapped, never sign-extended.
constexpr LPARAM MAKELPARAM(std::uint32_t low, std::uint32_t high) {
    return static_cast<LPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr std::uint16_t LOWORD(std::uintptr_t value) {
    return value & 0xFFFFu;
}
constexpr std::uint16_t HIWORD(std::uintptr_t value) {
    return (value >> 16) & 0xFFFFu;
}

class Window;
class WindowSystem;

struct MSG {
    Window* hwnd = nullptr;  // null for the quit event
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::uint32_t time = 0;  // timeGetTime when queued
};

// Placement in client coordinates: rcNormalPosition is the client area's rectangle on the
// desktop in the restored state, whatever the window's state now.
struct WINDOWPLACEMENT {
    int showCmd = SW_SHOWNORMAL;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED
    RECT rcNormalPosition{};
};

struct DisplayMode {
    std::uint32_t Width = 0, Height = 0, RefreshRate = 0;
    std::uint32_t Format = 0;  // Direct3D format code: 22 X8R8G8B8, 23 R5G6B5, 0 other
};

using WindowProc =
    std::function<LRESULT(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam)>;

class Cursor {
public:
    virtual ~Cursor() = default;
};

struct WindowDesc {
    std::string title;
    // Client area; CW_USEDEFAULT lets the window manager place the window and gives it three
    // quarters of the desktop in each direction.
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    std::uint32_t style = WS_OVERLAPPEDWINDOW;
    Cursor* cursor = nullptr;  // class cursor shown by default processing; null: the arrow
    bool openGl = false;       // the window will carry an OpenGL context
    // The window's icon as 32-bit RGBA pixels, rows top first; none when null.
    const std::uint8_t* iconRgba = nullptr;
    int iconWidth = 0, iconHeight = 0;
    // The smallest client area the user may size the window to, where the window manager holds
    // to it (an X server without one does not); 0: no limit.
    int minWidth = 0, minHeight = 0;
};

class Window {
public:
    virtual ~Window() = default;

    WindowSystem& System() const { return m_system; }
    Cursor* ClassCursor() const { return m_classCursor; }

    // The first show of a window delivers its first size event before returning.
    virtual void ShowWindow(int showCommand) = 0;
    // Sends destroy to the procedure, then closes the window; no event reaches it afterwards.
    virtual void DestroyWindow() = 0;
    virtual bool IsDestroyed() const = 0;

    virtual void GetClientRect(RECT* rect) const = 0;  // origin 0, 0
    virtual void ScreenToClient(POINT* point) const = 0;

    virtual bool GetWindowPlacement(WINDOWPLACEMENT* placement) const = 0;
    // Leaves full screen if need be, then restores the rectangle and applies the show state.
    virtual bool SetWindowPlacement(const WINDOWPLACEMENT& placement) = 0;
    virtual void SetWindowStyle(std::uint32_t style) = 0;  // WS_POPUP or WS_OVERLAPPEDWINDOW
    virtual std::uint32_t GetWindowStyle() const = 0;
    virtual void SetTopMost(bool topMost) = 0;
    virtual bool IsTopMost() const = 0;
    virtual void MoveWindow(int x, int y, int width, int height) = 0;  // client rectangle
    // Desktop full screen: borderless, above other windows, the size of the display.
    virtual void SetFullScreen(bool fullScreen) = 0;
    virtual bool IsFullScreen() const = 0;

    // Window timers: WM_TIMER with wParam = id arrives through the queue every `milliseconds`
    // (at least 10); a late timer is not made up for. Setting an id again restarts it.
    bool SetTimer(WPARAM id, std::uint32_t milliseconds);
    bool KillTimer(WPARAM id);

    // The SDL window behind this one, for the drawing device; null in the null backend.
    virtual SDL_Window* GetSdlWindow() const { return nullptr; }

    LRESULT CallProcedure(std::uint32_t message, WPARAM wParam, LPARAM lParam);

protected:
    Window(WindowSystem& system, WindowProc procedure, Cursor* classCursor)
        : m_system(system), m_procedure(std::move(procedure)), m_classCursor(classCursor) {}

    // Sends WM_SIZE with (kind, size), at once or through the queue, unless it is what was sent
    // last: every change of state gives one event, and so one device reset.
    void DeliverSize(WPARAM kind, LPARAM size, bool synchronously);

private:
    WindowSystem& m_system;
    WindowProc m_procedure;
    Cursor* m_classCursor;
    bool m_sizeReported = false;
    WPARAM m_reportedKind = 0;
    LPARAM m_reportedSize = 0;
};

// Default processing: close destroys the window, set-cursor shows its class cursor; every other
// event is ignored with result 0.
LRESULT DefWindowProc(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam);

class WindowSystem {
public:
    WindowSystem();
    virtual ~WindowSystem();

    // Runs the procedure's create event before returning; a create result of -1 fails creation
    // (destroy is still sent). The window starts hidden.
    virtual std::unique_ptr<Window> CreateWindow(const WindowDesc& desc, WindowProc procedure) = 0;
    // A window of another program (an X11 window id) that this one draws into with OpenGL, as a
    // screen saver draws into the window its host gives it. It is neither shown, moved nor
    // destroyed by us, and brings no input events; its size is read from the system whenever it
    // is asked for. Runs the create event as CreateWindow does; null where the backend has no
    // such windows or the id names none.
    virtual std::unique_ptr<Window> CreateForeignWindow(std::uint64_t nativeId,
                                                        WindowProc procedure) {
        (void)nativeId;
        (void)procedure;
        return nullptr;
    }

    // Takes the next event without blocking: posted and input events in order, then the quit
    // request, then a due timer.
    virtual bool PeekMessage(MSG* msg) = 0;
    // Runs the target window's procedure synchronously; events for destroyed windows are dropped.
    LRESULT DispatchMessage(const MSG& msg);
    // Returns once PeekMessage has something to take.
    virtual void WaitMessage() = 0;
    // The frame loop's pause: returns after `milliseconds`, or as soon as a key has gone down or
    // up since PeekMessage last found nothing, so that a struck key need not wait out the pause.
    // A held key's auto-repeat does not end it.
    virtual void WaitForKeyInput(std::uint32_t milliseconds) = 0;
    // Safe from any thread, as long as the window outlives the call.
    virtual bool PostMessage(Window* window, std::uint32_t message, WPARAM wParam,
                             LPARAM lParam) = 0;
    virtual void PostQuitMessage(int exitCode) = 0;
    virtual bool SetTimer(Window* window, WPARAM id, std::uint32_t milliseconds) = 0;
    virtual bool KillTimer(Window* window, WPARAM id) = 0;

    // Pointer capture keeps pointer events coming while the pointer is outside the window.
    virtual void SetCapture(Window* window) = 0;
    virtual void ReleaseCapture() = 0;
    virtual Window* GetCapture() const = 0;
    virtual bool GetCursorPos(POINT* screen) const = 0;
    // A cursor from 32-bit RGBA pixels (rows top first) with its hot spot; it lives as long as
    // the window system. Null when the image is unusable.
    virtual Cursor* CreateCursor(const std::uint8_t* rgba, int width, int height, int hotX,
                                 int hotY) = 0;
    virtual Cursor* GetArrowCursor() = 0;
    // Null hides the pointer. Returns the previous cursor.
    virtual Cursor* SetCursor(Cursor* cursor) = 0;
    virtual Cursor* GetCursor() const = 0;

    // The desktop's mode on the display that shows the window (the first display for null).
    virtual bool GetDisplayMode(const Window* window, DisplayMode* mode) const = 0;

    // keys[vk] = 0x80 for every virtual key of the key table that is down, 0 otherwise.
    virtual bool GetKeyboardState(std::uint8_t* keys) const = 0;
    // Starts watching the keys of `window` apart from the event queue: onChange runs on the
    // listener's own thread whenever a key of the key table goes down or up, however busy the
    // thread that draws is. Null where the system cannot see keys but through its queue; the
    // keys are then read once per frame. The window must outlive the listener.
    virtual std::unique_ptr<KeyListener> ListenForKeys(Window* /*window*/,
                                                       KeyListener::ChangeCallback /*onChange*/) {
        return nullptr;
    }
    // The key's label in the active layout, or its JIS legend where the layout has none.
    virtual std::string GetKeyName(std::uint8_t virtualKey) const = 0;
};

// The quit request of code that has no window at hand, as the system's PostQuitMessage: it goes
// to the queue of the window system created last that is still alive, and is dropped (with a
// line on the debug channel) when there is none.
void PostQuitMessage(int exitCode);

// The exit status of a program ended by a fatal problem (a failed start-up, a device that cannot
// be brought back): its quit request carries it, so whoever started the program can tell.
inline constexpr int kFailureExitCode = 1;

// The X11 window id behind a window, for handing it to other programs and toolkits; 0 where there
// is none (the null backend, a display system other than X11).
std::uint64_t NativeWindowId(const Window* window);

// SDL's video subsystem; null when it cannot start (no display).
std::unique_ptr<WindowSystem> CreateSdlWindowSystem();
// SDL when it starts, the null backend otherwise.
std::unique_ptr<WindowSystem> CreateWindowSystem();

}  // namespace platform
