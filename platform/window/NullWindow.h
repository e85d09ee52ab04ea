#pragma once
// The null window backend: windows without a display, for tests and headless runs. See
// NullWindow.cpp for what it provides.

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window/KeyMap.h"
#include "platform/window/MessageQueue.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"

namespace platform {

class NullWindowSystem final : public WindowSystem {
public:
    // The clock drives the timers; tests pass one of their own to step time exactly.
    explicit NullWindowSystem(MessageQueue::Clock clock = timeGetTime);

    std::unique_ptr<Window> CreateWindow(const WindowDesc& desc, WindowProc procedure) override;

    bool PeekMessage(MSG* msg) override;
    void WaitMessage() override;
    // Ends early when SetKeyDown changes a key, from any thread.
    void WaitForKeyInput(std::uint32_t milliseconds) override;
    bool PostMessage(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
    void PostQuitMessage(int exitCode) override { m_queue.PostQuit(exitCode); }
    bool SetTimer(Window* window, WPARAM id, std::uint32_t milliseconds) override {
        return m_queue.SetTimer(window, id, milliseconds);
    }
    bool KillTimer(Window* window, WPARAM id) override { return m_queue.KillTimer(window, id); }

    void SetCapture(Window* window) override { m_capture = window; }
    void ReleaseCapture() override { m_capture = nullptr; }
    Window* GetCapture() const override { return m_capture; }
    bool GetCursorPos(POINT* screen) const override;
    Cursor* CreateCursor(const std::uint8_t* rgba, int width, int height, int hotX,
                         int hotY) override;
    Cursor* GetArrowCursor() override { return &m_arrow; }
    Cursor* SetCursor(Cursor* cursor) override;
    Cursor* GetCursor() const override { return m_cursor; }

    bool GetDisplayMode(const Window* window, DisplayMode* mode) const override;
    bool GetKeyboardState(std::uint8_t* keys) const override;
    std::string GetKeyName(std::uint8_t virtualKey) const override;
    // A thread that calls back after every SetKeyDown that changes a key; none once
    // SetListenable(false) has made this a system whose keys come only through its queue.
    std::unique_ptr<KeyListener> ListenForKeys(Window* window,
                                               KeyListener::ChangeCallback onChange) override;
    void SetListenable(bool listenable) { m_listenable = listenable; }

    // What a real system would learn from the user and the hardware. Keys may be pressed from
    // another thread than the loop's.
    void SetKeyDown(std::uint8_t virtualKey, bool down);
    void SetCursorPosition(POINT screen) { m_cursorPosition = screen; }
    void SetDisplayMode(const DisplayMode& mode) { m_mode = mode; }

private:
    friend class NullWindow;
    friend class NullKeyListener;

    MessageQueue m_queue;
    mutable std::mutex m_keyMutex;
    std::condition_variable m_keyChange;
    std::array<std::uint8_t, kVirtualKeyCount> m_keys{};  // guarded by m_keyMutex
    bool m_keyChanged = false;  // since PeekMessage last found nothing; guarded by m_keyMutex
    std::uint64_t m_keyChanges = 0;  // every change counted; guarded by m_keyMutex
    POINT m_cursorPosition{};
    DisplayMode m_mode{1280, 1024, 60, 22};
    Window* m_capture = nullptr;
    bool m_listenable = true;
    Cursor m_arrow;
    Cursor* m_cursor = &m_arrow;
    std::vector<std::unique_ptr<Cursor>> m_cursors;
};

std::unique_ptr<WindowSystem> CreateNullWindowSystem();

}  // namespace platform
