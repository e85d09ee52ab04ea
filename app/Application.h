#pragma once
// The instrument's program: start-up in a fixed order, the frame loop, one frame's drawing and
// the shutdown in a fixed order. Everything here runs on the one user-interface thread.

#include <cstdint>
#include <functional>

#include "controls/HarmonicsControl.h"
#include "graphics/Graphics.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "palette/TimbrePalette.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"

// A vertex of the restore button: pre-transformed, diffuse, one texture coordinate (28 bytes).
struct RestoreButtonVertex {
    float x, y, z, rhw;
    platform::D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(RestoreButtonVertex) == 28);

// The application's state; process-wide, touched only on the user-interface thread. `graphics`
// and `keyboard` own nothing: they are what the program reads of CGraphics::Instance and
// CSynthesizerKeyboard::Instance, taken at start-up and forgotten at shutdown.
extern CGraphics* graphics;
extern CHarmonicsControl* harmonicsControl;
extern CSynthesizerKeyboard* keyboard;
extern CTimbrePalette* palette;
extern platform::IGraphicsTexture* restoreButtonTexture;
extern RestoreButtonVertex restoreButtonQuad[4];
extern bool deviceLost;  // while set, the loop retries the reset instead of drawing
extern bool active;      // false while minimised; the loop then blocks
extern bool fullScreen;
extern platform::Cursor* hoverCursor;  // an open hand over what can be pressed
extern platform::Cursor* grabCursor;   // a closed hand while something is held

// The program: returns the quit request's code (kFailureExitCode after a failed start-up), or
// kFailureExitCode when the window cannot be made.
int RunApplication(platform::WindowSystem& system);

// Brings the components up after the device and the effect exist; the keyboard reads its keys
// and their names from the window system.
void InitApplication(platform::WindowSystem& system);
// One frame: 0, or the failure of the first clear (then nothing is presented).
HRESULT RenderFrame(platform::IGraphicsDevice* device, float total, float dt);
// Takes the components down in order; safe after any start-up failure.
HRESULT ShutdownApplication();

// The restore button: a square of 2.5 % of the width, 95 % across and 2.5 % down.
void BuildRestoreButtonQuad(std::uint32_t width, std::uint32_t height);
// True when the client point lies strictly inside the restore button, in any mode.
bool HitRestoreButton(float x, float y);

// What the frame loop needs besides the queue; tests give it their own clock and frames.
struct FrameLoopHooks {
    std::function<std::uint32_t()> clock = platform::timeGetTime;
    // The pause after each frame; the program's ends early when a key goes down or up, so a
    // struck note starts on the next frame instead of after the pause.
    std::function<void(std::uint32_t)> sleep = platform::Sleep;
    std::function<void(float total, float dt)> frame;
    std::function<void()> resetDevice;
};

// Dispatches events, retries the reset while the device is lost, draws while active and blocks
// while idle, until the quit request; returns its code.
int RunFrameLoop(platform::WindowSystem& system, const FrameLoopHooks& hooks);
