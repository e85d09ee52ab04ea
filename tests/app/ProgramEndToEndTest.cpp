// The tovel program as a user starts it: under an X server, with its jewels beside it or
// without them.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "controls/HsvColour.h"
#include "synth/Timbre.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

const std::vector<std::string> kQuietEnvironment = {"SDL_AUDIODRIVER=dummy",
                                                    "TOVEL_MESSAGE_BOX=stderr"};
// The Timbres folder a program without one beside it makes is kept below the data home.
std::vector<std::string> QuietEnvironment(const TempDir& dir) {
    std::vector<std::string> env = kQuietEnvironment;
    env.push_back("XDG_DATA_HOME=" + (dir.Path() / "data").string());
    return env;
}

bool WaitForFile(const fs::path& path, ChildProcess& child, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline && child.Running()) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        if (!error && size > 8) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(ProgramTest, RunsItsFrameLoopAndEndsCleanlyWhenClosed) {
    TempDir dir;
    const fs::path shot = dir.Path() / "frame.png";
    std::vector<std::string> env = QuietEnvironment(dir);
    env.push_back("TOVEL_SNAPSHOT=" + shot.string());
    env.push_back("TOVEL_SNAPSHOT_FRAME=10");
    ChildProcess tovel(TOVEL_PATH, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    ASSERT_TRUE(WaitForFile(shot, tovel, 60.0)) << tovel.Wait(1.0).err;
    // A quit signal closes the window, as its close button does.
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ(0, tovel_test::ReadFile(shot).compare(1, 3, "PNG"));
    EXPECT_EQ(std::string::npos, result.err.find("Sorry")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Call OnResetDevice() Windowd.TRUE"))
        << "the first show resets the device: " << result.err;
}

TEST(ProgramTest, WithoutADisplayItSaysSoInsteadOfRunningUnseen) {
    TempDir dir;
    std::vector<std::string> env = QuietEnvironment(dir);
    env.push_back("DISPLAY=");
    env.push_back("WAYLAND_DISPLAY=");
    const RunResult result = tovel_test::RunProgram(TOVEL_PATH, {}, env, dir);
    EXPECT_EQ(1, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("A graphical display is needed")) << result.err;
}

// A copy of the program in a folder of its own, deep enough that neither it nor the two folders
// above it hold "Jewels" unless the test puts one there.
struct Installation {
    explicit Installation(const TempDir& dir)
        : root(dir.Path() / "prefix"),
          program(root / "bin" / "tovel"),
          jewels(root / "bin" / "Jewels"),
          settings(root / "etc" / "tovel" / "installdirectory") {
        fs::create_directories(program.parent_path());
        fs::copy_file(TOVEL_PATH, program);
    }
    void WriteSettings(const std::string& line) const {
        fs::create_directories(settings.parent_path());
        std::ofstream(settings) << line << "\n";
    }
    std::string NotBeside() const {
        return "The \"Jewels\" folder is not beside the program (" + jewels.string() + ", " +
               (root / "Jewels").string() + " or " + (root.parent_path() / "Jewels").string() + ")";
    }
    fs::path root, program, jewels, settings;
};

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(ProgramTest, EveryBadJewelEnvironmentSaysWhatIsMissingAndWhereAndFails) {
    struct Case {
        const char* name;
        std::function<void(const Installation&)> prepare;
        std::function<std::string(const Installation&)> message;
    };
    const Case cases[] = {
        {"no Jewels anywhere", [](const Installation&) {},
         [](const Installation& i) {
             return "I Can't Open RegistoryKey 'HKEY_LOCAL_MACHINE/SOFTWARE/Vendra/tovel'\n" +
                    i.NotBeside() +
                    ", and no installation directory is set: TOVEL_INSTALL_DIR is not set and " +
                    i.settings.string() + " does not exist.";
         }},
        {"an installation directory without Jewels",
         [](const Installation& i) { i.WriteSettings((i.root / "share").string() + "/"); },
         [](const Installation& i) {
             const std::string share = (i.root / "share").string() + "/";
             return "I Can't Open Directory:" + share + "Jewels\n" + i.NotBeside() +
                    ", nor below the installation directory " + share + " named by " +
                    i.settings.string() + ".";
         }},
        {"an empty folder", [](const Installation& i) { fs::create_directory(i.jewels); },
         [](const Installation& i) {
             return "No jewel can be loaded from the folder " + i.jewels.string() +
                    ": it holds no jewel file (*.gem).";
         }},
        {"only damaged files",
         [](const Installation& i) {
             fs::create_directory(i.jewels);
             WriteText(i.jewels / "cut.gem", "");
             fs::copy_file(fs::path(TOVEL_PATH).parent_path() / "Jewels" / "oval.gem",
                           i.jewels / "oval.gem");
             fs::resize_file(i.jewels / "oval.gem", 100);
         },
         [](const Installation& i) {
             return "No jewel can be loaded from the folder " + i.jewels.string() +
                    ": cut.gem is damaged and oval.gem is damaged.";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Installation installation(dir);
        c.prepare(installation);
        const fs::path shot = dir.Path() / "frame.png";
        std::vector<std::string> env = QuietEnvironment(dir);
        env.push_back("TOVEL_INSTALL_DIR=");
        env.push_back("TOVEL_SNAPSHOT=" + shot.string());
        env.push_back("TOVEL_SNAPSHOT_FRAME=1");
        const RunResult result = tovel_test::RunProgram(installation.program, {}, env, dir);
        EXPECT_EQ(1, result.status) << result.err;
        EXPECT_NE(std::string::npos, result.err.find("tovel: " + c.message(installation) + "\n"))
            << result.err;
        EXPECT_FALSE(fs::exists(shot)) << "no frame is presented after the quit request";
    }
}

TEST(ProgramTest, ADamagedJewelAmongGoodOnesIsSkippedAndTheProgramPlaysOn) {
    TempDir dir;
    const Installation installation(dir);
    fs::copy(fs::path(TOVEL_PATH).parent_path() / "Jewels", installation.jewels);
    WriteText(installation.jewels / "moonstone.gem", "not a jewel");
    const fs::path shot = dir.Path() / "frame.png";
    std::vector<std::string> env = QuietEnvironment(dir);
    env.push_back("TOVEL_SNAPSHOT=" + shot.string());
    env.push_back("TOVEL_SNAPSHOT_FRAME=10");
    ChildProcess tovel(installation.program, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    ASSERT_TRUE(WaitForFile(shot, tovel, 60.0)) << tovel.Wait(1.0).err;
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Skipped the jewel file " +
                                                 (installation.jewels / "moonstone.gem").string() +
                                                 ": it is damaged.\n"))
        << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("tovel: ")) << "no message: " << result.err;
}

}  // namespace

namespace {

// xdotool's answer, or empty. It keeps its output in a folder of its own, so the program's
// output files are left as they are.
std::string Xdotool(const std::vector<std::string>& args) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram("/usr/bin/xdotool", args, {}, dir);
    EXPECT_EQ(0, r.status) << "xdotool " << args[0] << ": " << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Peak of every 10 ms block.
std::vector<double> Envelope(const std::vector<float>& x) {
    std::vector<double> blocks;
    for (std::size_t at = 0; at + 441 <= x.size(); at += 441) {
        blocks.push_back(tovel_test::Peak(x, at, at + 441));
    }
    return blocks;
}

// The first block at or after `from` louder than `level`, or the number of blocks.
std::size_t Onset(const std::vector<double>& envelope, std::size_t from, double level) {
    while (from < envelope.size() && envelope[from] <= level) {
        ++from;
    }
    return from;
}

// The window's brightness in a band of rows [from, to) of its height, with its size.
struct Brightness {
    int width = 0, height = 0;
    double band = 0;
};
Brightness MeasurePicture(const fs::path& png, double from, double to) {
    Brightness b;
    const tovel_test::Image picture = tovel_test::LoadPng(png);
    b.width = static_cast<int>(picture.width);
    b.height = static_cast<int>(picture.height);
    for (int y = static_cast<int>(from * b.height); y < static_cast<int>(to * b.height); ++y) {
        for (int x = 0; x < b.width; ++x) {
            const std::uint32_t pixel = picture.At(x, y);
            b.band += ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
        }
    }
    return b;
}

TEST(ProgramTest, AResizedWindowShowsTheKeyboardAtItsNewSizeAndATinyOneKeepsRunning) {
    TempDir dir;
    const fs::path shot = dir.Path() / "resized.png", err = dir.Path() / "stderr.txt";
    std::vector<std::string> env = QuietEnvironment(dir);
    env.push_back("TOVEL_SNAPSHOT=" + shot.string());
    env.push_back("TOVEL_SNAPSHOT_FRAME=300");
    ChildProcess tovel(TOVEL_PATH, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    const std::string window = Xdotool({"search", "--sync", "--name", "t o v e l"});
    ASSERT_FALSE(window.empty());
    for (int i = 0;
         i < 600 && tovel_test::ReadFile(err).find("Call OnResetDevice()") == std::string::npos;
         ++i) {
        Pause(0.1);
    }
    Xdotool({"windowsize", window, "900", "600"});
    ASSERT_TRUE(WaitForFile(shot, tovel, 60.0)) << tovel.Wait(1.0).err;
    // Without a window manager nothing holds the window to its minimum size; the program goes
    // on with its smallest back buffer.
    Xdotool({"windowsize", window, "40", "20"});
    for (int i = 0; i < 100 && tovel_test::ReadFile(err).find("BBW 256 BBH 192") == std::string::npos;
         ++i) {
        Pause(0.1);
    }
    Pause(0.5);
    ASSERT_TRUE(tovel.Running()) << tovel.Wait(1.0).err;
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    ASSERT_EQ(0, result.status) << result.err;
    ASSERT_NE(std::string::npos, result.err.find("BBW 900 BBH 600")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Call OnResizeWindow(40,20)")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("BBW 256 BBH 192")) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("Failed")) << result.err;

    const Brightness keys = MeasurePicture(shot, 0.5, 0.75);
    EXPECT_EQ(std::pair(900, 600), std::pair(keys.width, keys.height));
    EXPECT_GT(keys.band, 900 * 600 * 0.25 * 30.0) << "the keyboard band is dark";
}

TEST(ProgramTest, PlaysTheComputerKeysAndShowsTheirColumns) {
    TempDir dir;
    const fs::path raw = dir.Path() / "out.raw", shot = dir.Path() / "held.png";
    std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string(),
                                    "TOVEL_MESSAGE_BOX=stderr", "TOVEL_SNAPSHOT=" + shot.string(),
                                    "TOVEL_SNAPSHOT_FRAME=0",
                                    "XDG_DATA_HOME=" + (dir.Path() / "data").string()};
    ChildProcess tovel(TOVEL_PATH, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    const std::string window = Xdotool({"search", "--sync", "--name", "t o v e l"});
    ASSERT_FALSE(window.empty());
    auto key = [&](const char* action, const char* name) {
        Xdotool({action, "--window", window, name});
    };
    // Keys pressed before the first device reset may reach a window that does not listen yet.
    const fs::path err = dir.Path() / "stderr.txt";
    for (int i = 0;
         i < 600 && tovel_test::ReadFile(err).find("Call OnResetDevice()") == std::string::npos;
         ++i) {
        Pause(0.1);
    }
    Pause(0.5);
    // O plays A4: pressed until it is heard, however slowly the program runs (pressing it again
    // while it is down changes nothing, as a key's auto-repeat does not), held while its column
    // rises, and then the picture is taken (SIGUSR1).
    auto heard = [&] {
        const std::string bytes = tovel_test::ReadFile(raw);
        const std::vector<float> x = tovel_test::Floats(bytes, 0, bytes.size() / 4);
        return tovel_test::Peak(x, 0, x.size()) > 1e-3;
    };
    for (int i = 0; i < 120 && !heard() && tovel.Running(); ++i) {
        key("keydown", "o");
        Pause(0.5);
    }
    Pause(1.5);
    tovel.Signal(SIGUSR1);
    ASSERT_TRUE(WaitForFile(shot, tovel, 30.0)) << tovel.Wait(1.0).err;
    Pause(0.3);
    key("keyup", "o");
    Pause(4.0);
    key("keydown", "z");  // C2
    Pause(1.0);
    key("keyup", "z");
    Pause(4.0);
    key("keydown", "a");  // a dead key
    Pause(1.0);
    key("keyup", "a");
    Pause(1.0);
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    ASSERT_EQ(0, result.status) << result.err;

    // While O was held: its column rises above the keyboard, right of the middle where the key
    // lies, in the timbre's red made pale by the key's place high on the keyboard; the keys
    // themselves fill the keyboard band.
    // The harmonics control shares the upper half: its bars lie above 18 % of the height, and
    // its trace is drawn in a colour of its own, which a column's light changes where it passes.
    const tovel_test::Image picture = tovel_test::LoadPng(shot);
    ASSERT_NE(0u, picture.width) << shot << " could not be read";
    CTimbre played;
    played.SetAllEvenHiWave();
    const std::uint32_t trace = TraceColour(played.m_color) & 0xFFFFFF;
    double red = 0, green = 0, blue = 0, weightedX = 0, band = 0;
    const int width = static_cast<int>(picture.width), height = static_cast<int>(picture.height);
    for (int y = 0; y < height; ++y) {
        for (int px = 0; px < width; ++px) {
            const std::uint32_t c = picture.At(px, y);
            const double r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            if (y < height / 2) {
                if (y < height * 0.18 || (c & 0xFFFFFF) == trace) {
                    continue;
                }
                red += r;
                green += g;
                blue += b;
                weightedX += px * (r + g + b);
            } else if (y < height * 3 / 4) {
                band += r + g + b;
            }
        }
    }
    ASSERT_GT(red, 5000.0) << "no column above the keyboard";
    EXPECT_GT(red, 1.05 * green);
    EXPECT_GT(red, 1.05 * blue);
    EXPECT_GT(weightedX / (red + green + blue), width * 0.5);
    EXPECT_GT(band, 20 * (red + green + blue)) << "the keyboard band holds the keys";

    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    const std::vector<double> envelope = Envelope(x);
    const std::size_t a4 = Onset(envelope, 0, 1e-3);
    ASSERT_LT(a4 + 50, envelope.size()) << "no sound was recorded";
    // The period is played as it is: 101 samples for A4, 675 for C2.
    const double a4Period = tovel_test::Period(x, (a4 + 5) * 441, (a4 + 25) * 441, 1000);
    EXPECT_NEAR(44100.0 / 101.0, 44100.0 / a4Period, 0.005 * 44100.0 / 101.0);

    // After the release the note and its reverb die away before C2 starts.
    std::size_t quiet = a4 + 50;
    while (quiet < envelope.size() && envelope[quiet] > 1e-4) {
        ++quiet;
    }
    const std::size_t c2 = Onset(envelope, quiet, 1e-3);
    ASSERT_LT(c2 + 50, envelope.size()) << "C2 was not heard";
    const double c2Period = tovel_test::Period(x, (c2 + 5) * 441, (c2 + 45) * 441, 1400);
    EXPECT_NEAR(44100.0 / 675.0, 44100.0 / c2Period, 0.005 * 44100.0 / 675.0);

    // The dead key adds nothing: from C2's tail on, the sound only fades.
    std::size_t tail = c2 + 50;
    while (tail < envelope.size() && envelope[tail] > 1e-4) {
        ++tail;
    }
    ASSERT_LT(tail + 150, envelope.size()) << "C2's tail lasts to the end of the recording";
    for (std::size_t b = tail; b < envelope.size(); ++b) {
        ASSERT_LE(envelope[b], 2e-4) << "sound at " << b * 0.01 << " s after the start";
    }
}

}  // namespace
