#include "app/WindowProcedure.h"

#include "app/Application.h"
#include "app/DisplayModes.h"
#include "app/PointerRouting.h"
#include "platform/window/KeyMap.h"

using namespace platform;

namespace {

// Size events by kind: a restored size resets the device, a minimised window (or one hidden by
// another's maximising) stops drawing, a maximised one goes full screen.
LRESULT OnSize(Window* window, WPARAM kind, LPARAM size) {
    switch (kind) {
        case SIZE_RESTORED:
            OnResizeWindow(LOWORD(static_cast<std::uintptr_t>(size)),
                           HIWORD(static_cast<std::uintptr_t>(size)));
            return 0;
        case SIZE_MINIMIZED:
        case SIZE_MAXHIDE:
            OnMinimizeWindow();
            return 0;
        case SIZE_MAXIMIZED:
            OnMaximumWindow(window);
            return 0;
        default:
            return DefWindowProc(window, WM_SIZE, kind, size);
    }
}

}  // namespace

LRESULT MainWindowProc(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            return OnSize(window, wParam, lParam);
        case WM_KILLFOCUS:
            if (fullScreen) {
                OnCanceledFullScreen(window);
            }
            return DefWindowProc(window, message, wParam, lParam);
        case WM_KEYUP:
            // Keys are read by polling; a key-up only ever means Escape, and none goes on to
            // default processing.
            if (wParam == VK_ESCAPE) {
                OnCanceledFullScreen(window);
            }
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            RoutePointerEvent(ProgramPointerRoutes(), window, message, lParam);
            return 0;
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}
