#include "tools/tap/TapOptions.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/tap/NoteNames.h"
#include "tools/tap/WavFile.h"

// Found by argument-dependent lookup, so failures print notes as {pitch class, octave}.
static std::ostream& operator<<(std::ostream& os, const CNote& n) {
    return os << "{" << n.m_note << ", " << n.m_octave << "}";
}

namespace {

// The parse error for args, or "" when they are accepted.
std::string ErrorOf(const std::vector<std::string>& args) {
    TapOptions options;
    return ParseTapOptions(args, &options);
}

bool Accepts(const std::vector<std::string>& args) {
    return ErrorOf(args).empty();
}

TapOptions Parsed(const std::vector<std::string>& args) {
    TapOptions options;
    const std::string error = ParseTapOptions(args, &options);
    EXPECT_EQ(error, "") << "for " << (args.empty() ? "no arguments" : args[0]);
    return options;
}

const std::vector<std::string> kPresets = {"All even number Hi wave", "Sawtooth wave",
                                           "Square wave"};

TEST(TapNoteNames, SpellingsAndOctaveCrossings) {
    const std::pair<const char*, CNote> good[] = {
        {"A4", {10, 4}},       {"C#5", {2, 5}},  {"Db4", {2, 4}},  {"A\u266F6", {11, 6}},
        {"B\u266D3", {11, 3}}, {"a4", {10, 4}},  {"c#5", {2, 5}},  {"eb2", {4, 2}},
        {"B#3", {1, 4}},       {"Cb4", {12, 3}}, {"G10", {8, 10}}, {"C0", {1, 0}},
    };
    for (const auto& [name, note] : good) {
        const std::optional<CNote> parsed = ParseNoteName(name);
        ASSERT_TRUE(parsed.has_value()) << name;
        EXPECT_EQ(*parsed, note) << name;
    }
    for (const char* bad :
         {"", "H4", "A", "A#", "#4", "A+4", "A4x", "A123", " A4", "AB4", "Cb0", "A##4", "A-1"}) {
        EXPECT_FALSE(ParseNoteName(bad).has_value()) << "'" << bad << "'";
    }
    // Every pitch class prints with sharps and reads back as itself.
    for (std::uint32_t n = 1; n <= 12; ++n) {
        const CNote note{n, 5};
        const std::optional<CNote> back = ParseNoteName(NoteName(note));
        EXPECT_EQ(back, std::optional<CNote>(note)) << NoteName(note);
    }
    EXPECT_EQ(NoteName({11, 6}), "A#6");
    EXPECT_EQ(NoteName({0, 4}), "?");
    EXPECT_EQ(NoteName({13, 4}), "?");
}

TEST(TapOptions, DefaultsAndTimbreChoice) {
    TapOptions options;
    ASSERT_EQ(ParseTapOptions({"--dry", "--hold", "2", "--out", "x.wav"}, &options), "");
    // A second parse starts from the defaults, not from what the first one set.
    ASSERT_EQ(ParseTapOptions({}, &options), "");
    EXPECT_EQ(options.presets, kPresets);
    EXPECT_FALSE(options.harmonics.has_value());
    const std::vector<CNote> notes = {{1, 4}, {5, 4}, {8, 4}, {1, 5}};
    EXPECT_EQ(options.notes, notes);
    EXPECT_FALSE(options.holdSeconds.has_value());
    EXPECT_FALSE(options.dry);
    EXPECT_EQ(options.outPath, "");
    EXPECT_FALSE(options.help);

    for (const std::string& preset : kPresets) {
        EXPECT_EQ(Parsed({"--timbre", preset}).presets, std::vector<std::string>{preset});
    }
    const std::string unknown = ErrorOf({"--timbre", "Sine wave"});
    EXPECT_NE(unknown.find("Sine wave"), std::string::npos) << unknown;
    EXPECT_FALSE(Accepts({"--timbre", ""}));

    const std::string harmonics = "1,0,0,0,0,0,0,0,0,0,0,0";
    EXPECT_FALSE(Accepts({"--timbre", "Square wave", "--harmonics", harmonics}));
    EXPECT_FALSE(Accepts({"--harmonics", harmonics, "--timbre", "Square wave"}));
    EXPECT_TRUE(Parsed({"--harmonics", harmonics}).presets.empty());
}

TEST(TapOptions, NotesWithinTheSynthesizerRange) {
    const std::vector<CNote> ends = {{1, 2}, {11, 6}, {11, 6}};
    EXPECT_EQ(Parsed({"--notes", "C2,A#6,Bb6"}).notes, ends);
    const std::vector<CNote> c4 = {{1, 4}};
    EXPECT_EQ(Parsed({"--notes", "B#3"}).notes, c4);
    for (const char* outside : {"B1", "B6", "Cb2", "B#6", "C7", "A0"}) {
        const std::string error = ErrorOf({"--notes", outside});
        EXPECT_NE(error.find("C2..A#6"), std::string::npos) << outside << ": " << error;
    }
    for (const char* bad : {"A4,X", "A4,,C5", "A4,", ""}) {
        EXPECT_FALSE(Accepts({"--notes", bad})) << "'" << bad << "'";
    }
    const std::vector<CNote> spaced = {{10, 4}, {1, 5}};
    EXPECT_EQ(Parsed({"--notes", "A4, C5 "}).notes, spaced) << "spaces around items are fine";
    const std::string named = ErrorOf({"--notes", "A4,Q9"});
    EXPECT_NE(named.find("'Q9'"), std::string::npos) << named;
}

TEST(TapOptions, HarmonicAmplitudes) {
    const std::optional<std::array<float, 12>> h =
        Parsed({"--harmonics", "1,0.5,0,0,0,0,0,0,0,0,0.125,0.25"}).harmonics;
    ASSERT_TRUE(h.has_value());
    const std::array<float, 12> expected = {1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0.125f, 0.25f};
    EXPECT_EQ(*h, expected);
    EXPECT_EQ(Parsed({"--harmonics", "1, 0.5 ,0,0,0,0,0,0,0,0,0.125,0.25"}).harmonics, h);

    const std::string eleven = "1,1,1,1,1,1,1,1,1,1,1";
    EXPECT_FALSE(Accepts({"--harmonics", eleven}));
    EXPECT_FALSE(Accepts({"--harmonics", eleven + ",1,1"}));
    EXPECT_FALSE(Accepts({"--harmonics", eleven + ",1,"}));
    EXPECT_FALSE(Accepts({"--harmonics", ""}));
    for (const char* bad : {"x", "-0.1", "1.5", "nan", "inf", "", "0.5x", "1e400"}) {
        const std::string error = ErrorOf({"--harmonics", eleven + "," + bad});
        EXPECT_NE(error.find("amplitude 12"), std::string::npos) << "'" << bad << "': " << error;
    }
}

TEST(TapOptions, HoldFlagsAndMalformedCommandLines) {
    EXPECT_EQ(Parsed({"--hold", "1.0"}).holdSeconds, std::optional<double>(1.0));
    EXPECT_EQ(Parsed({"--hold", "60"}).holdSeconds, std::optional<double>(60.0));
    for (const char* bad : {"0", "0.001", "-1", "60.5", "abc", "nan", "", "1s"}) {
        EXPECT_FALSE(Accepts({"--hold", bad})) << "'" << bad << "'";
    }
    const TapOptions flags = Parsed({"--dry", "--out", "a.wav"});
    EXPECT_TRUE(flags.dry);
    EXPECT_EQ(flags.outPath, "a.wav");
    EXPECT_TRUE(Parsed({"--help"}).help);
    EXPECT_TRUE(Parsed({"-h"}).help);
    EXPECT_FALSE(Accepts({"--out", ""}));

    for (const char* option : {"--timbre", "--harmonics", "--notes", "--hold", "--out"}) {
        const std::string error = ErrorOf({"--dry", option});
        EXPECT_EQ(error, std::string(option) + " needs a value");
    }
    for (const char* unknown : {"--loud", "A4", "-d", "--dry=1"}) {
        const std::string error = ErrorOf({unknown});
        EXPECT_NE(error.find(unknown), std::string::npos) << unknown << ": " << error;
    }
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t Le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return v;
}

TEST(TapWavFile, RoundTripLayoutAndFailures) {
    char pattern[] = "/tmp/tovel-wav-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    const std::filesystem::path path = dir / "out.wav";
    const std::vector<float> samples = {0.0f,  1.0f,  -1.0f,   0.5f,  -0.25f,     1e-40f,
                                        -0.0f, 3e38f, 0.1999f, -1.5f, 7.0f / 3.0f};
    std::string error;
    // Written over a longer file, which must be cut to the new size.
    std::ofstream(path) << std::string(1000, 'x');
    ASSERT_TRUE(WriteFloatWav(path, samples, 44100, &error)) << error;

    const std::string bytes = ReadBytes(path);
    const std::uint32_t data = 4 * static_cast<std::uint32_t>(samples.size());
    ASSERT_EQ(bytes.size(), 58 + data);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(bytes, 4, 4), 50 + data);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le(bytes, 16, 4), 18u);
    EXPECT_EQ(Le(bytes, 20, 2), 3u);  // IEEE float
    EXPECT_EQ(Le(bytes, 22, 2), 1u);
    EXPECT_EQ(Le(bytes, 24, 4), 44100u);
    EXPECT_EQ(Le(bytes, 28, 4), 44100u * 4);
    EXPECT_EQ(Le(bytes, 32, 2), 4u);
    EXPECT_EQ(Le(bytes, 34, 2), 32u);
    EXPECT_EQ(Le(bytes, 36, 2), 0u);
    EXPECT_EQ(bytes.substr(38, 4), "fact");
    EXPECT_EQ(Le(bytes, 42, 4), 4u);
    EXPECT_EQ(Le(bytes, 46, 4), samples.size());
    EXPECT_EQ(bytes.substr(50, 4), "data");
    EXPECT_EQ(Le(bytes, 54, 4), data);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint32_t bits = Le(bytes, 58 + 4 * i, 4);
        EXPECT_EQ(bits, std::bit_cast<std::uint32_t>(samples[i]))
            << "sample " << i << ": read " << std::bit_cast<float>(bits) << ", wrote "
            << samples[i];
    }

    ASSERT_TRUE(WriteFloatWav(path, {}, 48000, &error)) << error;
    const std::string empty = ReadBytes(path);
    ASSERT_EQ(empty.size(), 58u);
    EXPECT_EQ(Le(empty, 28, 4), 48000u * 4);
    EXPECT_EQ(Le(empty, 46, 4), 0u);
    EXPECT_EQ(Le(empty, 54, 4), 0u);

    for (const std::filesystem::path& bad : {dir / "missing" / "out.wav", dir}) {
        error.clear();
        EXPECT_FALSE(WriteFloatWav(bad, samples, 44100, &error)) << bad;
        EXPECT_NE(error.find(bad.string()), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
