#pragma once
// The 48 keys of the computer keyboard's four main rows, laid out as a hexagonal keyboard of two
// piano-like bands. The bottom and home rows form the lower band, the upper letter row and the
// number row the upper band; in each band one row carries the naturals and the other the sharps,
// and the gaps of a piano keyboard are dead keys.

#include <array>
#include <cstdint>
#include <optional>

#include "platform/graphics/GraphicsTypes.h"
#include "synth/Note.h"

inline constexpr std::uint32_t kKeyCount = 48;
// Keys from here on belong to the upper band.
inline constexpr std::uint32_t kUpperBandFirstKey = 23;
// The key that closes the lower band plays the note that opens the upper band, so each band is
// a piano octave pattern of its own.
inline constexpr std::uint32_t kLowerBandLastKey = 22;

// Windows virtual-key code of key `index` (0..47), as a JIS keyboard reports it.
std::uint8_t KeyVirtualKey(std::uint32_t index);

// Centre of key `index`'s hexagon in keyboard space: neighbours are 2 units apart, one unit
// across and a row of sqrt(3) deep, so hexagons of circumradius 1 leave a small gap.
platform::D3DVECTOR3 KeyPosition(std::uint32_t index);

// The note of every key when the range starts at `lowest`, ascending by semitone over the live
// keys; no note for a dead key. A dead key follows every E and B, and the first key is dead when
// the range starts on a natural.
std::array<std::optional<CNote>, kKeyCount> AssignNotes(CNote lowest);
