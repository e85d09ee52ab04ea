#include "tools/tap/TapOptions.h"

#include <gtest/gtest.h>

#include <stdlib.h>

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

using Notes = std::vector<CNote>;
using Args = std::vector<std::string>;

TapOptions Parsed(const Args& args) {
    TapOptions options;
    EXPECT_EQ(ParseTapOptions(args, &options), "") << (args.empty() ? "" : args.back());
    return options;
}

const std::string kPure = "1,0,0,0,0,0,0,0,0,0,0,0";
const std::string kEleven = "1,1,1,1,1,1,1,1,1,1,1";

TEST(TapNoteNames, SpellingsAndOctaveCrossings) {
    const std::pair<const char*, CNote> good[] = {
        {"A4", {10, 4}},       {"C#5", {2, 5}},  {"Db4", {2, 4}},  {"A\u266F6", {11, 6}},
        {"B\u266D3", {11, 3}}, {"a4", {10, 4}},  {"c#5", {2, 5}},  {"eb2", {4, 2}},
        {"B#3", {1, 4}},       {"Cb4", {12, 3}}, {"G10", {8, 10}}, {"C0", {1, 0}},
    };
    for (const auto& [name, note] : good) {
        EXPECT_EQ(ParseNoteName(name), std::optional(note)) << name;
    }
    for (const char* bad :
         {"", "H4", "A", "A#", "#4", "A+4", "A4x", "A123", " A4", "AB4", "Cb0", "A##4", "A-1"}) {
        EXPECT_FALSE(ParseNoteName(bad).has_value()) << "'" << bad << "'";
    }
    EXPECT_EQ(NoteName({11, 6}), "A#6");
    EXPECT_EQ(NoteName({0, 4}) + NoteName({13, 4}), "??");
}

// Defaults first: a second parse starts from them, not from what the first one set.
TEST(TapOptions, AcceptedCommandLines) {
    TapOptions options;
    ASSERT_EQ(
        ParseTapOptions({"--dry", "--hold", "2", "--out", "x.wav", "--harmonics", kPure}, &options),
        "");
    EXPECT_TRUE(options.dry && options.holdSeconds == 2.0 && options.presets.empty());
    ASSERT_EQ(ParseTapOptions({}, &options), "");
    EXPECT_EQ(options.presets.size(), 3u);
    EXPECT_EQ(options.notes, (Notes{{1, 4}, {5, 4}, {8, 4}, {1, 5}}));
    EXPECT_FALSE(options.harmonics || options.holdSeconds || options.dry || options.help);
    EXPECT_EQ(Parsed({"--notes", "C2,A#6,Bb6, B#3 "}).notes,
              (Notes{{1, 2}, {11, 6}, {11, 6}, {1, 4}}));
    const std::array<float, 12> amplitudes = {1, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0.125f, 0.25f};
    EXPECT_EQ(Parsed({"--harmonics", "1, 0.5 ,0,0,0,0,0,0,0,0,0.125,0.25"}).harmonics, amplitudes);
    EXPECT_EQ(Parsed({"--hold", "60"}).holdSeconds, std::optional(60.0));
    EXPECT_EQ(Parsed({"--hold", "0.01"}).holdSeconds, std::optional(0.01));
}

TEST(TapOptions, RefusedCommandLines) {
    std::vector<Args> cases = {
        {"--timbre", "Sine wave"},
        {"--timbre", "Square wave", "--harmonics", kPure},
        {"--harmonics", kPure, "--timbre", "Square wave"},
        {"--notes", "A4,Q9"},
        {"--harmonics", kEleven},
        {"--harmonics", kEleven + ",1,1"},
        {"--out", ""},
        {"--loud"},
        {"--dry", "--hold"},
    };
    for (const char* bad : {"B1", "B6", "Cb2", "B#6", "C7", "A4,,C5", "A4,"}) {
        cases.push_back({"--notes", bad});
    }
    for (const char* bad : {"-0.1", "1.5", "nan", "0.5x", "1e400"}) {
        cases.push_back({"--harmonics", kEleven + "," + bad});
    }
    for (const char* bad : {"0", "0.001", "60.5", "1s"}) {
        cases.push_back({"--hold", bad});
    }
    for (const Args& args : cases) {
        TapOptions options;
        EXPECT_NE(ParseTapOptions(args, &options), "") << "'" << args.back() << "' accepted";
    }
}

TEST(TapWavFile, RoundTripLayoutAndFailures) {
    char pattern[] = "/tmp/tovel-wav-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern, path = dir / "out.wav";
    const std::vector<float> samples = {0.0f, 1.0f, -1.0f, 1e-40f, -0.0f, 3e38f, 7.0f / 3.0f};
    std::string error;
    // Written over a longer file, which must be cut to the new size.
    std::ofstream(path) << std::string(1000, 'x');
    ASSERT_TRUE(WriteFloatWav(path, samples, 44100, &error)) << error;
    std::ifstream file(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    // Mono IEEE float at 32 bits in an 18-byte fmt chunk, then the frame count and the samples.
    const std::string header("RIFF\x4E\0\0\0WAVEfmt \x12\0\0\0\x03\0\x01\0\x44\xAC\0\0\x10\xB1\x02\0"
                             "\x04\0\x20\0\0\0fact\x04\0\0\0\x07\0\0\0data\x1C\0\0\0",
                             58);
    EXPECT_EQ(bytes, header + std::string(reinterpret_cast<const char*>(samples.data()), 28));
    EXPECT_FALSE(WriteFloatWav(dir, samples, 44100, &error)) << "a folder where the file goes";
    EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

}  // namespace
