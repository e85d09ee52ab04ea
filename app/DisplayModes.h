#pragma once
// Window sizes and device-loss recovery: every change of the window's size, and every loss of
// the device, leads to one device reset that releases and re-creates every component's device
// resources.

#include <cstdint>

#include "platform/HResult.h"

// A size event of kind restored: resets the device to the new client size.
HRESULT OnResizeWindow(std::uint32_t width, std::uint32_t height);
// A size event of kind minimised: drawing stops until the next restore.
HRESULT OnMinimizeWindow();
// 0 or above on success; sets deviceLost when the device cannot be reset yet.
HRESULT OnResetDevice();
// Releases every device-dependent resource, stopping at the first failure.
HRESULT ReleaseDeviceResources();
