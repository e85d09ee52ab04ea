#include "app/PointerRouting.h"

#include "app/Application.h"
#include "app/DisplayModes.h"
#include "palette/TimbrePalette.h"

using namespace platform;

namespace {

bool Offers(const std::function<bool(int, int)>& test, int x, int y) {
    return test && test(x, y);
}

void ShowCursor(Window* window, Cursor* cursor) {
    if (cursor) {
        window->System().SetCursor(cursor);
    }
}

PointerRoutes MakeProgramRoutes() {
    PointerRoutes routes;
    routes.palette.buttonDown = [](Window* window, int x, int y) {
        return palette && palette->OnButtonDown(window, x, y);
    };
    routes.palette.buttonUp = [](int, int y) { return palette && palette->OnButtonUp(y); };
    routes.palette.holding = [] { return palette && palette->m_pointerState != 0; };
    routes.palette.takeable = [](int x, int y) {
        return palette && palette->HitTile(x, y) && !palette->IsOverBlankTile(x, y);
    };
    routes.harmonics.buttonDown = [](Window* window, int x, int y) {
        return harmonicsControl && harmonicsControl->OnButtonDown(x, y, window);
    };
    routes.harmonics.buttonUp = [](int, int) {
        return harmonicsControl && harmonicsControl->OnButtonUp();
    };
    routes.harmonics.holding = [] { return harmonicsControl && harmonicsControl->m_activeBar > 0; };
    routes.harmonics.takeable = [](int x, int y) {
        return harmonicsControl && harmonicsControl->HitTest(x, y) > 0;
    };
    routes.keyboardBand.buttonDown = [](Window* window, int x, int y) {
        return keyboard && keyboard->OnButtonDown(x, y, window);
    };
    routes.keyboardBand.buttonUp = [](int x, int y) {
        return keyboard && keyboard->OnButtonUp(x, y);
    };
    routes.keyboardBand.holding = [] { return keyboard && keyboard->m_dragState != 0; };
    routes.keyboardBand.takeable = [](int, int y) { return keyboard && keyboard->IsInBand(y); };
    routes.overRestoreButton = [](int x, int y) {
        return HitRestoreButton(static_cast<float>(x), static_cast<float>(y));
    };
    routes.restoreButtonReleased = [](Window* window) { OnCanceledFullScreen(window); };
    return routes;
}

}  // namespace

const PointerRoutes& ProgramPointerRoutes() {
    static const PointerRoutes routes = MakeProgramRoutes();
    return routes;
}

bool RoutePointerEvent(const PointerRoutes& routes, Window* window, std::uint32_t message,
                       LPARAM lParam) {
    // Unsigned halves: a captured pointer left of or above the window arrives wrapped.
    const int x = LOWORD(static_cast<std::uintptr_t>(lParam));
    const int y = HIWORD(static_cast<std::uintptr_t>(lParam));
    const PointerComponent* const order[] = {&routes.palette, &routes.harmonics,
                                             &routes.keyboardBand};
    switch (message) {
        case WM_MOUSEMOVE: {
            bool held = false;
            for (const PointerComponent* component : order) {
                held = held || (component->holding && component->holding());
            }
            if (held) {
                ShowCursor(window, grabCursor);
            } else if (Offers(routes.keyboardBand.takeable, x, y) ||
                       Offers(routes.harmonics.takeable, x, y) ||
                       Offers(routes.palette.takeable, x, y) ||
                       Offers(routes.overRestoreButton, x, y)) {
                ShowCursor(window, hoverCursor);
            }
            // Otherwise the set-cursor event before the move has shown the arrow.
            return true;
        }
        case WM_LBUTTONDOWN:
            for (const PointerComponent* component : order) {
                if (component->buttonDown && component->buttonDown(window, x, y)) {
                    window->System().SetCapture(window);
                    ShowCursor(window, grabCursor);
                    break;
                }
            }
            return true;
        case WM_LBUTTONUP:
            for (const PointerComponent* component : order) {
                if (component->buttonUp && component->buttonUp(x, y)) {
                    window->System().ReleaseCapture();
                    ShowCursor(window, hoverCursor);
                    return true;
                }
            }
            if (Offers(routes.overRestoreButton, x, y) && routes.restoreButtonReleased) {
                routes.restoreButtonReleased(window);
            }
            return true;
        default:
            return false;
    }
}

void DropTileOnKeyboard(int y, CTimbre& timbre) {
    if (keyboard && keyboard->IsInBand(y)) {
        keyboard->SetTimbre(timbre);
        if (harmonicsControl) {
            harmonicsControl->LoadTimbre(timbre);
        }
    }
}
