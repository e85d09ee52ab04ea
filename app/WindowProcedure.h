#pragma once
// The main window's procedure.

#include "platform/window/Window.h"

platform::LRESULT MainWindowProc(platform::Window* window, std::uint32_t message,
                                 platform::WPARAM wParam, platform::LPARAM lParam);
