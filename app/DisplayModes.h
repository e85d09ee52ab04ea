#pragma once
// Window sizes and device-loss recovery: every change of the window's size, and every loss of
// the device, leads to one device reset that releases and re-creates every component's device
// resources.

#include <cstdint>

#include "platform/base/HResult.h"
#include "platform/window/Window.h"

// The smallest back buffer: every glow target of the components is at least a texel there. The
// window asks the system not to be sized smaller; a window that is anyway shows a back buffer of
// this size scaled down, where a smaller one would fail the components' reset and end the program.
inline constexpr std::uint32_t kMinimumBackBufferWidth = 256;
inline constexpr std::uint32_t kMinimumBackBufferHeight = 192;

// The window's placement before full screen, given back when it is left.
extern platform::WINDOWPLACEMENT savedPlacement;

// A size event of kind maximised: the window becomes a borderless full-screen window above the
// others, the display's size; the size event that follows resets the device to it.
HRESULT OnMaximumWindow(platform::Window* window);
// Escape, focus loss, or a release over the restore button: back to the saved placement. In a
// window only its debug line is written.
HRESULT OnCanceledFullScreen(platform::Window* window);
// A size event of kind restored: resets the device to the new client size, or to the minimum.
HRESULT OnResizeWindow(std::uint32_t width, std::uint32_t height);
// A size event of kind minimised: drawing stops until the next restore.
HRESULT OnMinimizeWindow();
// 0 or above on success; sets deviceLost when the device cannot be reset yet.
HRESULT OnResetDevice();
// Releases every device-dependent resource, stopping at the first failure.
HRESULT ReleaseDeviceResources();
