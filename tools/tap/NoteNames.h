#pragma once
// Note names as musicians write them: a letter, an optional sharp or flat, an octave ("C#5").

#include <optional>
#include <string>
#include <string_view>

#include "synth/Note.h"

// Accepts A-G (either case), then '#', "♯", 'b' or "♭", then the octave (0..99). B# and Cb cross
// into the neighbouring octave, as they do on a keyboard.
std::optional<CNote> ParseNoteName(std::string_view name);
// Sharps only: "A#4".
std::string NoteName(const CNote& note);
