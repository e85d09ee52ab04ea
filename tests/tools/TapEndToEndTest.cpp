// Runs the tovel-tap binary as a user would and measures the sound it makes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::Peak;
using tovel_test::Period;
using tovel_test::Rms;
using Args = std::vector<std::string>;

constexpr double kRate = 44100.0;
constexpr std::size_t kA4Period = 101;
constexpr std::size_t kA4Buffer = 89 * kA4Period;  // each of the first two buffers of a tap
constexpr std::size_t kA4Tap = 223 * kA4Period;    // 89 + 89 + 45 periods
constexpr double kWavePeak = 3276.0 / 32768.0;     // loudest sample before the voice gain

class TapEndToEnd : public ::testing::Test {
protected:
    // Runs tovel-tap with args and the parent's environment less any SDL settings, plus env.
    tovel_test::RunResult Run(const Args& args, const Args& env = {}) {
        return tovel_test::RunProgram(TOVEL_TAP_PATH, args, env, m_dir);
    }
    // The samples tovel-tap writes for args, as a mono 44100 Hz float WAV file.
    std::vector<float> Render(Args args, std::string* out = nullptr) {
        const fs::path wav = m_dir.Path() / ("out" + std::to_string(++m_files) + ".wav");
        args.insert(args.end(), {"--out", wav});
        const tovel_test::RunResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        if (out) {
            *out = r.out;
        }
        const std::string b = tovel_test::ReadFile(wav);
        // Format 3 (float), one channel, 44100 Hz; the layout itself is WriteFloatWav's test.
        if (b.size() < 58 || b.compare(20, 8, std::string("\3\0\1\0\x44\xAC\0\0", 8)) != 0) {
            ADD_FAILURE() << wav << " is not a mono 44100 Hz float WAV file";
            return {};
        }
        return tovel_test::Floats(b, 58, (b.size() - 58) / 4);
    }
    tovel_test::TempDir m_dir;
    int m_files = 0;
};

// The first sample louder than floor and one past the last (by default, samples not exactly 0).
std::pair<std::size_t, std::size_t> Sound(const std::vector<float>& x, float floor = 0.0f) {
    auto loud = [&](float v) { return std::fabs(v) > floor; };
    return {std::find_if(x.begin(), x.end(), loud) - x.begin(),
            x.rend() - std::find_if(x.rbegin(), x.rend(), loud)};
}

void ExpectA4Pitch(const std::vector<float>& x, std::size_t begin, const char* what) {
    const double period = Period(x, begin, begin + kA4Buffer, 1000);
    ASSERT_GT(period, 0.0) << what << ": no pitch found";
    EXPECT_NEAR(kRate / period, kRate / kA4Period, 0.005 * kRate / kA4Period) << what;
}

// A dry tap lasts 223 periods at A4 without a gap, each buffer at half the gain of the one
// before (2.0, 1.0, 0.5); a pure fundamental through --harmonics sounds the same way; a held
// key sounds for at least as long as it is down, and ends once released.
TEST_F(TapEndToEnd, DryTapsAndHeldKeysHaveTheVoiceEnvelope) {
    std::string out;
    for (const Args& timbre :
         {Args{"--timbre", "Sawtooth wave"}, Args{"--harmonics", "1,0,0,0,0,0,0,0,0,0,0,0"}}) {
        Args args = timbre;
        args.insert(args.end(), {"--notes", "A4", "--dry"});
        const std::vector<float> x = Render(args, &out);
        SCOPED_TRACE(timbre[1]);
        EXPECT_NE(out.find(timbre[0] == "--timbre" ? "Sawtooth wave: A4" : "Harmonics: A4"),
                  std::string::npos)
            << out;
        ASSERT_GT(x.size(), kA4Tap);
        EXPECT_EQ(Sound(x).second, kA4Tap) << "the tap should last 223 periods, then fall silent";
        std::size_t longestGap = 0;
        for (std::size_t i = 0, run = 0; i < kA4Tap; ++i) {
            run = x[i] == 0.0f ? run + 1 : 0;
            longestGap = std::max(longestGap, run);
        }
        EXPECT_LE(longestGap, 2u) << "silence inside the tap";
        ExpectA4Pitch(x, 0, "first buffer");
        EXPECT_NEAR(Peak(x, 0, kA4Buffer), 2.0 * kWavePeak, 1e-4);
        EXPECT_NEAR(Peak(x, kA4Buffer, 2 * kA4Buffer), 1.0 * kWavePeak, 1e-4);
        EXPECT_NEAR(Peak(x, 2 * kA4Buffer, kA4Tap), 0.5 * kWavePeak, 1e-4);
    }
    const std::vector<float> x =
        Render({"--timbre", "Sawtooth wave", "--notes", "A4", "--dry", "--hold", "1.0"});
    EXPECT_GE(Sound(x).second, 44100u);
    EXPECT_LE(Sound(x).second, 44100u + kA4Tap + 441u);
    ExpectA4Pitch(x, 0, "held note");
}

TEST_F(TapEndToEnd, ReverbTailIsBoundedAndDecays) {
    const std::vector<float> x = Render({"--timbre", "Sawtooth wave", "--notes", "A4"});
    const std::size_t window = 8820;      // 200 ms
    const std::size_t tailStart = 26460;  // 0.6 s, after the dry note has ended
    ASSERT_GE(x.size(), tailStart + 6 * window);
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_TRUE(std::isfinite(x[i]) && std::fabs(x[i]) <= 1.0f) << i << ": " << x[i];
    }
    EXPECT_GE(Sound(x).first, 220u) << "the reverb's 5 ms pre-delay should come first";
    EXPECT_GT(Peak(x, 0, kA4Tap), 0.01);
    // A tail that rings on after the note, then dies away by more than 40 dB.
    std::vector<double> levels;
    for (std::size_t at = tailStart; at + window <= x.size(); at += window) {
        levels.push_back(Rms(x, at, at + window));
    }
    EXPECT_GT(levels.front(), 1e-3) << "no reverb tail after the note";
    for (std::size_t i = 1; i < levels.size(); ++i) {
        EXPECT_LT(levels[i], levels[i - 1]) << "window " << i << " of the tail grew";
    }
    EXPECT_LT(levels.back(), levels.front() / 100);
}

// Without --timbre every preset plays C4, E4, G4, C5 in turn. Notes start on 10 ms steps, so the
// pitch of each fully sounding step gives the order in which they were played.
TEST_F(TapEndToEnd, DefaultsPlayEveryPresetInTurn) {
    std::string out;
    const std::vector<float> x = Render({"--dry"}, &out);
    for (const char* timbre : {"All even number Hi wave", "Sawtooth wave", "Square wave"}) {
        EXPECT_NE(out.find(std::string(timbre) + ": C4 E4 G4 C5"), std::string::npos) << out;
    }
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

TEST_F(TapEndToEnd, CommandLineErrorsAndHelp) {
    const std::string wav = m_dir.Path() / "bad.wav";
    // A bad value, an unknown argument, and options that exclude each other.
    for (Args args : {Args{"--timbre", "Sine wave"}, Args{"--bogus"},
                      Args{"--timbre", "Square wave", "--harmonics", "1,1,1,1,1,1,1,1,1,1,1,1"}}) {
        const std::string what = args[0];
        args.insert(args.begin(), {"--out", wav});
        const tovel_test::RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << what;
        EXPECT_EQ(r.err.rfind("tovel-tap: ", 0), 0u) << what << ": " << r.err;
        EXPECT_NE(r.err.find("usage: tovel-tap"), std::string::npos) << what << ": " << r.err;
        EXPECT_EQ(r.out, "") << what;
    }
    tovel_test::RunResult r = Run({"--help", "--out", wav});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: tovel-tap", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fs::exists(wav));
    // The sound was made but cannot be kept: a failure, not a usage error.
    const std::string nowhere = m_dir.Path() / "missing" / "x.wav";
    r = Run({"--timbre", "Square wave", "--notes", "C5", "--dry", "--out", nowhere});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(nowhere), std::string::npos) << r.err;
}

TEST_F(TapEndToEnd, PlaysOnTheDevice) {
    const fs::path raw = m_dir.Path() / "device.raw";
    // SDL's disk driver records what the device is given, in real time.
    const tovel_test::RunResult r =
        Run({"--notes", "A4", "--timbre", "Square wave", "--dry"},
            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    ASSERT_GT(x.size(), kA4Tap);
    // The device starts before --dry takes the reverb out, and the reverb's guard against
    // denormals leaves traces far below hearing: the tone is what lies above -120 dB. Its first
    // sample is zero, so it began one sample before it is heard.
    const auto [heard, end] = Sound(x, 1e-6f);
    const std::size_t start = heard - 1;
    ASSERT_LE(start + kA4Tap, x.size()) << "the device recorded " << x.size() << " frames";
    EXPECT_EQ(end - start, kA4Tap) << channels << " channel(s), tone from " << start;
    ExpectA4Pitch(x, start, "device");
    EXPECT_NEAR(Peak(x, start, start + kA4Buffer),
                2.0 * Peak(x, start + kA4Buffer, start + 2 * kA4Buffer), 1e-4);
}

}  // namespace
