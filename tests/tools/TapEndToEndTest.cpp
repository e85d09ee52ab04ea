// Runs the tovel-tap binary as a user would and measures the sound it makes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/AudioMeasure.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

constexpr double kRate = 44100.0;
constexpr std::size_t kA4Period = 101;
constexpr std::size_t kA4Buffer = 89 * kA4Period;  // each of the first two buffers of a tap
constexpr std::size_t kA4Tap = 223 * kA4Period;    // 89 + 89 + 45 periods
constexpr double kWavePeak = 3276.0 / 32768.0;     // loudest sample before the voice gain

using tovel_test::Floats;
using tovel_test::Peak;
using tovel_test::Period;
using tovel_test::ReadFile;
using tovel_test::TempDir;
using Result = tovel_test::RunResult;

// Runs tovel-tap with args and the parent's environment less any SDL settings, plus env.
Result RunTap(const TempDir& dir, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {}) {
    return tovel_test::RunProgram(TOVEL_TAP_PATH, args, env, dir);
}

std::uint32_t Le(const std::string& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    }
    return v;
}

// The samples of a mono 44100 Hz float WAV file; empty, with a failure, if it is not one.
std::vector<float> ReadWav(const fs::path& path) {
    const std::string b = ReadFile(path);
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        ADD_FAILURE() << path << " is not a WAV file (" << b.size() << " bytes)";
        return {};
    }
    bool formatOk = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const std::uint32_t size = Le(b, at + 4, 4);
        if (id == "fmt " && size >= 16) {
            formatOk = Le(b, at + 8, 2) == 3 && Le(b, at + 10, 2) == 1 &&
                       Le(b, at + 12, 4) == 44100 && Le(b, at + 22, 2) == 32;
        } else if (id == "data" && formatOk && at + 8 + size <= b.size()) {
            return Floats(b, at + 8, size / 4);
        }
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << path << " has no mono 44100 Hz float data";
    return {};
}

double Rms(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double sum = 0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return std::sqrt(sum / static_cast<double>(end - begin));
}

// The first sample louder than floor (by default, the first that is not exactly zero).
std::size_t FirstSound(const std::vector<float>& x, float floor = 0.0f) {
    std::size_t i = 0;
    while (i < x.size() && std::fabs(x[i]) <= floor) {
        ++i;
    }
    return i;
}

// One past the last sample louder than floor.
std::size_t SoundEnd(const std::vector<float>& x, float floor = 0.0f) {
    std::size_t end = x.size();
    while (end > 0 && std::fabs(x[end - 1]) <= floor) {
        --end;
    }
    return end;
}

void ExpectA4Pitch(const std::vector<float>& x, std::size_t begin, const char* what) {
    const double period = Period(x, begin, begin + kA4Buffer, 1000);
    ASSERT_GT(period, 0.0) << what << ": no pitch found";
    const double expected = kRate / kA4Period;
    EXPECT_NEAR(kRate / period, expected, 0.005 * expected) << what << ": period " << period;
}

TEST(TapEndToEnd, DryTapHasTheVoiceEnvelope) {
    TempDir dir;
    const fs::path wav = dir.Path() / "dry.wav";
    const Result r =
        RunTap(dir, {"--timbre", "Sawtooth wave", "--notes", "A4", "--dry", "--out", wav});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Sawtooth wave: A4"), std::string::npos) << r.out;
    const std::vector<float> x = ReadWav(wav);
    ASSERT_GT(x.size(), kA4Tap);

    EXPECT_EQ(SoundEnd(x), kA4Tap) << "the tap should last 223 periods, then fall silent";
    std::size_t longestGap = 0;
    for (std::size_t i = 0, run = 0; i < kA4Tap; ++i) {
        run = x[i] == 0.0f ? run + 1 : 0;
        longestGap = std::max(longestGap, run);
    }
    EXPECT_LE(longestGap, 2u) << "silence inside the tap";
    ExpectA4Pitch(x, 0, "first buffer");
    // Each buffer plays at half the gain of the one before: 2.0, 1.0, 0.5.
    EXPECT_NEAR(Peak(x, 0, kA4Buffer), 2.0 * kWavePeak, 1e-4);
    EXPECT_NEAR(Peak(x, kA4Buffer, 2 * kA4Buffer), 1.0 * kWavePeak, 1e-4);
    EXPECT_NEAR(Peak(x, 2 * kA4Buffer, kA4Tap), 0.5 * kWavePeak, 1e-4);
}

TEST(TapEndToEnd, ReverbTailIsBoundedAndDecays) {
    TempDir dir;
    const fs::path wav = dir.Path() / "wet.wav";
    const Result r = RunTap(dir, {"--timbre", "Sawtooth wave", "--notes", "A4", "--out", wav});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<float> x = ReadWav(wav);
    const std::size_t window = 8820;      // 200 ms
    const std::size_t tailStart = 26460;  // 0.6 s, after the dry note has ended
    ASSERT_GE(x.size(), tailStart + 6 * window);

    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_TRUE(std::isfinite(x[i]) && std::fabs(x[i]) <= 1.0f)
            << "sample " << i << ": " << x[i];
    }
    EXPECT_GE(FirstSound(x), 220u) << "the reverb's 5 ms pre-delay should come first";
    EXPECT_GT(Peak(x, 0, kA4Tap), 0.01);
    // A tail that rings on after the note, then dies away.
    std::vector<double> levels;
    for (std::size_t at = tailStart; at + window <= x.size(); at += window) {
        levels.push_back(Rms(x, at, at + window));
    }
    EXPECT_GT(levels.front(), 1e-3) << "no reverb tail after the note";
    for (std::size_t i = 1; i < levels.size(); ++i) {
        EXPECT_LT(levels[i], levels[i - 1]) << "window " << i << " of the tail grew";
    }
    EXPECT_LT(levels.back(), levels.front() / 100) << "the tail fell by less than 40 dB";
}

TEST(TapEndToEnd, HarmonicsHoldAndDefaults) {
    TempDir dir;
    // A held key sounds for at least as long as it is down, and ends once released.
    const fs::path held = dir.Path() / "held.wav";
    Result r = RunTap(dir, {"--timbre", "Sawtooth wave", "--notes", "A4", "--dry", "--hold", "1.0",
                            "--out", held});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<float> x = ReadWav(held);
    EXPECT_GE(SoundEnd(x), 44100u);
    EXPECT_LE(SoundEnd(x), 44100u + kA4Tap + 441u);
    ExpectA4Pitch(x, 0, "held note");

    // A pure fundamental through --harmonics: a sine at the wave's full level.
    const fs::path sine = dir.Path() / "sine.wav";
    r = RunTap(dir,
               {"--harmonics", "1,0,0,0,0,0,0,0,0,0,0,0", "--notes", "A4", "--dry", "--out", sine});
    ASSERT_EQ(r.status, 0) << r.err;
    x = ReadWav(sine);
    EXPECT_EQ(SoundEnd(x), kA4Tap);
    ExpectA4Pitch(x, 0, "sine");
    EXPECT_NEAR(Peak(x, 0, kA4Buffer), 2.0 * kWavePeak, 1e-4);

    // Without --timbre every preset plays C4, E4, G4, C5 in turn. Notes start on 10 ms steps, so
    // the pitch of each fully sounding step gives the order in which they were played.
    const fs::path all = dir.Path() / "all.wav";
    r = RunTap(dir, {"--dry", "--out", all});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"All even number Hi wave: C4 E4 G4 C5", "Sawtooth wave: C4 E4 G4 C5",
                             "Square wave: C4 E4 G4 C5"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    }
    x = ReadWav(all);
    std::vector<long> periods;
    for (std::size_t at = 0; at + 441 <= x.size(); at += 441) {
        if (Rms(x, at, at + 32) == 0 || Rms(x, at + 409, at + 441) == 0) {
            continue;
        }
        const long period = std::lround(Period(x, at, at + 441, 220));
        if (period > 0 && (periods.empty() || periods.back() != period)) {
            periods.push_back(period);
        }
    }
    const std::vector<long> expected = {169, 134, 113, 85, 169, 134, 113, 85, 169, 134, 113, 85};
    EXPECT_EQ(periods, expected);
}

TEST(TapEndToEnd, CommandLineErrorsAndHelp) {
    TempDir dir;
    const std::string wav = dir.Path() / "bad.wav";
    const std::vector<std::vector<std::string>> bad = {
        {"--timbre", "Sine wave"},
        {"--notes", "B1"},
        {"--notes", "H4"},
        {"--harmonics", "1,2"},
        {"--hold", "0"},
        {"--bogus"},
        {"--timbre", "Square wave", "--harmonics", "1,1,1,1,1,1,1,1,1,1,1,1"},
    };
    for (std::vector<std::string> args : bad) {
        const std::string what = args[0] + " " + (args.size() > 1 ? args[1] : "");
        args.insert(args.begin(), {"--out", wav});
        const Result r = RunTap(dir, args);
        EXPECT_EQ(r.status, 2) << what;
        EXPECT_EQ(r.err.rfind("tovel-tap: ", 0), 0u) << what << ": " << r.err;
        EXPECT_NE(r.err.find("usage: tovel-tap"), std::string::npos) << what << ": " << r.err;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_FALSE(fs::exists(wav)) << what;
    }
    Result r = RunTap(dir, {"--out"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--out needs a value"), std::string::npos) << r.err;

    r = RunTap(dir, {"--help", "--out", wav});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: tovel-tap", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fs::exists(wav));

    // The sound was made but cannot be kept: a failure, not a usage error.
    const std::string nowhere = dir.Path() / "missing" / "x.wav";
    r = RunTap(dir, {"--timbre", "Square wave", "--notes", "C5", "--dry", "--out", nowhere});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(nowhere), std::string::npos) << r.err;
}

TEST(TapEndToEnd, PlaysOnTheDevice) {
    TempDir dir;
    const fs::path raw = dir.Path() / "device.raw";
    // SDL's disk driver records what the device is given, in real time.
    const Result r = RunTap(dir, {"--notes", "A4", "--timbre", "Square wave", "--dry"},
                            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    ASSERT_GT(x.size(), kA4Tap);
    // The device starts before --dry takes the reverb out, and the reverb's guard against
    // denormals leaves traces far below hearing: the tone is what lies above -120 dB. Its first
    // sample is zero, so it began one sample before it is heard.
    const float audible = 1e-6f;
    const std::size_t start = FirstSound(x, audible) - 1;
    ASSERT_LT(start + kA4Tap, x.size() + 1) << "the device recorded " << x.size() << " frames";
    EXPECT_EQ(SoundEnd(x, audible) - start, kA4Tap)
        << channels << " channel(s), tone from " << start;
    ExpectA4Pitch(x, start, "device");
    const double first = Peak(x, start, start + kA4Buffer);
    const double second = Peak(x, start + kA4Buffer, start + 2 * kA4Buffer);
    EXPECT_NEAR(first, 2.0 * second, 1e-4);
}

}  // namespace
