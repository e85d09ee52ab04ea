#pragma once
// The saver window's procedure and the program around it. The window is full screen (and closes
// on a key press or a pointer movement), an ordinary window, or another program's window, where
// that program (XScreenSaver) decides when the saver ends. The scene draws from a 40 ms timer; a
// left-button release opens the configuration dialog above the saver, which goes on drawing.

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/window/Window.h"
#include "screensaver/SaverOptions.h"
#include "screensaver/SaverScene.h"

class CScreenSaver {
public:
    static constexpr platform::WPARAM kFrameTimer = 32767;
    static constexpr std::uint32_t kFramePeriodMs = 40;
    // A full-screen saver ignores the pointer's trembling up to this many pixels.
    static constexpr int kPointerSlack = 4;

    // Opens the configuration dialog above owner, calling background every 40 ms while it is
    // open; returns the dialog's result.
    using OpenDialog = std::function<std::intptr_t(const platform::Window* owner,
                                                   std::function<bool()> background)>;

    CScreenSaver(platform::WindowSystem& system, const SaverOptions& options,
                 std::function<std::uint32_t()> clock = platform::timeGetTime,
                 OpenDialog openDialog = {});

    // The saver window's procedure.
    platform::LRESULT Procedure(platform::Window* window, std::uint32_t message,
                                platform::WPARAM wParam, platform::LPARAM lParam);

    CSaverScene& Scene() { return m_scene; }
    bool DialogOpen() const { return m_dialogOpen; }

private:
    // What every saver window does with an event its procedure leaves: a full-screen one closes
    // on input and hides the pointer.
    platform::LRESULT DefScreenSaverProc(platform::Window* window, std::uint32_t message,
                                         platform::WPARAM wParam, platform::LPARAM lParam);
    void OpenConfigureDialog(platform::Window* window);
    // Runs the saver's own events while the dialog is open; false once the saver has ended.
    bool PumpWhileDialogOpen(platform::Window* window);

    platform::WindowSystem& m_system;
    SaverOptions m_options;
    OpenDialog m_openDialog;
    CSaverScene m_scene;
    bool m_firstEvent = true;
    bool m_dialogOpen = false;
    std::optional<platform::POINT> m_pointerStart;
    std::optional<int> m_quitDuringDialog;
};

// Makes the window the options ask for and runs it until the quit request; returns its code,
// or 1 when there is no window to draw into.
int RunScreenSaver(platform::WindowSystem& system, const SaverOptions& options);
