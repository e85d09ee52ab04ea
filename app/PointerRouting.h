#pragma once
// The left button and the pointer, routed to the components in a fixed order of priority: a
// press or a release is offered to the palette, then the harmonics control, then the keyboard
// band, and the first that accepts it wins; an accepted press captures the pointer and an accepted
// release gives it back. The cursor shows a closed hand while anything is held and an open hand
// over whatever can be taken. The components own their hit tests and what a press, drag or
// release does; this is only the order in which they are asked and what happens around them.

#include <cstdint>
#include <functional>

#include "platform/window/Window.h"

class CTimbre;

// What one component offers the routing. An operation left empty declines: a component that
// does not exist yet takes no press, holds nothing and shows no hand.
struct PointerComponent {
    // Takes the press at client (x, y), or declines it.
    std::function<bool(platform::Window* window, int x, int y)> buttonDown;
    // Ends the component's hold (true), or declines when it holds nothing.
    std::function<bool(int x, int y)> buttonUp;
    // Whether it holds the pointer now (a tile, a bar, the keyboard's timbre).
    std::function<bool()> holding;
    // Whether the point is over something it lets the user take.
    std::function<bool(int x, int y)> takeable;
};

struct PointerRoutes {
    // In the order presses and releases are offered.
    PointerComponent palette, harmonics, keyboardBand;
    // The restore button: its area shows the open hand, and a release there that no component
    // took leaves full screen.
    std::function<bool(int x, int y)> overRestoreButton;
    std::function<void(platform::Window* window)> restoreButtonReleased;
};

// The running program's components, read at the moment each event arrives.
const PointerRoutes& ProgramPointerRoutes();

// Handles WM_MOUSEMOVE, WM_LBUTTONDOWN and WM_LBUTTONUP (client coordinates in the two unsigned
// 16-bit halves of lParam) and returns true; false for any other event.
bool RoutePointerEvent(const PointerRoutes& routes, platform::Window* window,
                       std::uint32_t message, platform::LPARAM lParam);

// A palette tile released at height y: over the keyboard band, the keyboard plays its timbre
// from then on (and the harmonics control edits it). Elsewhere nothing changes.
void DropTileOnKeyboard(int y, CTimbre& timbre);
