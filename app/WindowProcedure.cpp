#include "app/WindowProcedure.h"

#include "app/DisplayModes.h"

using namespace platform;

LRESULT MainWindowProc(Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE) {
                OnMinimizeWindow();
            } else {
                // A maximised window is drawn at its new size too.
                OnResizeWindow(LOWORD(static_cast<std::uintptr_t>(lParam)),
                               HIWORD(static_cast<std::uintptr_t>(lParam)));
            }
            return 0;
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}
