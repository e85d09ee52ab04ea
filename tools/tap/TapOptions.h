#pragma once
// The command line of tovel-tap.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "synth/Note.h"

struct TapOptions {
    // Preset names to play, in order; empty when harmonics are given.
    std::vector<std::string> presets;
    std::optional<std::array<float, 12>> harmonics;
    std::vector<CNote> notes;
    std::optional<double> holdSeconds;  // none: a tap
    bool dry = false;
    std::string outPath;  // empty: the audio device
    bool help = false;
};

inline constexpr const char* kTapUsage =
    "usage: tovel-tap [--timbre NAME | --harmonics a1,...,a12] [--notes A4,C#5,...]\n"
    "                 [--hold SECONDS] [--dry] [--out FILE.wav]\n"
    "Plays notes one after another through the synthesizer: each a tap, or held for SECONDS.\n"
    "  --timbre NAME     \"All even number Hi wave\", \"Sawtooth wave\" or \"Square wave\"\n"
    "                    (default: each of the three in turn)\n"
    "  --harmonics LIST  twelve amplitudes 0..1, fundamental first\n"
    "  --notes LIST      notes C2..A#6 (default C4,E4,G4,C5)\n"
    "  --hold SECONDS    hold each key this long (0.01 to 60 s)\n"
    "  --dry             take the reverb out, to see the voice envelope\n"
    "  --out FILE.wav    render offline into a 44100 Hz 32-bit float WAV file\n";

// Fills options from argv. Returns an empty string on success, else what is wrong.
std::string ParseTapOptions(const std::vector<std::string>& args, TapOptions* options);
