// The virtual-key table: every key of the instrument's keyboard reaches its own physical key,
// the JIS-only keys reach the international scancodes, and labels fall back to the JIS legends.

#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <set>
#include <tuple>
#include <utility>

#include "platform/window/KeyMap.h"

namespace platform {
namespace {

// The 48 keys in the keyboard's index order, as the keyboard code lists them.
constexpr std::uint8_t kKeyboardKeys[48] = {
    0x41, 0x5A, 0x53, 0x58, 0x44, 0x43, 0x46, 0x56, 0x47, 0x42, 0x48, 0x4E, 0x4A, 0x4D, 0x4B, 0xBC,
    0x4C, 0xBE, 0xBB, 0xBF, 0xBA, 0xE2, 0xDD, 0x31, 0x51, 0x32, 0x57, 0x33, 0x45, 0x34, 0x52, 0x35,
    0x54, 0x36, 0x59, 0x37, 0x55, 0x38, 0x49, 0x39, 0x4F, 0x30, 0x50, 0xBD, 0xC0, 0xDE, 0xDB, 0xDC};

TEST(KeyMapTest, EveryKeyboardKeyAndEscapeHasItsOwnScancodeBothWays) {
    std::set<std::uint16_t> scancodes;
    std::vector<std::uint8_t> keys(std::begin(kKeyboardKeys), std::end(kKeyboardKeys));
    keys.push_back(VK_ESCAPE);
    for (std::uint8_t vk : keys) {
        const std::uint16_t scancode = ScancodeOfVirtualKey(vk);
        EXPECT_NE(scancode, 0) << "virtual key 0x" << std::hex << int(vk);
        EXPECT_TRUE(scancodes.insert(scancode).second)
            << "virtual key 0x" << std::hex << int(vk) << " shares scancode " << std::dec
            << scancode;
        EXPECT_EQ(VirtualKeyOfScancode(scancode), vk) << "scancode " << scancode;
        EXPECT_FALSE(JisLegend(vk).empty()) << "virtual key 0x" << std::hex << int(vk);
    }
    EXPECT_EQ(KeyMappings().size(), keys.size());
}

// The JIS-only keys reach the international scancodes; the others the key at their place.
TEST(KeyMapTest, KeysMapByPhysicalPositionOnAJisKeyboardAndLabelsFallBackToItsLegends) {
    // clang-format off
    const std::pair<std::uint8_t, SDL_Scancode> places[] = {
        {VK_OEM_102, SDL_SCANCODE_INTERNATIONAL1}, {VK_OEM_5, SDL_SCANCODE_INTERNATIONAL3},
        {VK_OEM_6, SDL_SCANCODE_BACKSLASH},        {VK_OEM_PLUS, SDL_SCANCODE_SEMICOLON},
        {VK_OEM_1, SDL_SCANCODE_APOSTROPHE},       {VK_OEM_3, SDL_SCANCODE_LEFTBRACKET},
        {VK_OEM_4, SDL_SCANCODE_RIGHTBRACKET},     {VK_OEM_7, SDL_SCANCODE_EQUALS},
        {0x41, SDL_SCANCODE_A},                    {VK_ESCAPE, SDL_SCANCODE_ESCAPE},
        {0x70, SDL_SCANCODE_UNKNOWN}};  // outside the table: no key at all
    for (auto [vk, scancode] : places) {
        EXPECT_EQ(ScancodeOfVirtualKey(vk), scancode) << "virtual key 0x" << std::hex << int(vk);
    }
    EXPECT_EQ(VirtualKeyOfScancode(SDL_SCANCODE_F1), 0);
    // clang-format on
    // The layout's name, or the JIS legend where the layout has none.
    const std::tuple<std::uint8_t, const char*, const char*> labels[] = {
        {VK_OEM_102, "", "\\"},  {VK_OEM_5, "", "\u00A5"}, {VK_OEM_3, "", "@"},
        {VK_OEM_PLUS, "+", "+"}, {0x41, "A", "A"},         {0x70, "", ""}};
    for (auto [vk, layout, label] : labels) {
        EXPECT_EQ(ResolveKeyName(vk, layout), label) << "virtual key 0x" << std::hex << int(vk);
    }
}

}  // namespace
}  // namespace platform
