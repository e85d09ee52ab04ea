// Runs the tovel-tap binary as a user would and measures the sound it makes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"

namespace {

using tovel_test::Peak;
using Args = std::vector<std::string>;

constexpr std::size_t kA4Period = 101;
constexpr std::size_t kA4Buffer = 89 * kA4Period;  // each of the first two buffers of a tap
constexpr std::size_t kA4Tap = 223 * kA4Period;    // 89 + 89 + 45 periods
constexpr double kWavePeak = 3276.0 / 32768.0;     // loudest sample before the voice gain

class TapEndToEnd : public ::testing::Test {
protected:
    tovel_test::RunResult Run(const Args& args) {
        return tovel_test::RunProgram(TOVEL_TAP_PATH, args, {}, m_dir);
    }
    // The samples tovel-tap writes for args, as a mono 44100 Hz float WAV file.
    std::vector<float> Render(Args args) {
        const std::filesystem::path wav = m_dir.Path() / (std::to_string(++m_runs) + ".wav");
        args.insert(args.end(),
                    {"--timbre", "Sawtooth wave", "--notes", "A4", "--dry", "--out", wav.string()});
        const tovel_test::RunResult r = Run(args);
        EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string()));
        const std::string b = tovel_test::ReadFile(wav);
        if (b.size() < 58 || b.compare(20, 8, std::string("\3\0\1\0\x44\xAC\0\0", 8)) != 0) {
            ADD_FAILURE() << wav << " is not a mono 44100 Hz float WAV file";
            return {};
        }
        return tovel_test::Floats(b, 58, (b.size() - 58) / 4);
    }
    tovel_test::TempDir m_dir;
    int m_runs = 0;
};

// One past the last sample that is not exactly 0.
std::size_t End(const std::vector<float>& x) {
    return x.rend() - std::find_if(x.rbegin(), x.rend(), [](float v) { return v != 0.0f; });
}

// A dry tap lasts 223 periods at A4 without a gap, each buffer at half the gain of the one before
// (2.0, 1.0, 0.5); a held key sounds for at least as long as it is down, and ends once released.
TEST_F(TapEndToEnd, DryTapsAndHeldKeysHaveTheVoiceEnvelope) {
    const std::vector<float> x = Render({});
    ASSERT_GT(x.size(), kA4Tap);
    EXPECT_EQ(End(x), kA4Tap) << "the tap should last 223 periods, then fall silent";
    std::size_t longestGap = 0;
    for (std::size_t i = 0, run = 0; i < kA4Tap; ++i) {
        run = x[i] == 0.0f ? run + 1 : 0;
        longestGap = std::max(longestGap, run);
    }
    EXPECT_LE(longestGap, 2u) << "silence inside the tap";
    EXPECT_NEAR(tovel_test::Period(x, 0, kA4Buffer, 1000), kA4Period, 0.5);
    EXPECT_NEAR(Peak(x, 0, kA4Buffer), 2.0 * kWavePeak, 1e-4);
    EXPECT_NEAR(Peak(x, kA4Buffer, 2 * kA4Buffer), 1.0 * kWavePeak, 1e-4);
    EXPECT_NEAR(Peak(x, 2 * kA4Buffer, kA4Tap), 0.5 * kWavePeak, 1e-4);
    const std::size_t held = End(Render({"--hold", "1.0"}));
    EXPECT_GE(held, 44100u);
    EXPECT_LE(held, 44100u + kA4Tap + 441u);
}

// A usage error is status 2 with the usage; help goes to the output; a sound that cannot be kept
// is a failure naming the file.
TEST_F(TapEndToEnd, CommandLineErrorsAndHelp) {
    const std::string wav = m_dir.Path() / "bad.wav";
    tovel_test::RunResult r = Run({"--out", wav, "--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: tovel-tap"), std::string::npos) << r.err;
    r = Run({"--help", "--out", wav});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: tovel-tap", 0), 0u) << r.out;
    EXPECT_FALSE(std::filesystem::exists(wav));
    const std::string nowhere = m_dir.Path() / "missing" / "x.wav";
    r = Run({"--notes", "C5", "--dry", "--out", nowhere});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(nowhere), std::string::npos) << r.err;
}

}  // namespace
