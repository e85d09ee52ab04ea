#pragma once
// One key of the synthesizer keyboard: which computer key it is, where its hexagon lies, what it
// plays and in which colour, and the voice and jewel column of its current press.

#include <cstdint>
#include <memory>

#include "platform/graphics/GraphicsTypes.h"
#include "synth/HSVColor.h"
#include "synth/NoteWave.h"

class CJewelTask;
class CPlayTask;

// A new key is all zero: no note, no voice, no column, black.
struct CKeyboardKey {
    std::uint8_t m_virtualKey = 0;
    platform::D3DVECTOR3 m_position{0.0f, 0.0f, 0.0f};  // hexagon centre; y is always 0
    std::shared_ptr<const CNoteWave> m_wave;            // shares its set; null for a dead key
    CHSVColor m_color{0.0f, 0.0f, 0.0f};
    float m_red = 0.0f, m_green = 0.0f, m_blue = 0.0f;  // m_color as drawn
    CPlayTask* m_voice = nullptr;                       // not owned; the voice this key started
    CJewelTask* m_jewel = nullptr;                      // not owned; the column of this press
};
