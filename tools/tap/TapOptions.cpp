#include "tools/tap/TapOptions.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "synth/Synthesizer.h"
#include "tools/tap/NoteNames.h"

namespace {

constexpr const char* kPresetNames[] = {"All even number Hi wave", "Sawtooth wave",
                                        "Square wave"};
constexpr const char* kDefaultNotes = "C4,E4,G4,C5";
constexpr double kMaxHoldSeconds = 60.0;
// Keys are scanned every 10 ms: a shorter hold would be a tap.
constexpr double kMinHoldSeconds = 0.01;

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Items of a comma-separated list, with the spaces around each item dropped.
std::vector<std::string_view> SplitCommas(std::string_view list) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t comma = list.find(',');
        parts.push_back(Trim(list.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return parts;
        }
        list.remove_prefix(comma + 1);
    }
}

bool ParseNumber(std::string_view text, double* value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end && std::isfinite(*value);
}

std::string ParseNotes(std::string_view list, std::vector<CNote>* notes) {
    notes->clear();
    for (std::string_view name : SplitCommas(list)) {
        const std::optional<CNote> note = ParseNoteName(name);
        if (!note) {
            return "'" + std::string(name) + "' is not a note name (like A4 or C#5)";
        }
        if (Distance(CSynthesizer::kLowest, *note) < 0 ||
            Distance(*note, CSynthesizer::kHighest) < 0) {
            return "note " + std::string(name) + " is outside the range C2..A#6";
        }
        notes->push_back(*note);
    }
    return {};
}

std::string ParseHarmonics(std::string_view list, std::array<float, 12>* harmonics) {
    const std::vector<std::string_view> parts = SplitCommas(list);
    if (parts.size() != harmonics->size()) {
        return "--harmonics needs twelve amplitudes, got " + std::to_string(parts.size());
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        double value = 0;
        if (!ParseNumber(parts[i], &value) || value < 0.0 || value > 1.0) {
            return "amplitude " + std::to_string(i + 1) + " ('" + std::string(parts[i]) +
                   "') is not a number from 0 to 1";
        }
        (*harmonics)[i] = static_cast<float>(value);
    }
    return {};
}

}  // namespace

std::string ParseTapOptions(const std::vector<std::string>& args, TapOptions* options) {
    *options = TapOptions{};
    std::string notes = kDefaultNotes;
    std::optional<std::string> timbre;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--dry") {
            options->dry = true;
        } else if (arg == "--timbre" || arg == "--harmonics" || arg == "--notes" ||
                   arg == "--hold" || arg == "--out") {
            if (!value(&text)) {
                return arg + " needs a value";
            }
            if (arg == "--timbre") {
                timbre = text;
            } else if (arg == "--harmonics") {
                std::array<float, 12> harmonics{};
                if (std::string error = ParseHarmonics(text, &harmonics); !error.empty()) {
                    return error;
                }
                options->harmonics = harmonics;
            } else if (arg == "--notes") {
                notes = text;
            } else if (arg == "--hold") {
                double seconds = 0;
                if (!ParseNumber(Trim(text), &seconds) || seconds < kMinHoldSeconds ||
                    seconds > kMaxHoldSeconds) {
                    return "--hold needs a number of seconds from 0.01 to 60, not '" + text +
                           "'";
                }
                options->holdSeconds = seconds;
            } else {
                if (text.empty()) {
                    return "--out needs a file name";
                }
                options->outPath = text;
            }
        } else {
            return "unknown argument '" + arg + "'";
        }
    }
    if (timbre && options->harmonics) {
        return "give either --timbre or --harmonics, not both";
    }
    if (timbre) {
        bool known = false;
        for (const char* name : kPresetNames) {
            known = known || *timbre == name;
        }
        if (!known) {
            return "unknown timbre '" + *timbre +
                   "': choose \"All even number Hi wave\", \"Sawtooth wave\" or \"Square wave\"";
        }
        options->presets = {*timbre};
    } else if (!options->harmonics) {
        options->presets.assign(std::begin(kPresetNames), std::end(kPresetNames));
    }
    return ParseNotes(notes, &options->notes);
}
