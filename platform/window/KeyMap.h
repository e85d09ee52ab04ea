#pragma once
// The virtual-key codes the system speaks (Windows codes as a Japanese JIS keyboard reports them)
// and the physical keys they stand for here: each code maps to the USB usage that SDL reports as
// the scancode of the same physical key, so a JIS, ISO or ANSI keyboard plays by key position.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint8_t VK_ESCAPE = 0x1B;
inline constexpr std::uint8_t VK_OEM_1 = 0xBA;     // JIS ": *"
inline constexpr std::uint8_t VK_OEM_PLUS = 0xBB;  // JIS "; +"
inline constexpr std::uint8_t VK_OEM_COMMA = 0xBC;
inline constexpr std::uint8_t VK_OEM_MINUS = 0xBD;
inline constexpr std::uint8_t VK_OEM_PERIOD = 0xBE;
inline constexpr std::uint8_t VK_OEM_2 = 0xBF;    // "/ ?"
inline constexpr std::uint8_t VK_OEM_3 = 0xC0;    // JIS "@ `"
inline constexpr std::uint8_t VK_OEM_4 = 0xDB;    // JIS "[ {"
inline constexpr std::uint8_t VK_OEM_5 = 0xDC;    // JIS yen "¥ |"
inline constexpr std::uint8_t VK_OEM_6 = 0xDD;    // JIS "] }"
inline constexpr std::uint8_t VK_OEM_7 = 0xDE;    // JIS "^ ~"
inline constexpr std::uint8_t VK_OEM_102 = 0xE2;  // JIS ro "\ _"

inline constexpr std::uint32_t kVirtualKeyCount = 256;  // entries of a key-state array

struct KeyMapping {
    std::uint8_t virtualKey;
    std::uint16_t scancode;  // SDL scancode (USB usage) of the same physical key
    const char* legend;      // what a JIS keyboard prints on the key, UTF-8
};

// Every key the system reads: the 48 keys of the four main rows and Escape.
std::span<const KeyMapping> KeyMappings();

// 0 (no key) for a virtual key outside the table.
std::uint16_t ScancodeOfVirtualKey(std::uint8_t virtualKey);
// 0 for a scancode of a key the table does not name.
std::uint8_t VirtualKeyOfScancode(std::uint16_t scancode);
// "" for a virtual key outside the table.
std::string_view JisLegend(std::uint8_t virtualKey);

// A key's label: the active layout's name for it, or the JIS legend where the layout has no
// name for the key (SDL names the JIS-only keys "" on a US layout).
std::string ResolveKeyName(std::uint8_t virtualKey, std::string_view layoutName);

}  // namespace platform
