#include "screensaver/ScreenSaver.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/ResourceTexture.h"
#include "platform/window/MessageBox.h"
#include "resources/Resources.h"
#include "screensaver/ConfigureDialog.h"

using namespace platform;

CScreenSaver::CScreenSaver(WindowSystem& system, const SaverOptions& options,
                           std::function<std::uint32_t()> clock, OpenDialog openDialog)
    : m_system(system),
      m_options(options),
      m_openDialog(openDialog ? std::move(openDialog) : OpenDialog(ScreenSaverConfigureDialog)),
      m_scene(std::move(clock)) {}

LRESULT CScreenSaver::Procedure(Window* window, std::uint32_t message, WPARAM wParam,
                                LPARAM lParam) {
    if (m_firstEvent) {
        m_firstEvent = false;
        m_scene.Begin();
    }
    switch (message) {
        case WM_CREATE: {
            SaverSettings settings = ReadSaverSettings();
            settings.selectedHue = m_options.hue.value_or(settings.selectedHue);
            settings.selectedType = m_options.arrangement.value_or(settings.selectedType);
            m_scene.Startup(window, settings);
            window->SetTimer(kFrameTimer, kFramePeriodMs);
            break;
        }
        case WM_TIMER:
            if (wParam == kFrameTimer) {
                m_scene.OnTimer();
            }
            break;
        case WM_LBUTTONUP:
            // Under XScreenSaver a click belongs to XScreenSaver.
            if (m_options.mode != SaverMode::Foreign && !m_dialogOpen) {
                OpenConfigureDialog(window);
            }
            return 0;
        case WM_DESTROY:
            window->KillTimer(kFrameTimer);
            m_scene.Shutdown();
            m_system.PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefScreenSaverProc(window, message, wParam, lParam);
}

LRESULT CScreenSaver::DefScreenSaverProc(Window* window, std::uint32_t message, WPARAM wParam,
                                         LPARAM lParam) {
    // Only a full-screen saver closes on input, and not while its dialog is in use.
    const bool closesOnInput = m_options.mode == SaverMode::FullScreen && !m_dialogOpen;
    switch (message) {
        case WM_KEYDOWN:
            if (closesOnInput) {
                m_system.PostMessage(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_MOUSEMOVE: {
            if (!closesOnInput) {
                return 0;
            }
            // The first position seen is where the pointer rests.
            const POINT at{static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                           static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(lParam)))};
            if (!m_pointerStart) {
                m_pointerStart = at;
            } else if (std::abs(at.x - m_pointerStart->x) > kPointerSlack ||
                       std::abs(at.y - m_pointerStart->y) > kPointerSlack) {
                m_system.PostMessage(window, WM_CLOSE, 0, 0);
            }
            return 0;
        }
        case WM_SETCURSOR:
            if (m_options.mode == SaverMode::FullScreen && !m_dialogOpen) {
                m_system.SetCursor(nullptr);
                return 1;
            }
            break;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

void CScreenSaver::OpenConfigureDialog(Window* window) {
    m_dialogOpen = true;
    if (m_options.mode == SaverMode::FullScreen) {
        m_system.SetCursor(m_system.GetArrowCursor());
    }
    m_openDialog(window, [this, window] { return PumpWhileDialogOpen(window); });
    m_dialogOpen = false;
    // Where the pointer rests now is measured afresh.
    m_pointerStart.reset();
    if (m_quitDuringDialog) {
        m_system.PostQuitMessage(*m_quitDuringDialog);
        m_quitDuringDialog.reset();
    }
}

bool CScreenSaver::PumpWhileDialogOpen(Window* window) {
    MSG msg;
    while (m_system.PeekMessage(&msg)) {
        if (msg.message == WM_QUIT) {
            // The program's loop takes it once the dialog has gone.
            m_quitDuringDialog = static_cast<int>(msg.wParam);
            return false;
        }
        m_system.DispatchMessage(msg);
    }
    return !window->IsDestroyed();
}

namespace {

std::string HexId(std::uint64_t id) {
    std::ostringstream text;
    text << "0x" << std::hex << id;
    return text.str();
}

}  // namespace

int RunScreenSaver(WindowSystem& system, const SaverOptions& options) {
    CScreenSaver saver(system, options);
    auto procedure = [&saver](Window* window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        return saver.Procedure(window, message, wParam, lParam);
    };

    std::unique_ptr<Window> window;
    if (options.mode == SaverMode::Foreign) {
        window = system.CreateForeignWindow(options.windowId, procedure);
        if (!window) {
            MessageBox("sstovel cannot draw into the window " + HexId(options.windowId) + ".");
            return 1;
        }
    } else {
        std::vector<std::uint8_t> icon;
        WindowDesc desc;
        desc.title = "sstovel";
        desc.openGl = true;
        if (LoadResourceImage(resources::kIconResource, &icon, &desc.iconWidth, &desc.iconHeight)) {
            desc.iconRgba = icon.data();
        }
        DisplayMode display;
        if (options.mode == SaverMode::FullScreen && system.GetDisplayMode(nullptr, &display)) {
            desc.style = WS_POPUP;
            desc.x = 0;
            desc.y = 0;
            desc.width = static_cast<int>(display.Width);
            desc.height = static_cast<int>(display.Height);
        } else {
            // The scene is laid out once for the window's size, so the window keeps it.
            desc.style = WS_CAPTION;
        }
        window = system.CreateWindow(desc, procedure);
        if (!window) {
            MessageBox("Failed in CreateWindowEx");
            return 1;
        }
        if (options.mode == SaverMode::FullScreen) {
            window->SetTopMost(true);
            window->SetFullScreen(true);
        }
        window->ShowWindow(SW_SHOW);
    }

    MSG msg;
    for (;;) {
        if (!system.PeekMessage(&msg)) {
            system.WaitMessage();
            continue;
        }
        if (msg.message == WM_QUIT) {
            break;
        }
        system.DispatchMessage(msg);
    }
    window.reset();
    return static_cast<int>(msg.wParam);
}
