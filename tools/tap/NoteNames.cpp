#include "tools/tap/NoteNames.h"

#include <cctype>

namespace {
// Semitones above C of the natural notes A..G.
constexpr int kNaturalOffsets[7] = {9, 11, 0, 2, 4, 5, 7};
constexpr const char* kPitchNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::string_view kSharpSign = "\u266F";
constexpr std::string_view kFlatSign = "\u266D";
}  // namespace

std::optional<CNote> ParseNoteName(std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter < 'A' || letter > 'G') {
        return std::nullopt;
    }
    int semitone = kNaturalOffsets[letter - 'A'];
    name.remove_prefix(1);
    if (name.starts_with('#')) {
        ++semitone;
        name.remove_prefix(1);
    } else if (name.starts_with(kSharpSign)) {
        ++semitone;
        name.remove_prefix(kSharpSign.size());
    } else if (name.starts_with('b')) {
        --semitone;
        name.remove_prefix(1);
    } else if (name.starts_with(kFlatSign)) {
        --semitone;
        name.remove_prefix(kFlatSign.size());
    }
    if (name.empty() || name.size() > 2) {
        return std::nullopt;
    }
    int octave = 0;
    for (char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        octave = octave * 10 + (c - '0');
    }
    const int position = octave * 12 + semitone;
    if (position < 0) {
        return std::nullopt;
    }
    return CNote{static_cast<std::uint32_t>(position % 12 + 1),
                 static_cast<std::uint32_t>(position / 12)};
}

std::string NoteName(const CNote& note) {
    if (note.m_note < 1 || note.m_note > 12) {
        return "?";
    }
    return kPitchNames[note.m_note - 1] + std::to_string(note.m_octave);
}
