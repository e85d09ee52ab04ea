#include "screensaver/HueRing.h"

#include <cmath>

#include "controls/HsvColour.h"
#include "screensaver/SaverAnimation.h"

using namespace platform;

namespace {

// pi as the single-precision value every angle here is computed from.
constexpr double kPi = 3.1415927410125732;
// pi / 21, half the angle between neighbouring items, as the single-precision constant.
constexpr float kHalfItemAngle = 0.14959966f;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kPenWidth = 2;

}  // namespace

float HueRingItemHue(int k) {
    return RingHue(k - 1);
}

HueRingLayout LayOutHueRing(int width, int height) {
    HueRingLayout layout;
    const int cx = width / 2;
    const int cy = height / 2;
    // The bars fill nine tenths of the width: 21 of them round a circle, each as wide as the
    // ring is deep.
    const int s = static_cast<int>(0.9 * width / (2.0 + 1.0 / std::tan(kHalfItemAngle)));
    const int half = s / 2;
    layout.centreX = cx;
    layout.centreY = cy;
    layout.barWidth = s;

    // A bar s wide from radius cx - s out to radius cx, pointing straight up.
    const POINT base[4] = {{half, s - cx}, {-half, s - cx}, {-half, -cx}, {half, -cx}};
    for (int i = 0; i < 4; ++i) {
        layout.items[0].points[i] = POINT{base[i].x + cx, base[i].y + cy};
    }
    layout.items[0].value = kChangingColours;

    for (int k = 1; k < kHueRingItems; ++k) {
        const float theta = HueRingItemHue(k);
        // The stored degrees come from the single-precision angle, so some fall one short of a
        // multiple of 18.
        layout.items[k].value = static_cast<int>(static_cast<double>(theta) / kPi * 180.0);
        const auto phi = static_cast<float>(k * kPi / 10.5);
        const auto c = static_cast<float>(std::cos(static_cast<double>(phi)));
        const auto sn = static_cast<float>(std::sin(static_cast<double>(phi)));
        for (int i = 0; i < 4; ++i) {
            const double x = base[i].x, y = base[i].y;
            layout.items[k].points[i] = POINT{static_cast<std::int32_t>(x * c - y * sn) + cx,
                                              static_cast<std::int32_t>(x * sn + y * c) + cy};
        }
    }
    layout.centre = {POINT{cx - s, cy - s}, POINT{cx + s, cy - s}, POINT{cx + s, cy + s},
                     POINT{cx - s, cy + s}};
    return layout;
}

COLORREF HueToColorRef(float hue, float saturation, float value) {
    float r = 0.0f, g = 0.0f, b = 0.0f;
    HsvToRgb(hue, saturation, value, &r, &g, &b);
    return RGB(static_cast<std::uint32_t>(r * 255.0f), static_cast<std::uint32_t>(g * 255.0f),
               static_cast<std::uint32_t>(b * 255.0f));
}

COLORREF CentreColour(int selectedHue) {
    if (selectedHue == kChangingColours) {
        return kWhite;
    }
    return HueToColorRef(static_cast<float>(selectedHue * kPi / 180.0), 1.0f, 1.0f);
}

HueRingLayout PaintHueRing(DialogCanvas& canvas, int width, int height, int selectedHue) {
    const HueRingLayout layout = LayOutHueRing(width, height);
    canvas.SelectPen(kWhite, kPenWidth);
    canvas.SelectBrush(kBlack);
    canvas.Rectangle(0, 0, width, height);

    canvas.SelectBrush(kWhite);
    canvas.Polygon(layout.items[0].points.data(), 4);
    for (int k = 1; k < kHueRingItems; ++k) {
        canvas.SelectBrush(HueToColorRef(HueRingItemHue(k), 1.0f, 1.0f));
        canvas.Polygon(layout.items[k].points.data(), 4);
    }
    canvas.SelectBrush(CentreColour(selectedHue));
    canvas.Polygon(layout.centre.data(), 4);
    return layout;
}

bool PolygonContains(const POINT* points, int count, POINT pixel) {
    // The pixel counts as inside when its centre is, as filled pixels are chosen; the winding
    // number of the outline round that centre decides.
    const double px = pixel.x + 0.5, py = pixel.y + 0.5;
    int winding = 0;
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        const double cross = (b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y);
        if (a.y <= py) {
            if (b.y > py && cross > 0) {
                ++winding;
            }
        } else if (b.y <= py && cross < 0) {
            --winding;
        }
    }
    return winding != 0;
}

std::optional<int> HitHueRing(const HueRingLayout& layout, POINT pixel) {
    for (const HueRingItem& item : layout.items) {
        if (PolygonContains(item.points.data(), 4, pixel)) {
            return item.value;
        }
    }
    return std::nullopt;
}
