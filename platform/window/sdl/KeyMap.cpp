#include "platform/window/KeyMap.h"

#include <SDL_scancode.h>

#include <array>

namespace platform {

namespace {

// Rows as a JIS keyboard has them; where the JIS legend differs from the US one the key is still
// found by position: JIS "; +" sits where US ";" does, ": *" on US "'", "@" on US "[", "[" on US
// "]", "^" on US "=". The JIS "]" key is the ISO "#" position, which Linux reports as backslash.
constexpr std::array kMappings{
    KeyMapping{0x41, SDL_SCANCODE_A, "A"},
    KeyMapping{0x5A, SDL_SCANCODE_Z, "Z"},
    KeyMapping{0x53, SDL_SCANCODE_S, "S"},
    KeyMapping{0x58, SDL_SCANCODE_X, "X"},
    KeyMapping{0x44, SDL_SCANCODE_D, "D"},
    KeyMapping{0x43, SDL_SCANCODE_C, "C"},
    KeyMapping{0x46, SDL_SCANCODE_F, "F"},
    KeyMapping{0x56, SDL_SCANCODE_V, "V"},
    KeyMapping{0x47, SDL_SCANCODE_G, "G"},
    KeyMapping{0x42, SDL_SCANCODE_B, "B"},
    KeyMapping{0x48, SDL_SCANCODE_H, "H"},
    KeyMapping{0x4E, SDL_SCANCODE_N, "N"},
    KeyMapping{0x4A, SDL_SCANCODE_J, "J"},
    KeyMapping{0x4D, SDL_SCANCODE_M, "M"},
    KeyMapping{0x4B, SDL_SCANCODE_K, "K"},
    KeyMapping{VK_OEM_COMMA, SDL_SCANCODE_COMMA, ","},
    KeyMapping{0x4C, SDL_SCANCODE_L, "L"},
    KeyMapping{VK_OEM_PERIOD, SDL_SCANCODE_PERIOD, "."},
    KeyMapping{VK_OEM_PLUS, SDL_SCANCODE_SEMICOLON, ";"},
    KeyMapping{VK_OEM_2, SDL_SCANCODE_SLASH, "/"},
    KeyMapping{VK_OEM_1, SDL_SCANCODE_APOSTROPHE, ":"},
    KeyMapping{VK_OEM_102, SDL_SCANCODE_INTERNATIONAL1, "\\"},
    KeyMapping{VK_OEM_6, SDL_SCANCODE_BACKSLASH, "]"},
    KeyMapping{0x31, SDL_SCANCODE_1, "1"},
    KeyMapping{0x51, SDL_SCANCODE_Q, "Q"},
    KeyMapping{0x32, SDL_SCANCODE_2, "2"},
    KeyMapping{0x57, SDL_SCANCODE_W, "W"},
    KeyMapping{0x33, SDL_SCANCODE_3, "3"},
    KeyMapping{0x45, SDL_SCANCODE_E, "E"},
    KeyMapping{0x34, SDL_SCANCODE_4, "4"},
    KeyMapping{0x52, SDL_SCANCODE_R, "R"},
    KeyMapping{0x35, SDL_SCANCODE_5, "5"},
    KeyMapping{0x54, SDL_SCANCODE_T, "T"},
    KeyMapping{0x36, SDL_SCANCODE_6, "6"},
    KeyMapping{0x59, SDL_SCANCODE_Y, "Y"},
    KeyMapping{0x37, SDL_SCANCODE_7, "7"},
    KeyMapping{0x55, SDL_SCANCODE_U, "U"},
    KeyMapping{0x38, SDL_SCANCODE_8, "8"},
    KeyMapping{0x49, SDL_SCANCODE_I, "I"},
    KeyMapping{0x39, SDL_SCANCODE_9, "9"},
    KeyMapping{0x4F, SDL_SCANCODE_O, "O"},
    KeyMapping{0x30, SDL_SCANCODE_0, "0"},
    KeyMapping{0x50, SDL_SCANCODE_P, "P"},
    KeyMapping{VK_OEM_MINUS, SDL_SCANCODE_MINUS, "-"},
    KeyMapping{VK_OEM_3, SDL_SCANCODE_LEFTBRACKET, "@"},
    KeyMapping{VK_OEM_7, SDL_SCANCODE_EQUALS, "^"},
    KeyMapping{VK_OEM_4, SDL_SCANCODE_RIGHTBRACKET, "["},
    KeyMapping{VK_OEM_5, SDL_SCANCODE_INTERNATIONAL3, "\u00A5"},
    KeyMapping{VK_ESCAPE, SDL_SCANCODE_ESCAPE, "Esc"},
};

const KeyMapping* Find(std::uint8_t virtualKey) {
    for (const KeyMapping& mapping : kMappings) {
        if (mapping.virtualKey == virtualKey) {
            return &mapping;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const KeyMapping> KeyMappings() {
    return kMappings;
}

std::uint16_t ScancodeOfVirtualKey(std::uint8_t virtualKey) {
    const KeyMapping* mapping = Find(virtualKey);
    return mapping ? mapping->scancode : 0;
}

std::uint8_t VirtualKeyOfScancode(std::uint16_t scancode) {
    for (const KeyMapping& mapping : kMappings) {
        if (mapping.scancode == scancode) {
            return mapping.virtualKey;
        }
    }
    return 0;
}

std::string_view JisLegend(std::uint8_t virtualKey) {
    const KeyMapping* mapping = Find(virtualKey);
    return mapping ? mapping->legend : "";
}

std::string ResolveKeyName(std::uint8_t virtualKey, std::string_view layoutName) {
    return std::string(layoutName.empty() ? JisLegend(virtualKey) : layoutName);
}

}  // namespace platform
