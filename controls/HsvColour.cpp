#include "controls/HsvColour.h"


namespace {

constexpr double kPi = 3.1415927410125732;  // single-precision pi, widened
// A hue of a full turn would fall into a seventh sector; it is kept at the end of the sixth.
constexpr float kLastSector = 5.999999f;

constexpr float kTileBottomSaturation = 0.2f;
constexpr float kJewelSaturation = 0.9f;
constexpr float kTraceValue = 0.5f;
constexpr float kBarSaturationDrop = 0.8f;  // from bar 1 to a thirteenth bar
constexpr float kBarCount = 12.0f;


std::uint32_t PackComponent(float component) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(component * 255.0)) & 0xFFu;
}

}  // namespace

void HsvToRgb(float hue, float saturation, float value, float* red, float* green, float* blue) {
    float x = static_cast<float>(static_cast<double>(hue) * 3.0 / kPi);
    // A negative hue has not been derived yet, so nothing is written; nor for a NaN, no angle.
    if (!(x >= 0.0f)) {
        return;
    }
    if (x >= 6.0f) {
        x = kLastSector;
    }
    const int sector = static_cast<int>(std::floor(x));
    float f = x - static_cast<float>(sector);
    // q rises through the even sectors and falls through the odd ones.
    if (sector % 2 == 0) {
        f = 1.0f - f;
    }
    const float v = value;
    const float p = static_cast<float>((1.0 - saturation) * value);
    const float q = static_cast<float>((1.0 - static_cast<double>(f) * saturation) * value);
    const auto write = [&](float r, float g, float b) {
        *red = r;
        *green = g;
        *blue = b;
    };
    switch (sector) {
        case 0:
            write(v, q, p);
            break;
        case 1:
            write(q, v, p);
            break;
        case 2:
            write(p, v, q);
            break;
        case 3:
            write(p, q, v);
            break;
        case 4:
            write(q, p, v);
            break;
        default:
            write(v, p, q);
            break;
    }
}

std::uint32_t PackHsv(float hue, float saturation, float value) {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    HsvToRgb(hue, saturation, value, &red, &green, &blue);
    return 0xFF000000u | PackComponent(red) << 16 | PackComponent(green) << 8 | PackComponent(blue);
}

std::uint32_t TileTopColour(const CHSVColor& colour) {
    return PackHsv(colour.m_hue, colour.m_saturation, colour.m_value);
}

std::uint32_t TileBottomColour(const CHSVColor& colour) {
    return PackHsv(colour.m_hue, kTileBottomSaturation, colour.m_value);
}

void PaletteJewelRgb(const CHSVColor& colour, float* red, float* green, float* blue) {
    HsvToRgb(colour.m_hue, kJewelSaturation, colour.m_value, red, green, blue);
}

std::uint32_t HarmonicBarColour(const CHSVColor& colour, int bar) {
    // In float: the palest component of bars 6, 8, 9 and 11 then packs as the exact grey step
    // 17 x (bar - 1), where the double result rounded to float packs one level darker.
    const float saturation = 1.0f - static_cast<float>(bar - 1) * kBarSaturationDrop / kBarCount;
    return PackHsv(colour.m_hue, std::clamp(saturation, 0.0f, 1.0f), colour.m_value);
}

std::uint32_t TraceColour(const CHSVColor& colour) {
    return PackHsv(colour.m_hue, colour.m_saturation, kTraceValue);
}
