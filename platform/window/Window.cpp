// What every window backend shares: dispatch, default processing and the start-up choice.

#include "platform/window/Window.h"

#include <atomic>

#include "platform/window/NullWindow.h"
#include "platform/system/SystemServices.h"

namespace platform {

namespace {

std::atomic<WindowSystem*> g_currentSystem{nullptr};

}  // namespace

WindowSystem::WindowSystem() {
    g_currentSystem.store(this);
}

WindowSystem::~WindowSystem() {
    WindowSystem* self = this;
    g_currentSystem.compare_exchange_strong(self, nullptr);
}

void PostQuitMessage(int exitCode) {
    if (WindowSystem* system = g_currentSystem.load()) {
        system->PostQuitMessage(exitCode);
    } else {
        OutputDebugString("quit requested with no window system to receive it");
    }
}

bool Window::SetTimer(WPARAM id, std::uint32_t milliseconds) {
    return m_system.SetTimer(this, id, milliseconds);
}

bool Window::KillTimer(WPARAM id) {
    return m_system.KillTimer(this, id);
}

LRESULT Window::CallProcedure(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    return m_procedure ? m_procedure(this, message, wParam, lParam)
                       : DefWindowProc(this, message, wParam, lParam);
}

void Window::DeliverSize(WPARAM kind, LPARAM size, bool synchronously) {
    if (m_sizeReported && m_reportedKind == kind && m_reportedSize == size) {
        return;
    }
    m_sizeReported = true;
    m_reportedKind = kind;
    m_reportedSize = size;
    if (synchronously) {
        CallProcedure(WM_SIZE, kind, size);
    } else {
        m_system.PostMessage(this, WM_SIZE, kind, size);
    }
}

LRESULT DefWindowProc(Window* window, std::uint32_t message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    switch (message) {
        case WM_CLOSE:
            window->DestroyWindow();
            return 0;
        case WM_SETCURSOR: {
            WindowSystem& system = window->System();
            Cursor* cursor = window->ClassCursor();
            system.SetCursor(cursor ? cursor : system.GetArrowCursor());
            return 1;
        }
        default:
            return 0;
    }
}

LRESULT WindowSystem::DispatchMessage(const MSG& msg) {
    if (!msg.hwnd || msg.hwnd->IsDestroyed()) {
        return 0;
    }
    return msg.hwnd->CallProcedure(msg.message, msg.wParam, msg.lParam);
}

std::unique_ptr<WindowSystem> CreateWindowSystem() {
    std::unique_ptr<WindowSystem> system = CreateSdlWindowSystem();
    return system ? std::move(system) : CreateNullWindowSystem();
}

}  // namespace platform
