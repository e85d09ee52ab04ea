#pragma once
// The conversions from a timbre's colour to what is drawn: floats for jewels and keys, packed ARGB
// words for vertices. Each display substitutes its own saturation or value for this conversion
// only; the timbre's colour is never changed. Callers derive a negative hue before converting.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "synth/HSVColor.h"

// One turn of hue as a single-precision 2pi; a key's hue beyond it is wrapped.
inline constexpr double kHueTurn = 6.2831854820251465;

// The blank palette tile is recognised by this colour (white, alpha 0); no packed colour has an
// alpha of 0, so no timbre's tile can be taken for it.
inline constexpr std::uint32_t kBlankTileColour = 0x00FFFFFF;

// Red, green and blue in 0..1 for a hue in radians (one sector per pi/3). A negative hue has not
// been derived yet, so nothing is written.
void HsvToRgb(float hue, float saturation, float value, float* red, float* green, float* blue);

// 0xFFRRGGBB; each component is scaled by 255 and truncated, not rounded.
std::uint32_t PackHsv(float hue, float saturation, float value);

// Stores the colour in any key record with members m_color (CHSVColor) and m_red, m_green,
// m_blue, so that the keys draw without converting each frame. A key without a note is given
// (0, 0, 0), which is black.
template <typename Key>
void SetKeyColour(Key& key, float hue, float saturation, float value) {
    key.m_color.m_hue =
        hue > kHueTurn ? static_cast<float>(std::fmod(static_cast<double>(hue), kHueTurn)) : hue;
    key.m_color.m_saturation = std::clamp(saturation, 0.0f, 1.0f);
    key.m_color.m_value = std::clamp(value, 0.0f, 1.0f);
    HsvToRgb(key.m_color.m_hue, key.m_color.m_saturation, key.m_color.m_value, &key.m_red,
             &key.m_green, &key.m_blue);
}

// A palette tile shades from the timbre's colour at the top to a pale one at the bottom.
std::uint32_t TileTopColour(const CHSVColor& colour);
std::uint32_t TileBottomColour(const CHSVColor& colour);
// The jewel on a palette tile, and the jewel being dragged.
void PaletteJewelRgb(const CHSVColor& colour, float* red, float* green, float* blue);
// Harmonic bar 1..12 and its label: the higher the harmonic, the paler the bar.
std::uint32_t HarmonicBarColour(const CHSVColor& colour, int bar);
// The waveform trace is drawn at half value, dimmer than the bars it is drawn over.
std::uint32_t TraceColour(const CHSVColor& colour);
