#pragma once
// The hue ring of the configuration dialog: 21 bars round a centre square, painted into a
// black frame. The bar at the top stands for changing colours (white); the twenty below it run
// clockwise through the hues. The painted geometry is kept, so that a click can be matched
// against what the user sees.

#include <array>
#include <cstdint>
#include <optional>

#include "platform/dialog/Dialog.h"
#include "platform/window/Window.h"

// The changing-colours setting: no fixed hue.
inline constexpr int kChangingColours = -1;

inline constexpr int kHueRingItems = 21;

struct HueRingItem {
    std::array<platform::POINT, 4> points{};
    int value = kChangingColours;  // degrees, or kChangingColours
};

// The 21 items and the centre square of a frame, in its client coordinates.
struct HueRingLayout {
    int centreX = 0, centreY = 0;
    int barWidth = 0;  // also half the centre square's side
    std::array<HueRingItem, kHueRingItems> items{};
    std::array<platform::POINT, 4> centre{};
};

// The item's hue in radians: item k = 1..20 stands for (k - 1) * pi / 10.
float HueRingItemHue(int k);

// The layout in a frame of width x height pixels.
HueRingLayout LayOutHueRing(int width, int height);

// HsvToRgb, each channel times 255 and truncated, red in the low byte.
platform::COLORREF HueToColorRef(float hue, float saturation, float value);

// The centre square's colour for a setting: white for changing colours.
platform::COLORREF CentreColour(int selectedHue);

// Paints the black field with its white frame, the 21 items and the centre square in the
// colour of selectedHue; returns the layout painted.
HueRingLayout PaintHueRing(platform::DialogCanvas& canvas, int width, int height, int selectedHue);

// True when the pixel lies inside the polygon, which is filled by the winding rule.
bool PolygonContains(const platform::POINT* points, int count, platform::POINT pixel);

// The value of the first item that holds the pixel; none when no item does.
std::optional<int> HitHueRing(const HueRingLayout& layout, platform::POINT pixel);
