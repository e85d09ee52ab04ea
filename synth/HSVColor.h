#pragma once
// A colour as hue, saturation and value.

struct CHSVColor {
    float m_hue = 0.0f;         // radians in [0, 2pi); negative: still to be derived from harmonics
    float m_saturation = 0.0f;  // 0..1
    float m_value = 0.0f;       // 0..1

    CHSVColor() = default;
    CHSVColor(float hue, float saturation, float value)
        : m_hue(hue), m_saturation(saturation), m_value(value) {}
    CHSVColor(const CHSVColor&) = default;
    CHSVColor& operator=(const CHSVColor&) = default;
    virtual ~CHSVColor() = default;
};
