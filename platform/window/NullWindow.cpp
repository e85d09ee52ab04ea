// The null window backend.
// Provides: windows that keep their placement, style, full-screen and top-most state and report
// size changes through the queue the way the SDL backend does (the first show synchronously, the
// rest queued, each distinct size once); the shared event queue and timers; key state, cursor
// position and display mode as set by the test or run that owns the window system, and a key listener
// whose thread wakes on every key the owner changes.
// Limitations: nothing is drawn and no input arrives by itself; key names are the JIS legends,
// as if the layout named no key; cursors have no image.
// Depends on: nothing beyond the shared queue.

#include "platform/window/NullWindow.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace platform {

class NullWindow final : public Window {
public:
    NullWindow(NullWindowSystem& system, const WindowDesc& desc, WindowProc procedure)
        : Window(system, std::move(procedure), desc.cursor),
          m_nullSystem(system),
          m_style(desc.style) {
        const DisplayMode& mode = system.m_mode;
        const int width =
            desc.width == CW_USEDEFAULT ? static_cast<int>(mode.Width * 3 / 4) : desc.width;
        const int height =
            desc.height == CW_USEDEFAULT ? static_cast<int>(mode.Height * 3 / 4) : desc.height;
        const int x = desc.x == CW_USEDEFAULT ? 0 : desc.x;
        const int y = desc.y == CW_USEDEFAULT ? 0 : desc.y;
        m_normal = RECT{x, y, x + width, y + height};
    }

    ~NullWindow() override { DestroyWindow(); }

    void ShowWindow(int showCommand) override {
        if (m_destroyed) {
            return;
        }
        switch (showCommand) {
            case SW_HIDE:
                return;
            case SW_SHOWNORMAL:
                m_fullScreen = false;
                m_showState = SW_SHOWNORMAL;
                break;
            case SW_SHOWMINIMIZED:
            case SW_SHOWMAXIMIZED:
                m_showState = showCommand;
                break;
            default:
                break;
        }
        const bool first = !m_shown;
        m_shown = true;
        ReportSize(first);
    }

    void DestroyWindow() override {
        if (m_destroyed) {
            return;
        }
        CallProcedure(WM_DESTROY, 0, 0);
        m_destroyed = true;
        m_nullSystem.m_queue.Forget(this);
        if (m_nullSystem.m_capture == this) {
            m_nullSystem.m_capture = nullptr;
        }
    }

    bool IsDestroyed() const override { return m_destroyed; }

    void GetClientRect(RECT* rect) const override {
        const RECT client = ClientOnScreen();
        *rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    }

    void ScreenToClient(POINT* point) const override {
        const RECT client = ClientOnScreen();
        point->x -= client.left;
        point->y -= client.top;
    }

    bool GetWindowPlacement(WINDOWPLACEMENT* placement) const override {
        placement->showCmd = m_showState;
        placement->rcNormalPosition = m_normal;
        return !m_destroyed;
    }

    bool SetWindowPlacement(const WINDOWPLACEMENT& placement) override {
        if (m_destroyed) {
            return false;
        }
        m_fullScreen = false;
        m_normal = placement.rcNormalPosition;
        m_showState = placement.showCmd;
        ReportSize(!m_shown);
        m_shown = true;
        return true;
    }

    void SetWindowStyle(std::uint32_t style) override { m_style = style; }
    std::uint32_t GetWindowStyle() const override { return m_style; }
    void SetTopMost(bool topMost) override { m_topMost = topMost; }
    bool IsTopMost() const override { return m_topMost; }

    void MoveWindow(int x, int y, int width, int height) override {
        m_normal = RECT{x, y, x + width, y + height};
        m_showState = SW_SHOWNORMAL;
        m_fullScreen = false;
        ReportSize(false);
    }

    void SetFullScreen(bool fullScreen) override {
        m_fullScreen = fullScreen;
        ReportSize(false);
    }

    bool IsFullScreen() const override { return m_fullScreen; }

private:
    RECT ClientOnScreen() const {
        const DisplayMode& mode = m_nullSystem.m_mode;
        const RECT display{0, 0, static_cast<std::int32_t>(mode.Width),
                           static_cast<std::int32_t>(mode.Height)};
        if (m_fullScreen || m_showState == SW_SHOWMAXIMIZED) {
            return display;
        }
        if (m_showState == SW_SHOWMINIMIZED) {
            return RECT{m_normal.left, m_normal.top, m_normal.left, m_normal.top};
        }
        return m_normal;
    }

    // Sends the size event for the current state once per distinct state, and only once the
    // window has been shown; the first show delivers it synchronously.
    void ReportSize(bool synchronously) {
        if (!m_shown && !synchronously) {
            return;
        }
        WPARAM kind = SIZE_RESTORED;
        if (!m_fullScreen && m_showState == SW_SHOWMINIMIZED) {
            kind = SIZE_MINIMIZED;
        } else if (!m_fullScreen && m_showState == SW_SHOWMAXIMIZED) {
            kind = SIZE_MAXIMIZED;
        }
        RECT client;
        GetClientRect(&client);
        const LPARAM size = MAKELPARAM(static_cast<std::uint32_t>(client.right),
                                       static_cast<std::uint32_t>(client.bottom));
        DeliverSize(kind, size, synchronously);
    }

    NullWindowSystem& m_nullSystem;
    std::uint32_t m_style;
    RECT m_normal{};
    int m_showState = SW_SHOWNORMAL;
    bool m_shown = false;
    bool m_fullScreen = false;
    bool m_topMost = false;
    bool m_destroyed = false;
};

NullWindowSystem::NullWindowSystem(MessageQueue::Clock clock) : m_queue(std::move(clock)) {}

std::unique_ptr<Window> NullWindowSystem::CreateWindow(const WindowDesc& desc,
                                                       WindowProc procedure) {
    auto window = std::make_unique<NullWindow>(*this, desc, std::move(procedure));
    if (window->CallProcedure(WM_CREATE, 0, 0) == -1) {
        window->DestroyWindow();
        return nullptr;
    }
    return window;
}

void NullWindowSystem::WaitMessage() {
    while (!m_queue.HasMessage()) {
        m_queue.WaitForPost(m_queue.TimeToNextTimer());
    }
}

bool NullWindowSystem::PostMessage(Window* window, std::uint32_t message, WPARAM wParam,
                                   LPARAM lParam) {
    if (window && window->IsDestroyed()) {
        return false;
    }
    m_queue.Post(window, message, wParam, lParam);
    return true;
}

bool NullWindowSystem::GetCursorPos(POINT* screen) const {
    *screen = m_cursorPosition;
    return true;
}

Cursor* NullWindowSystem::CreateCursor(const std::uint8_t* rgba, int width, int height, int hotX,
                                       int hotY) {
    if (!rgba || width <= 0 || height <= 0 || hotX < 0 || hotY < 0 || hotX >= width ||
        hotY >= height) {
        return nullptr;
    }
    m_cursors.push_back(std::make_unique<Cursor>());
    return m_cursors.back().get();
}

Cursor* NullWindowSystem::SetCursor(Cursor* cursor) {
    return std::exchange(m_cursor, cursor);
}

bool NullWindowSystem::GetDisplayMode(const Window* /*window*/, DisplayMode* mode) const {
    *mode = m_mode;
    return true;
}

bool NullWindowSystem::PeekMessage(MSG* msg) {
    if (m_queue.Take(msg)) {
        return true;
    }
    std::lock_guard lock(m_keyMutex);
    m_keyChanged = false;
    return false;
}

void NullWindowSystem::WaitForKeyInput(std::uint32_t milliseconds) {
    std::unique_lock lock(m_keyMutex);
    m_keyChange.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return m_keyChanged; });
}

void NullWindowSystem::SetKeyDown(std::uint8_t virtualKey, bool down) {
    {
        std::lock_guard lock(m_keyMutex);
        const std::uint8_t state = down ? 0x80 : 0;
        if (m_keys[virtualKey] == state) {
            return;
        }
        m_keys[virtualKey] = state;
        m_keyChanged = true;
        ++m_keyChanges;
    }
    m_keyChange.notify_all();
}

bool NullWindowSystem::GetKeyboardState(std::uint8_t* keys) const {
    std::lock_guard lock(m_keyMutex);
    std::copy(m_keys.begin(), m_keys.end(), keys);
    return true;
}

std::string NullWindowSystem::GetKeyName(std::uint8_t virtualKey) const {
    return ResolveKeyName(virtualKey, "");
}

// Wakes on the system's key changes as a real listener wakes on the hardware's, so that the
// caller of SetKeyDown goes on at once, as a user's keyboard does.
class NullKeyListener final : public KeyListener {
public:
    NullKeyListener(NullWindowSystem& system, ChangeCallback onChange)
        : m_system(system), m_onChange(std::move(onChange)) {
        std::lock_guard lock(m_system.m_keyMutex);
        m_seen = m_system.m_keyChanges;
        m_thread = std::thread([this] { Run(); });
    }

    ~NullKeyListener() override {
        {
            std::lock_guard lock(m_system.m_keyMutex);
            m_stopping = true;
        }
        m_system.m_keyChange.notify_all();
        m_thread.join();
    }

    bool GetKeyboardState(std::uint8_t* keys) const override {
        return m_system.GetKeyboardState(keys);
    }

private:
    void Run() {
        std::unique_lock lock(m_system.m_keyMutex);
        for (;;) {
            m_system.m_keyChange.wait(
                lock, [this] { return m_stopping || m_system.m_keyChanges != m_seen; });
            if (m_stopping) {
                return;
            }
            m_seen = m_system.m_keyChanges;
            lock.unlock();
            m_onChange();
            lock.lock();
        }
    }

    NullWindowSystem& m_system;
    ChangeCallback m_onChange;
    std::uint64_t m_seen = 0;  // guarded by the system's key mutex
    bool m_stopping = false;   // guarded by the system's key mutex
    std::thread m_thread;
};

std::unique_ptr<KeyListener> NullWindowSystem::ListenForKeys(Window* /*window*/,
                                                              KeyListener::ChangeCallback onChange) {
    if (!m_listenable) {
        return nullptr;
    }
    return std::make_unique<NullKeyListener>(*this, std::move(onChange));
}

std::unique_ptr<WindowSystem> CreateNullWindowSystem() {
    return std::make_unique<NullWindowSystem>();
}

}  // namespace platform
