// The SDL window backend.
// Provides: SDL windows driven by the shared event queue; SDL's window, key, pointer and quit
// events become WM_SIZE (restored, minimised, maximised; each distinct size once, the first show
// synchronously), WM_KILLFOCUS, WM_KEYDOWN/WM_KEYUP, WM_SETCURSOR before every uncaptured
// WM_MOUSEMOVE, WM_LBUTTONDOWN/WM_LBUTTONUP and WM_CLOSE; a quit signal (SIGINT, SIGTERM) closes
// every window. Pointer capture, RGBA cursors, placement, style, top-most and desktop full
// screen, the desktop display mode, key state from SDL_GetKeyboardState and key names from the
// active layout; on an X display, a key listener that sees keys while the event thread is busy
// (X11KeyListener.cpp).
// Limitations: placement rectangles are client areas (SDL does not expose the frame); the
// restored rectangle is learnt from events seen in the restored state, so a window maximised by
// the window manager before it was ever seen restored reports its creation rectangle; a window
// manager may ignore top-most and positions; capture needs the window to have had focus, as SDL
// captures only for the focused window (the button's own implicit grab still holds); no
// character input, no dropped files. Foreign windows (another program's X11 windows drawn into
// with OpenGL) bring no input and are never shown, moved or resized by us; their size is read
// from the X server.
// Depends on: SDL2's video subsystem and a display it can open (X11, Wayland, or offscreen).

#include <SDL.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <thread>
#include <utility>
#include <vector>

#include "platform/window/KeyMap.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/sdl/X11KeyListener.h"
#include "platform/window/sdl/X11Window.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"

namespace platform {

namespace {

constexpr const char* kWindowDataName = "tovel.window";
// The default client area is this share of the desktop in each direction.
constexpr int kDefaultSizeNumerator = 3;
constexpr int kDefaultSizeDenominator = 4;

class SdlCursor final : public Cursor {
public:
    explicit SdlCursor(SDL_Cursor* cursor) : m_cursor(cursor) {}
    ~SdlCursor() override { SDL_FreeCursor(m_cursor); }
    SDL_Cursor* Get() const { return m_cursor; }

private:
    SDL_Cursor* m_cursor;
};

class SdlWindowSystem;

class SdlWindow final : public Window {
public:
    SdlWindow(SdlWindowSystem& system, SDL_Window* window, std::uint32_t style, WindowProc proc,
              Cursor* classCursor, bool foreign = false);
    ~SdlWindow() override {
        DestroyWindow();
        if (m_closedWindow) {
            SDL_DestroyWindow(m_closedWindow);
        }
    }

    void ShowWindow(int showCommand) override;
    void DestroyWindow() override;
    bool IsDestroyed() const override { return m_window == nullptr; }

    void GetClientRect(RECT* rect) const override {
        int width = 0;
        int height = 0;
        // SDL learns nothing of a foreign window after taking it, so the server is asked.
        if (m_window && !(m_foreign && ReadX11WindowSize(m_window, &width, &height))) {
            SDL_GetWindowSize(m_window, &width, &height);
        }
        *rect = RECT{0, 0, width, height};
    }

    void ScreenToClient(POINT* point) const override {
        int x = 0;
        int y = 0;
        if (m_window) {
            SDL_GetWindowPosition(m_window, &x, &y);
        }
        point->x -= x;
        point->y -= y;
    }

    bool GetWindowPlacement(WINDOWPLACEMENT* placement) const override;
    bool SetWindowPlacement(const WINDOWPLACEMENT& placement) override;

    void SetWindowStyle(std::uint32_t style) override {
        m_style = style;
        if (m_window) {
            SDL_SetWindowBordered(m_window, (style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
            SDL_SetWindowResizable(m_window, (style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
        }
    }

    std::uint32_t GetWindowStyle() const override { return m_style; }

    void SetTopMost(bool topMost) override {
        if (m_window) {
            SDL_SetWindowAlwaysOnTop(m_window, topMost ? SDL_TRUE : SDL_FALSE);
        }
    }

    bool IsTopMost() const override { return Flags() & SDL_WINDOW_ALWAYS_ON_TOP; }

    void MoveWindow(int x, int y, int width, int height) override {
        if (!m_window) {
            return;
        }
        SDL_SetWindowPosition(m_window, x, y);
        SDL_SetWindowSize(m_window, width, height);
        if (IsRestored()) {
            m_normal = RECT{x, y, x + width, y + height};
        }
    }

    void SetFullScreen(bool fullScreen) override {
        if (!m_window) {
            return;
        }
        RememberNormal();
        SDL_SetWindowFullscreen(m_window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }

    bool IsFullScreen() const override { return Flags() & SDL_WINDOW_FULLSCREEN; }
    SDL_Window* GetSdlWindow() const override { return m_window; }

    void OnWindowEvent(const SDL_WindowEvent& event);

private:
    Uint32 Flags() const { return m_window ? SDL_GetWindowFlags(m_window) : 0; }
    bool IsRestored() const {
        return !(Flags() & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN));
    }
    void RememberNormal();
    void ReportSize(bool synchronously);

    SdlWindowSystem& m_sdl;
    SDL_Window* m_window;
    std::uint32_t m_style;
    RECT m_normal{};
    bool m_shown = false;
    bool m_foreign;
    SDL_Window* m_closedWindow = nullptr;  // destroyed, still hidden for a current context
};

class SdlWindowSystem final : public WindowSystem {
public:
    SdlWindowSystem()
        : m_uiThread(std::this_thread::get_id()),
          m_wakeEvent(SDL_RegisterEvents(1)),
          m_queue(timeGetTime, [this] { Wake(); }),
          m_arrow(std::make_unique<SdlCursor>(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW))),
          m_cursor(m_arrow.get()) {
        // Keys are polled and key events carry virtual keys: text input would only add IME
        // traffic. Dropped files are not taken.
        SDL_StopTextInput();
        for (Uint32 type : {SDL_DROPFILE, SDL_DROPTEXT, SDL_DROPBEGIN, SDL_DROPCOMPLETE}) {
            SDL_EventState(type, SDL_IGNORE);
        }
        SDL_SetCursor(m_arrow->Get());
    }

    ~SdlWindowSystem() override {
        assert(m_windows.empty() && "windows must be destroyed before their window system");
        // Cursors go before the video subsystem that made them.
        m_cursors.clear();
        m_arrow.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    std::unique_ptr<Window> CreateWindow(const WindowDesc& desc, WindowProc procedure) override;
    std::unique_ptr<Window> CreateForeignWindow(std::uint64_t nativeId,
                                                WindowProc procedure) override;

    bool PeekMessage(MSG* msg) override {
        Pump();
        if (m_queue.Take(msg)) {
            return true;
        }
        // Everything the pump took has been dispatched, pointer buttons included.
        for (const Listening& listening : m_listening) {
            listening.listener->PointerHandled(listening.pointerSeen);
        }
        return false;
    }

    void WaitMessage() override {
        for (;;) {
            Pump();
            if (m_queue.HasMessage()) {
                return;
            }
            const std::optional<std::uint32_t> timeout = m_queue.TimeToNextTimer();
            SDL_Event event;
            const int got =
                timeout ? SDL_WaitEventTimeout(
                              &event, static_cast<int>(std::min<std::uint32_t>(*timeout, INT_MAX)))
                        : SDL_WaitEvent(&event);
            if (got) {
                Translate(event);
            }
        }
    }

    void WaitForKeyInput(std::uint32_t milliseconds) override {
        const Uint64 deadline = SDL_GetTicks64() + milliseconds;
        for (;;) {
            Pump();
            const Uint64 now = SDL_GetTicks64();
            if (m_queue.HasKeyChange() || now >= deadline) {
                return;
            }
            SDL_Event event;
            if (SDL_WaitEventTimeout(&event, static_cast<int>(deadline - now))) {
                Translate(event);
            }
        }
    }

    bool PostMessage(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) override {
        if (window && window->IsDestroyed()) {
            return false;
        }
        m_queue.Post(window, message, wParam, lParam);
        return true;
    }

    void PostQuitMessage(int exitCode) override { m_queue.PostQuit(exitCode); }
    bool SetTimer(Window* window, WPARAM id, std::uint32_t milliseconds) override {
        return m_queue.SetTimer(window, id, milliseconds);
    }
    bool KillTimer(Window* window, WPARAM id) override { return m_queue.KillTimer(window, id); }

    void SetCapture(Window* window) override {
        m_capture = window;
        // Refused without keyboard focus; the capture still routes our events to the window.
        SDL_CaptureMouse(SDL_TRUE);
    }

    void ReleaseCapture() override {
        m_capture = nullptr;
        SDL_CaptureMouse(SDL_FALSE);
    }

    Window* GetCapture() const override { return m_capture; }

    bool GetCursorPos(POINT* screen) const override {
        int x = 0;
        int y = 0;
        // SDL's global position is a cached query that X11 refreshes only on raw input events,
        // which pointers driven through XTest never send: it can stay where a drag began. The
        // window that has the pointer (or holds the capture) follows every motion event.
        if (SDL_Window* focus = SDL_GetMouseFocus()) {
            int left = 0;
            int top = 0;
            SDL_GetMouseState(&x, &y);
            SDL_GetWindowPosition(focus, &left, &top);
            *screen = POINT{left + x, top + y};
            return true;
        }
        SDL_GetGlobalMouseState(&x, &y);
        *screen = POINT{x, y};
        return true;
    }

    Cursor* CreateCursor(const std::uint8_t* rgba, int width, int height, int hotX,
                         int hotY) override {
        if (!rgba || width <= 0 || height <= 0 || hotX < 0 || hotY < 0 || hotX >= width ||
            hotY >= height) {
            return nullptr;
        }
        // SDL only reads the pixels while it builds the cursor.
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint8_t*>(rgba), width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
        if (!surface) {
            return nullptr;
        }
        SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hotX, hotY);
        SDL_FreeSurface(surface);
        if (!cursor) {
            return nullptr;
        }
        m_cursors.push_back(std::make_unique<SdlCursor>(cursor));
        return m_cursors.back().get();
    }

    Cursor* GetArrowCursor() override { return m_arrow.get(); }

    Cursor* SetCursor(Cursor* cursor) override {
        Cursor* previous = std::exchange(m_cursor, cursor);
        if (cursor) {
            SDL_SetCursor(static_cast<SdlCursor*>(cursor)->Get());
            SDL_ShowCursor(SDL_ENABLE);
        } else {
            SDL_ShowCursor(SDL_DISABLE);
        }
        return previous;
    }

    Cursor* GetCursor() const override { return m_cursor; }

    bool GetDisplayMode(const Window* window, DisplayMode* mode) const override {
        int display = 0;
        if (window && window->GetSdlWindow()) {
            display = std::max(0, SDL_GetWindowDisplayIndex(window->GetSdlWindow()));
        }
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) {
            return false;
        }
        std::uint32_t format = 0;
        switch (SDL_BITSPERPIXEL(desktop.format)) {
            case 24:
            case 32:
                format = 22;
                break;
            case 16:
                format = 23;
                break;
            default:
                break;
        }
        *mode = DisplayMode{static_cast<std::uint32_t>(desktop.w),
                            static_cast<std::uint32_t>(desktop.h),
                            static_cast<std::uint32_t>(desktop.refresh_rate), format};
        return true;
    }

    bool GetKeyboardState(std::uint8_t* keys) const override {
        int count = 0;
        const Uint8* state = SDL_GetKeyboardState(&count);
        std::fill(keys, keys + kVirtualKeyCount, std::uint8_t{0});
        for (const KeyMapping& mapping : KeyMappings()) {
            if (mapping.scancode < count && state[mapping.scancode]) {
                keys[mapping.virtualKey] = 0x80;
            }
        }
        return true;
    }

    std::unique_ptr<KeyListener> ListenForKeys(Window* window,
                                               KeyListener::ChangeCallback onChange) override;

    std::string GetKeyName(std::uint8_t virtualKey) const override {
        const std::uint16_t scancode = ScancodeOfVirtualKey(virtualKey);
        if (scancode == 0) {
            return "";
        }
        const SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
        return ResolveKeyName(virtualKey, SDL_GetKeyName(key));
    }

    void Add(SdlWindow* window) { m_windows.push_back(window); }

    void Forget(SdlWindow* window) {
        std::erase(m_windows, window);
        m_queue.Forget(window);
        if (m_capture == window) {
            ReleaseCapture();
        }
    }

    void Post(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        m_queue.Post(window, message, wParam, lParam);
    }

private:
    // Posts from other threads must end an SDL_WaitEvent; our own thread is not waiting.
    void Wake() {
        if (std::this_thread::get_id() == m_uiThread || m_wakeEvent == Uint32(-1)) {
            return;
        }
        SDL_Event event{};
        event.type = m_wakeEvent;
        SDL_PushEvent(&event);
    }

    static SdlWindow* Lookup(Uint32 windowId) {
        SDL_Window* window = SDL_GetWindowFromID(windowId);
        return window ? static_cast<SdlWindow*>(SDL_GetWindowData(window, kWindowDataName))
                      : nullptr;
    }

    void Pump() {
        for (Listening& listening : m_listening) {
            listening.pointerSeen = listening.listener->PointerSeen();
        }
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            Translate(event);
        }
        // Listeners see the keys apart from SDL, but only while SDL gives the window the focus.
        SDL_Window* focus = SDL_GetKeyboardFocus();
        for (const Listening& listening : m_listening) {
            listening.listener->SetFocused(focus && focus == listening.window);
        }
    }

    friend class SdlKeyListener;
    struct Listening {
        X11KeyListener* listener;
        SDL_Window* window;
        std::uint64_t pointerSeen = 0;  // the listener's count when the last pump began
    };

    void Translate(const SDL_Event& event);
    void TranslatePointer(Uint32 windowId, int x, int y, std::uint32_t message, WPARAM buttons);

    std::thread::id m_uiThread;
    Uint32 m_wakeEvent;
    MessageQueue m_queue;
    std::unique_ptr<SdlCursor> m_arrow;
    Cursor* m_cursor;
    std::vector<std::unique_ptr<SdlCursor>> m_cursors;
    std::vector<SdlWindow*> m_windows;
    Window* m_capture = nullptr;
    std::vector<Listening> m_listening;
};

// Leaves the system's list of listeners before the listener stops.
class SdlKeyListener final : public KeyListener {
public:
    SdlKeyListener(SdlWindowSystem& system, std::unique_ptr<X11KeyListener> listener,
                   SDL_Window* window)
        : m_system(system), m_listener(std::move(listener)) {
        m_system.m_listening.push_back({m_listener.get(), window});
    }
    ~SdlKeyListener() override {
        std::erase_if(m_system.m_listening, [this](const SdlWindowSystem::Listening& listening) {
            return listening.listener == m_listener.get();
        });
    }
    bool GetKeyboardState(std::uint8_t* keys) const override {
        return m_listener->GetKeyboardState(keys);
    }

private:
    SdlWindowSystem& m_system;
    std::unique_ptr<X11KeyListener> m_listener;
};

std::unique_ptr<KeyListener> SdlWindowSystem::ListenForKeys(Window* window,
                                                            KeyListener::ChangeCallback onChange) {
    SDL_Window* sdlWindow = window ? window->GetSdlWindow() : nullptr;
    std::unique_ptr<X11KeyListener> listener = X11KeyListener::Create(sdlWindow, std::move(onChange));
    if (!listener) {
        return nullptr;
    }
    listener->SetFocused(sdlWindow == SDL_GetKeyboardFocus());
    return std::make_unique<SdlKeyListener>(*this, std::move(listener), sdlWindow);
}

SdlWindow::SdlWindow(SdlWindowSystem& system, SDL_Window* window, std::uint32_t style,
                     WindowProc proc, Cursor* classCursor, bool foreign)
    : Window(system, std::move(proc), classCursor),
      m_sdl(system),
      m_window(window),
      m_style(style),
      m_foreign(foreign) {
    SDL_SetWindowData(m_window, kWindowDataName, this);
    RememberNormal();
}

void SdlWindow::ShowWindow(int showCommand) {
    // Another program shows its own window.
    if (!m_window || m_foreign) {
        return;
    }
    switch (showCommand) {
        case SW_HIDE:
            SDL_HideWindow(m_window);
            return;
        case SW_SHOWNORMAL:
            SDL_SetWindowFullscreen(m_window, 0);
            SDL_ShowWindow(m_window);
            SDL_RestoreWindow(m_window);
            break;
        case SW_SHOWMINIMIZED:
            SDL_ShowWindow(m_window);
            SDL_MinimizeWindow(m_window);
            break;
        case SW_SHOWMAXIMIZED:
            SDL_ShowWindow(m_window);
            SDL_MaximizeWindow(m_window);
            break;
        default:
            SDL_ShowWindow(m_window);
            break;
    }
    if (!m_shown) {
        m_shown = true;
        ReportSize(true);
    }
}

void SdlWindow::DestroyWindow() {
    if (!m_window) {
        return;
    }
    CallProcedure(WM_DESTROY, 0, 0);
    m_sdl.Forget(this);
    SDL_Window* window = std::exchange(m_window, nullptr);
    SDL_SetWindowData(window, kWindowDataName, nullptr);
    // A device outlives the window it drew into until the program releases it, and its context
    // must stay current for that: a window still drawn into is hidden now (unless it is another
    // program's) and goes with this object.
    if (SDL_GL_GetCurrentWindow() == window) {
        if (!m_foreign) {
            SDL_HideWindow(window);
        }
        m_closedWindow = window;
    } else {
        SDL_DestroyWindow(window);
    }
}

bool SdlWindow::GetWindowPlacement(WINDOWPLACEMENT* placement) const {
    if (!m_window) {
        return false;
    }
    const Uint32 flags = Flags();
    placement->showCmd = (flags & SDL_WINDOW_MINIMIZED)   ? SW_SHOWMINIMIZED
                         : (flags & SDL_WINDOW_MAXIMIZED) ? SW_SHOWMAXIMIZED
                                                          : SW_SHOWNORMAL;
    placement->rcNormalPosition = m_normal;
    if (IsRestored()) {
        int x = 0, y = 0, width = 0, height = 0;
        SDL_GetWindowPosition(m_window, &x, &y);
        SDL_GetWindowSize(m_window, &width, &height);
        placement->rcNormalPosition = RECT{x, y, x + width, y + height};
    }
    return true;
}

bool SdlWindow::SetWindowPlacement(const WINDOWPLACEMENT& placement) {
    if (!m_window) {
        return false;
    }
    const Uint32 flags = Flags();
    if (flags & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(m_window, 0);
    }
    if (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)) {
        SDL_RestoreWindow(m_window);
    }
    const RECT& rect = placement.rcNormalPosition;
    SDL_SetWindowPosition(m_window, rect.left, rect.top);
    SDL_SetWindowSize(m_window, rect.right - rect.left, rect.bottom - rect.top);
    m_normal = rect;
    ShowWindow(placement.showCmd == SW_SHOWNORMAL ? SW_SHOW : placement.showCmd);
    return true;
}

void SdlWindow::OnWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_MOVED:
            RememberNormal();
            break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
            RememberNormal();
            ReportSize(false);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            m_sdl.Post(this, WM_KILLFOCUS, 0, 0);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            m_sdl.Post(this, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

void SdlWindow::RememberNormal() {
    // Flags are read after SDL has taken in every pending system event, so a size that belongs
    // to a maximised or full-screen state is never taken for the restored one.
    if (!m_window || !IsRestored()) {
        return;
    }
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(m_window, &x, &y);
    SDL_GetWindowSize(m_window, &width, &height);
    m_normal = RECT{x, y, x + width, y + height};
}

void SdlWindow::ReportSize(bool synchronously) {
    if (!m_window || !m_shown) {
        return;
    }
    const Uint32 flags = Flags();
    WPARAM kind = SIZE_RESTORED;
    LPARAM size = 0;
    if (flags & SDL_WINDOW_MINIMIZED) {
        kind = SIZE_MINIMIZED;
    } else {
        // Full screen comes from a maximise request, but it is a restored window of the
        // display's size, as the code that enters it expects.
        if ((flags & SDL_WINDOW_MAXIMIZED) && !(flags & SDL_WINDOW_FULLSCREEN)) {
            kind = SIZE_MAXIMIZED;
        }
        RECT client;
        GetClientRect(&client);
        size = MAKELPARAM(static_cast<std::uint32_t>(client.right),
                          static_cast<std::uint32_t>(client.bottom));
    }
    DeliverSize(kind, size, synchronously);
}

std::unique_ptr<Window> SdlWindowSystem::CreateWindow(const WindowDesc& desc,
                                                      WindowProc procedure) {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        desktop.w = 1024;
        desktop.h = 768;
    }
    const int width = desc.width == CW_USEDEFAULT
                          ? desktop.w * kDefaultSizeNumerator / kDefaultSizeDenominator
                          : desc.width;
    const int height = desc.height == CW_USEDEFAULT
                           ? desktop.h * kDefaultSizeNumerator / kDefaultSizeDenominator
                           : desc.height;
    const int x = desc.x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : desc.x;
    const int y = desc.y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : desc.y;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!(desc.style & WS_CAPTION)) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (desc.style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (desc.openGl) {
        flags |= SDL_WINDOW_OPENGL;
    }
    SDL_Window* sdlWindow = SDL_CreateWindow(desc.title.c_str(), x, y, width, height, flags);
    if (!sdlWindow) {
        OutputDebugString(std::string("SDL_CreateWindow: ") + SDL_GetError() + "\n");
        return nullptr;
    }
    if (desc.minWidth > 0 || desc.minHeight > 0) {
        SDL_SetWindowMinimumSize(sdlWindow, std::max(desc.minWidth, 1), std::max(desc.minHeight, 1));
    }
    if (desc.iconRgba && desc.iconWidth > 0 && desc.iconHeight > 0) {
        // SDL copies the pixels into the window's icon.
        if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
                const_cast<std::uint8_t*>(desc.iconRgba), desc.iconWidth, desc.iconHeight, 32,
                desc.iconWidth * 4, SDL_PIXELFORMAT_RGBA32)) {
            SDL_SetWindowIcon(sdlWindow, icon);
            SDL_FreeSurface(icon);
        }
    }
    auto window = std::make_unique<SdlWindow>(*this, sdlWindow, desc.style, std::move(procedure),
                                              desc.cursor);
    Add(window.get());
    if (window->CallProcedure(WM_CREATE, 0, 0) == -1) {
        window->DestroyWindow();
        return nullptr;
    }
    return window;
}

std::unique_ptr<Window> SdlWindowSystem::CreateForeignWindow(std::uint64_t nativeId,
                                                             WindowProc procedure) {
    // SDL would take a wrong id to a fatal X error.
    if (nativeId == 0 || !X11WindowExists(nativeId)) {
        return nullptr;
    }
    // Taken with OpenGL, so that a GL context can be made for it.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    SDL_Window* sdlWindow =
        SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(nativeId)));
    if (!sdlWindow) {
        OutputDebugString(std::string("SDL_CreateWindowFrom: ") + SDL_GetError() + "\n");
        return nullptr;
    }
    auto window = std::make_unique<SdlWindow>(*this, sdlWindow, WS_POPUP, std::move(procedure),
                                              nullptr, true);
    Add(window.get());
    if (window->CallProcedure(WM_CREATE, 0, 0) == -1) {
        window->DestroyWindow();
        return nullptr;
    }
    return window;
}

void SdlWindowSystem::Translate(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT:
            if (SdlWindow* window = Lookup(event.window.windowID)) {
                window->OnWindowEvent(event.window);
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (SdlWindow* window = Lookup(event.key.windowID)) {
                const bool up = event.type == SDL_KEYUP;
                const std::uint32_t scancode = event.key.keysym.scancode;
                const std::uint32_t bits = 1u | ((scancode & 0x3FFFu) << 16) |
                                           ((up || event.key.repeat) ? 1u << 30 : 0u) |
                                           (up ? 1u << 31 : 0u);
                m_queue.Post(window, up ? WM_KEYUP : WM_KEYDOWN,
                             VirtualKeyOfScancode(static_cast<std::uint16_t>(scancode)),
                             static_cast<LPARAM>(bits));
            }
            break;
        case SDL_MOUSEMOTION:
            TranslatePointer(event.motion.windowID, event.motion.x, event.motion.y, WM_MOUSEMOVE,
                             (event.motion.state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) {
                const bool down = event.type == SDL_MOUSEBUTTONDOWN;
                TranslatePointer(event.button.windowID, event.button.x, event.button.y,
                                 down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0);
            }
            break;
        case SDL_QUIT:
            // A quit signal: every window is asked to close, as its close button would.
            if (m_windows.empty()) {
                m_queue.PostQuit(0);
            }
            for (SdlWindow* window : m_windows) {
                m_queue.Post(window, WM_CLOSE, 0, 0);
            }
            break;
        default:
            break;
    }
}

void SdlWindowSystem::TranslatePointer(Uint32 windowId, int x, int y, std::uint32_t message,
                                       WPARAM buttons) {
    SdlWindow* source = Lookup(windowId);
    Window* target = m_capture ? m_capture : source;
    if (!target) {
        return;
    }
    if (source && source != target) {
        // The capturing window hears about the pointer in its own client coordinates.
        POINT point{x, y};
        int left = 0;
        int top = 0;
        SDL_GetWindowPosition(source->GetSdlWindow(), &left, &top);
        point.x += left;
        point.y += top;
        target->ScreenToClient(&point);
        x = point.x;
        y = point.y;
    }
    if (message == WM_MOUSEMOVE && !m_capture) {
        m_queue.Post(target, WM_SETCURSOR, 0, 0);
    }
    m_queue.Post(target, message, buttons,
                 MAKELPARAM(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
}

}  // namespace

std::uint64_t NativeWindowId(const Window* window) {
    return window ? X11WindowId(window->GetSdlWindow()) : 0;
}

std::unique_ptr<WindowSystem> CreateSdlWindowSystem() {
    // Closing the last window is the program's decision (its destroy handler posts the quit).
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        OutputDebugString(std::string("SDL video: ") + SDL_GetError() + "\n");
        return nullptr;
    }
    // Without a display SDL falls back to drivers whose windows nobody sees; they count as a
    // display only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
        !(requested && SDL_strcasecmp(requested, driver) == 0)) {
        OutputDebugString(std::string("SDL video: only the ") + driver + " driver is available\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    return std::make_unique<SdlWindowSystem>();
}

}  // namespace platform
