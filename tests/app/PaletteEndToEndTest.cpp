// The palette as a user meets it: tovel started with a Timbres folder of two timbres in its own
// folder's parent, the second tile dragged onto the keyboard band with the pointer, and A4 played
// before and after.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <span>
#include <thread>

#include "container/ContainerFile.h"
#include "palette/TimbreFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string Xdotool(const std::vector<std::string>& args) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram("/usr/bin/xdotool", args, {}, dir);
    EXPECT_EQ(0, r.status) << "xdotool " << args[0] << ": " << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

// A timbre file of the amplitudes alone: the program gives it one of its jewels.
void WriteTimbre(const fs::path& path, const Amplitudes& amplitudes) {
    CVendra tree;
    ASSERT_EQ(S_OK, SetBaseWords32(*AddLayer(tree), std::as_bytes(std::span(amplitudes))));
    ASSERT_EQ(S_OK, WriteContainer(path, tree));
}

bool HoldsAJewel(const fs::path& path) {
    CVendra tree;
    TimbreFileContent content;
    return SUCCEEDED(ReadContainer(path, tree)) && SUCCEEDED(ReadTimbreTree(tree, &content)) &&
           content.mesh != nullptr;
}

// The level of harmonic k of A4, whose period is 101 samples, in x[begin, end), Hann-windowed.
double Harmonic(const std::vector<float>& x, std::size_t begin, std::size_t end, int k) {
    const double w = 2.0 * std::numbers::pi * k / 101.0;
    const double n = static_cast<double>(end - begin);
    double re = 0.0, im = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i - begin) / n);
        re += x[i] * hann * std::cos(w * i);
        im -= x[i] * hann * std::sin(w * i);
    }
    return std::hypot(re, im) / n;
}

// The first sample at or after `from` louder than `level`, or the end.
std::size_t Onset(const std::vector<float>& x, std::size_t from, double level) {
    while (from < x.size() && std::fabs(x[from]) <= level) {
        ++from;
    }
    return from;
}

// In a rectangle of the picture: the pixels clearly red (red over blue), clearly cyan (blue over
// red), and the mean brightness, 0..255. Counting them keeps a tile's colour apart from the
// white of its jewel's glints and glow.
struct Tint {
    int red = 0, cyan = 0;
    double mean = 0;
};
Tint Measure(const tovel_test::Image& picture, int left, int top, int right, int bottom) {
    Tint t;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t p = picture.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            t.red += r > b + 40;
            t.cyan += b > r + 40;
            t.mean += (r + g + b) / 3.0;
        }
    }
    t.mean /= static_cast<double>((right - left) * (bottom - top));
    return t;
}

TEST(PaletteProgramTest, ADraggedTileIsWhatTheKeyboardPlaysFromThenOn) {
    TempDir dir;
    // The program in a folder without Timbres; its parent holds them.
    fs::create_directories(dir.Path() / "bin");
    const fs::path program = dir.Path() / "bin" / "tovel";
    fs::copy_file(TOVEL_PATH, program);
    fs::create_directories(dir.Path() / "Timbres");
    // Red: harmonics 1 and 2. Cyan: harmonics 1 and 3.
    WriteTimbre(dir.Path() / "Timbres" / "first.tmbr", {0.2f, 0.1f});
    WriteTimbre(dir.Path() / "Timbres" / "second.tmbr", {1.0f, 0.0f, 1.0f});

    const fs::path raw = dir.Path() / "out.raw", shot = dir.Path() / "dragging.png";
    const fs::path err = dir.Path() / "stderr.txt";
    const std::vector<std::string> env = {
        "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string(), "TOVEL_MESSAGE_BOX=stderr",
        "TOVEL_INSTALL_DIR=" + fs::path(TOVEL_PATH).parent_path().string() + "/",
        "XDG_DATA_HOME=" + (dir.Path() / "data").string(), "TOVEL_SNAPSHOT=" + shot.string(),
        "TOVEL_SNAPSHOT_FRAME=0"};
    ChildProcess tovel(program, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    const std::string window = Xdotool({"search", "--sync", "--name", "t o v e l"});
    ASSERT_FALSE(window.empty());
    for (int i = 0;
         i < 600 && tovel_test::ReadFile(err).find("Call OnResetDevice()") == std::string::npos;
         ++i) {
        Pause(0.1);
    }
    ASSERT_NE(std::string::npos, tovel_test::ReadFile(err).find("BBW 960 BBH 768"))
        << tovel_test::ReadFile(err);
    // Input sent before the first frames may reach a window that does not listen yet.
    Pause(0.5);
    // One xdotool run for each gesture, so that its steps keep their pace however busy the
    // machine is; the picture is taken once the tile is held still (SIGUSR1).
    auto move = [&](std::vector<std::string>& args, int x, int y) {
        args.insert(args.end(), {"mousemove", "--window", window, std::to_string(x),
                                 std::to_string(y), "sleep", "0.1"});
    };
    const std::vector<std::string> playA4 = {"keydown", "--window", window, "o", "sleep", "0.8",
                                             "keyup",   "--window", window, "o"};

    // At 960 x 768 the tiles are 135 wide from x 13, 148 apart, from y 563; the keyboard band
    // lies between y 384 and 576. The second tile is lifted out of the strip in steps, held
    // above the band while A4 still plays the first timbre, and let go over the band.
    std::vector<std::string> lift;
    move(lift, 228, 660);
    lift.insert(lift.end(), {"mousedown", "1"});
    for (int y = 630; y >= 300; y -= 55) {
        move(lift, 240, y);
    }
    lift.insert(lift.end(), playA4.begin(), playA4.end());
    Xdotool(lift);
    tovel.Signal(SIGUSR1);
    ASSERT_TRUE([&] {
        for (int i = 0; i < 600 && tovel.Running(); ++i) {
            if (fs::exists(shot) && fs::file_size(shot) > 8) {
                return true;
            }
            Pause(0.1);
        }
        return false;
    }()) << tovel.Wait(1.0).err;
    std::vector<std::string> drop;
    move(drop, 240, 400);
    move(drop, 240, 470);
    drop.insert(drop.end(), {"mouseup", "1"});
    Xdotool(drop);
    Pause(3.0);
    Xdotool(playA4);
    Pause(1.5);
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("skipped")) << result.err;
    EXPECT_TRUE(HoldsAJewel(dir.Path() / "Timbres" / "first.tmbr"));
    EXPECT_TRUE(HoldsAJewel(dir.Path() / "Timbres" / "second.tmbr"));

    // While dragging: the strip holds the two timbres and the blank tile, and the second tile
    // floats at the pointer.
    const tovel_test::Image picture = tovel_test::LoadPng(shot);
    ASSERT_EQ(std::pair(960u, 768u), std::pair(picture.width, picture.height));
    const Tint first = Measure(picture, 13, 563, 148, 755);
    const Tint second = Measure(picture, 161, 563, 296, 755);
    const Tint blank = Measure(picture, 309, 563, 444, 755);
    const Tint none = Measure(picture, 457, 563, 592, 755);
    const Tint floating = Measure(picture, 173, 204, 308, 396);
    const int tile = 135 * 192;
    EXPECT_GT(first.red, tile / 4) << "the first tile is red";
    EXPECT_LT(first.cyan, tile / 50);
    EXPECT_GT(second.cyan, tile / 4) << "the second tile is cyan";
    EXPECT_LT(second.red, tile / 50);
    EXPECT_GT(floating.cyan, tile / 4) << "the second tile floats at the pointer";
    EXPECT_LT(floating.red, tile / 50);
    EXPECT_EQ(0, blank.red + blank.cyan) << "the blank tile is grey";
    EXPECT_GT(blank.mean, 60.0);
    EXPECT_LT(none.mean, 1.0) << "nothing after the blank tile";

    // A4 before the drop carries harmonics 1 and 2, after it 1 and 3: the reverb bus is linear,
    // so a harmonic that a timbre lacks is missing from what was heard.
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    const std::size_t note1 = Onset(x, 0, 1e-3);
    ASSERT_LT(note1 + 40000, x.size()) << "no sound was recorded";
    std::size_t quiet = note1 + 40000;
    while (quiet + 4410 < x.size() && tovel_test::Peak(x, quiet, quiet + 4410) > 1e-4) {
        quiet += 4410;
    }
    const std::size_t note2 = Onset(x, quiet, 1e-3);
    ASSERT_LT(note2 + 40000, x.size()) << "A4 was not heard after the drop";
    struct Levels {
        double h1, h2, h3;
    };
    auto levels = [&](std::size_t onset) {
        const std::size_t begin = onset + 2205, end = begin + 101 * 200;
        return Levels{Harmonic(x, begin, end, 1), Harmonic(x, begin, end, 2),
                      Harmonic(x, begin, end, 3)};
    };
    const Levels before = levels(note1), after = levels(note2);
    EXPECT_GT(before.h2, 0.2 * before.h1);
    EXPECT_LT(before.h3, 0.01 * before.h1);
    EXPECT_GT(after.h3, 0.2 * after.h1);
    EXPECT_LT(after.h2, 0.01 * after.h1);
}

}  // namespace
