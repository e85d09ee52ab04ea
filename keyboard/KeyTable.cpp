#include "keyboard/KeyTable.h"

#include "platform/window/KeyMap.h"

using namespace platform;

namespace {

// clang-format off
constexpr std::array<std::uint8_t, kKeyCount> kVirtualKeys{
    // Lower band from the left, home row on even and bottom row on odd keys: A Z S X ... ro ].
    0x41, 0x5A, 0x53, 0x58, 0x44, 0x43, 0x46, 0x56, 0x47, 0x42, 0x48, 0x4E,
    0x4A, 0x4D, 0x4B, VK_OEM_COMMA, 0x4C, VK_OEM_PERIOD, VK_OEM_PLUS, VK_OEM_2, VK_OEM_1,
    VK_OEM_102, VK_OEM_6,
    // Upper band from the left, number row on odd and letter row on even keys: 1 Q 2 W ... [ yen.
    0x31, 0x51, 0x32, 0x57, 0x33, 0x45, 0x34, 0x52, 0x35, 0x54, 0x36, 0x59,
    0x37, 0x55, 0x38, 0x49, 0x39, 0x4F, 0x30, 0x50, VK_OEM_MINUS, VK_OEM_3, VK_OEM_7, VK_OEM_4,
    VK_OEM_5,
};
// clang-format on

// The keyboard is centred on x = 0: each band's first key sits left of the centre by about half
// its width. The upper band starts two keys further left, as the number row does.
constexpr std::int32_t kLowerBandFirstX = 1 - static_cast<std::int32_t>(kKeyCount) / 4;
constexpr std::int32_t kUpperBandShift = 25;

// Row centres, the home row half a row below the centre line and the bottom row a row and a half.
constexpr float kNearRowZ = -0.866025f;
constexpr float kFarRowZ = -2.598075f;
// The upper band lies one row above the home row (sqrt(3)) and three rows above the bottom row.
constexpr float kOneRow = 1.7320499f;
constexpr float kThreeRows = 5.19615f;

bool IsNatural(std::uint32_t pitchClass) {
    switch (pitchClass) {
        case 1:
        case 3:
        case 5:
        case 6:
        case 8:
        case 10:
        case 12:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::uint8_t KeyVirtualKey(std::uint32_t index) {
    return index < kKeyCount ? kVirtualKeys[index] : 0;
}

D3DVECTOR3 KeyPosition(std::uint32_t index) {
    const auto i = static_cast<std::int32_t>(index);
    const bool even = index % 2 == 0;
    if (index < kUpperBandFirstKey) {
        return {static_cast<float>(i + kLowerBandFirstX), 0.0f, even ? kNearRowZ : kFarRowZ};
    }
    return {static_cast<float>(i + kLowerBandFirstX - kUpperBandShift), 0.0f,
            even ? kNearRowZ + kOneRow : kFarRowZ + kThreeRows};
}

std::array<std::optional<CNote>, kKeyCount> AssignNotes(CNote lowest) {
    std::array<std::optional<CNote>, kKeyCount> notes;
    CNote current = lowest;
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        if ((i == 0 && IsNatural(current.m_note)) || previous == 5 || previous == 12) {
            previous = 0;
            continue;
        }
        notes[i] = current;
        previous = current.m_note;
        if (i != kLowerBandLastKey) {
            current.Step();
        }
    }
    return notes;
}
