// The tovel program as a user meets it under an X server: started with its jewels beside it or
// without them, played from the computer keys; full screen and minimised under a real window
// manager (openbox, started by the test); a timbre shaped and kept with the pointer (xdotool),
// and chosen again from its tile in the next run. Pictures are taken with SIGUSR1 and the sound
// recorded by SDL's disk driver.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <thread>
#include <tuple>

#include "container/ContainerFile.h"
#include "container/Vendra.h"
#include "palette/TimbreFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;
using Clock = std::chrono::steady_clock;
constexpr auto npos = std::string::npos;

// tovel as these tests run it: messages on its standard error, a data home in the test's
// folder, a picture of the next frame on request.
class TovelProcess {
public:
    // The test's own settings come first, and so win over these.
    TovelProcess(const TempDir& dir, std::vector<std::string> env,
                 const fs::path& program = TOVEL_PATH)
        : m_dir(dir), m_shot(dir.Path() / "shot.png") {
        env.insert(env.end(), {"SDL_AUDIODRIVER=dummy", "TOVEL_MESSAGE_BOX=stderr",
                               "XDG_DATA_HOME=" + (dir.Path() / "data").string(),
                               "TOVEL_SNAPSHOT=" + m_shot.string(), "TOVEL_SNAPSHOT_FRAME=0"});
        m_process.emplace(program, std::vector<std::string>{}, env, dir);
    }

    // Waits for the window on the screen and the device's first reset; input sent before the
    // first frames may reach a window that does not listen yet.
    bool Shown() {
        window = Xdotool({"search", "--sync", "--onlyvisible", "--name", "t o v e l"});
        const bool reset =
            WaitFor([this] { return Count(Lines(), "Call OnResetDevice()") > 0; }, 60.0);
        Pause(0.5);
        return !window.empty() && reset;
    }
    std::string Lines() const { return ReadFile(m_dir.Path() / "stderr.txt"); }
    bool WaitForLine(const std::string& line, std::size_t times = 1) const {
        return WaitFor([&] { return Count(Lines(), line) >= times; }, 30.0);
    }
    Image Picture() { return Snapshot(*m_process, m_shot) ? LoadPng(m_shot.string()) : Image{}; }
    RunResult Stop() {
        m_process->Signal(SIGTERM);
        return m_process->Wait();
    }
    ChildProcess& Process() { return *m_process; }

    std::string window;

private:
    const TempDir& m_dir;
    fs::path m_shot;
    std::optional<ChildProcess> m_process;
};

// A picture's channels at a point.
struct Rgb {
    int r, g, b;
};
Rgb At(const Image& picture, int x, int y) {
    const auto p = static_cast<int>(picture.At(x, y));
    return {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF};
}

// Mean brightness (the three channels summed) of the pixels [left, right) x [top, bottom).
double Brightness(const Image& picture, int left, int top, int right, int bottom) {
    double sum = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const Rgb c = At(picture, x, y);
            sum += c.r + c.g + c.b;
        }
    }
    return sum / ((right - left) * (bottom - top));
}

// What SDL's disk driver recorded, one channel.
inline std::vector<float> Recording(const fs::path& raw) {
    std::size_t channels = 0;
    return ReadDeviceRecording(raw, &channels);
}

TEST(ProgramTest, WithoutADisplayItSaysSoInsteadOfRunningUnseen) {
    TempDir dir;
    const RunResult result =
        RunProgram(TOVEL_PATH, {}, {"SDL_AUDIODRIVER=dummy", "DISPLAY=", "WAYLAND_DISPLAY="}, dir);
    EXPECT_EQ(1, result.status) << result.err;
    EXPECT_NE(npos, result.err.find("A graphical display is needed")) << result.err;
}

// A copy of the program in a folder of its own, deep enough that neither it nor the two folders
// above it hold "Jewels" unless the test puts one there.
struct Installation {
    explicit Installation(const TempDir& dir) : root(dir.Path() / "prefix") {
        fs::create_directories(program.parent_path());
        fs::copy_file(TOVEL_PATH, program);
    }
    std::string NotBeside() const {
        return "The \"Jewels\" folder is not beside the program (" + jewels.string() + ", " +
               (root / "Jewels").string() + " or " + (root.parent_path() / "Jewels").string() + ")";
    }
    fs::path root, program = root / "bin" / "tovel", jewels = root / "bin" / "Jewels",
                   settings = root / "etc" / "tovel" / "installdirectory";
};

TEST(ProgramTest, EveryBadJewelEnvironmentSaysWhatIsMissingAndWhereAndFails) {
    const fs::path built = fs::path(TOVEL_PATH).parent_path() / "Jewels";
    // What the installation holds, and the message that says what is missing where.
    using Make = std::function<void(const Installation&)>;
    using Says = std::function<std::string(const Installation&)>;
    const std::tuple<const char*, Make, Says> cases[] = {
        {"no Jewels anywhere", [](const Installation&) {},
         [](const Installation& i) {
             return "I Can't Open RegistoryKey 'HKEY_LOCAL_MACHINE/SOFTWARE/Vendra/tovel'\n" +
                    i.NotBeside() + ", and no installation directory is set: TOVEL_INSTALL_DIR " +
                    "is not set and " + i.settings.string() + " does not exist.";
         }},
        {"an installation directory without Jewels",
         [](const Installation& i) {
             fs::create_directories(i.settings.parent_path());
             std::ofstream(i.settings) << (i.root / "share").string() << "/\n";
         },
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
         [&built](const Installation& i) {
             fs::create_directory(i.jewels);
             std::ofstream(i.jewels / "cut.gem");
             fs::copy_file(built / "oval.gem", i.jewels / "oval.gem");
             fs::resize_file(i.jewels / "oval.gem", 100);
         },
         [](const Installation& i) {
             return "No jewel can be loaded from the folder " + i.jewels.string() +
                    ": cut.gem is damaged and oval.gem is damaged.";
         }},
    };
    for (const auto& [name, prepare, message] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const Installation installation(dir);
        prepare(installation);
        const fs::path shot = dir.Path() / "frame.png";
        const RunResult result =
            RunProgram(installation.program, {},
                       {"SDL_AUDIODRIVER=dummy", "TOVEL_MESSAGE_BOX=stderr",
                        "TOVEL_INSTALL_DIR=", "XDG_DATA_HOME=" + dir.Path().string(),
                        "TOVEL_SNAPSHOT=" + shot.string(), "TOVEL_SNAPSHOT_FRAME=1"},
                       dir);
        EXPECT_EQ(1, result.status) << result.err;
        EXPECT_NE(npos, result.err.find("tovel: " + message(installation) + "\n")) << result.err;
        EXPECT_FALSE(fs::exists(shot)) << "no frame is presented after the quit request";
    }
}

// Peak of every 10 ms block.
std::vector<double> Envelope(const std::vector<float>& x) {
    std::vector<double> blocks;
    for (std::size_t at = 0; at + 441 <= x.size(); at += 441) {
        blocks.push_back(Peak(x, at, at + 441));
    }
    return blocks;
}

// The first block at or after `from` above `level` (louder), or else below it.
std::size_t Next(const std::vector<double>& envelope, std::size_t from, double level, bool louder) {
    while (from < envelope.size() && (envelope[from] > level) != louder) {
        ++from;
    }
    return from;
}

// One damaged jewel among the good ones is skipped. The computer keys play and show their
// columns; the window follows a size below the smallest back buffer (no window manager holds it
// to its minimum); a quit signal ends it cleanly, as its close button does.
TEST(ProgramTest, PlaysTheKeysShowsTheirColumnsFollowsEverySizeAndSkipsADamagedJewel) {
    TempDir dir;
    const Installation installation(dir);
    fs::copy(fs::path(TOVEL_PATH).parent_path() / "Jewels", installation.jewels);
    std::ofstream(installation.jewels / "moonstone.gem") << "not a jewel";
    const fs::path raw = dir.Path() / "out.raw";
    TovelProcess tovel(dir, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string()},
                       installation.program);
    ASSERT_TRUE(tovel.Shown()) << tovel.Lines();
    auto key = [&](const char* action, const char* name, double pause) {
        Xdotool({action, "--window", tovel.window, name});
        Pause(pause);
    };
    // O plays A4: pressed until it is heard, however slowly the program runs (pressing it again
    // while it is down changes nothing, as a key's auto-repeat does not), held while its column
    // rises, and then the picture is taken.
    auto heard = [&] {
        const std::string bytes = ReadFile(raw);
        const std::vector<float> x = Floats(bytes, 0, bytes.size() / 4);
        return Peak(x, 0, x.size()) > 1e-3;
    };
    for (int i = 0; i < 120 && !heard() && tovel.Process().Running(); ++i) {
        key("keydown", "o", 0.5);
    }
    Pause(1.5);
    const Image picture = tovel.Picture();
    ASSERT_NE(0u, picture.width) << tovel.Lines();
    Pause(0.3);
    key("keyup", "o", 5.0);

    Xdotool({"windowsize", tovel.window, "40", "20"});
    EXPECT_TRUE(tovel.WaitForLine("Call OnResizeWindow(40,20)")) << tovel.Lines();
    EXPECT_TRUE(tovel.WaitForLine("BBW 256 BBH 192")) << tovel.Lines();
    const RunResult result = tovel.Stop();
    ASSERT_EQ(0, result.status) << result.err;
    for (const char* never : {"Failed", "Sorry", "tovel: "}) {
        EXPECT_EQ(npos, result.err.find(never)) << result.err;
    }
    EXPECT_NE(npos, result.err.find("Skipped the jewel file " +
                                    (installation.jewels / "moonstone.gem").string() +
                                    ": it is damaged.\n"))
        << result.err;
    // While O was held its column rose above the keyboard (and below the harmonics control, above
    // 18 % of the height), right of the middle where the key lies.
    const int w = static_cast<int>(picture.width), h = static_cast<int>(picture.height);
    const int top = static_cast<int>(std::ceil(h * 0.18));
    EXPECT_GT(Brightness(picture, w / 2, top, w, h / 2), 5.0) << "no column above the keyboard";
    EXPECT_GT(Brightness(picture, w / 2, top, w, h / 2),
              2 * Brightness(picture, 0, top, w / 2, h / 2));

    // A4 is played as it is, a period of 101 samples; after the release the note and its reverb
    // die away. (Other keys' pitches and the dead keys are the keyboard's and key map's tests.)
    const std::vector<float> x = Recording(raw);
    const std::vector<double> envelope = Envelope(x);
    const std::size_t a4 = Next(envelope, 0, 1e-3, true);
    ASSERT_LT(a4 + 50, envelope.size()) << "no sound was recorded";
    EXPECT_NEAR(101.0, Period(x, (a4 + 5) * 441, (a4 + 25) * 441, 1000), 0.5);
    const std::size_t tail = Next(envelope, a4 + 50, 1e-4, false);
    ASSERT_LT(tail + 150, envelope.size()) << "A4's tail lasts to the end of the recording";
    for (std::size_t b = tail; b < envelope.size(); ++b) {
        ASSERT_LE(envelope[b], 2e-4) << "sound at " << b * 0.01 << " s after the start";
    }
}

// Openbox with its defaults, plus a key that maximises the focused window as its title bar's
// button would.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard><keybind key="W-Up"><action name="Maximize"/></keybind></keyboard>
</openbox_config>
)";

// Processor time of a process or thread, in clock ticks, from its stat file.
long Ticks(const std::string& stat) {
    const std::string content = ReadFile(stat);
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        ticks += i >= 14 ? std::stol(field) : 0;  // user and system time
    }
    return ticks;
}

// Maximise, Escape, minimise and restore while A4 is struck again and again: full screen covers
// the display above every window with the restore button drawn, Escape gives back the window as
// it was, minimised the program waits for events without drawing, and the sound never stops
// until then.
TEST(FullScreenTest, MaximiseEscapeMinimiseAndRestoreWhileANoteSounds) {
    TempDir dir, openboxDir;  // openbox's output apart from tovel's
    std::ofstream(dir.Path() / "rc.xml") << kOpenboxConfig;
    ChildProcess openbox("/usr/bin/openbox", {"--config-file", (dir.Path() / "rc.xml").string()},
                         {}, openboxDir);
    ASSERT_TRUE(WaitFor(
        [] {
            return Tool("/usr/bin/xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"})
                       .find("window id") != npos;
        },
        30.0))
        << "openbox did not start";
    const fs::path raw = dir.Path() / "out.raw";
    TovelProcess tovel(dir, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string()});
    ASSERT_TRUE(tovel.Shown()) << tovel.Lines();
    const std::string& window = tovel.window;
    const Geometry start = WindowGeometry(window);
    ASSERT_GT(start.width, 0);

    // Keys go to the focused window, as a user's would. O (A4) and I (G4) are struck in turn,
    // each held for 0.75 s and the two overlapping, so that every frame finds a key held even
    // when a slow software renderer and a busy X server hand the program its key events in
    // bursts; a new strike comes at least once a second.
    std::atomic<bool> playing{true};
    const auto playStart = Clock::now();
    auto since = [&playStart] {
        return std::chrono::duration<double>(Clock::now() - playStart).count();
    };
    std::thread player([&playing] {
        for (bool first = true; playing; first = false) {
            Xdotool({"keydown", "o"});
            Pause(0.25);
            if (!first) {
                Xdotool({"keyup", "i"});
            }
            Pause(0.25);
            Xdotool({"keydown", "i"});
            Pause(0.25);
            Xdotool({"keyup", "o"});
            Pause(0.25);
        }
        Xdotool({"keyup", "i"});
    });
    Pause(1.0);

    Xdotool({"key", "super+Up"});
    ASSERT_TRUE(tovel.WaitForLine("Call OnResizeWindow(1280,1024)")) << tovel.Lines();
    Pause(0.5);
    const Geometry full = WindowGeometry(window);
    EXPECT_EQ(std::tuple(0, 0, 1280, 1024), std::tuple(full.x, full.y, full.width, full.height));
    EXPECT_NE(npos, Tool("/usr/bin/xprop", {"-id", window, "_NET_WM_STATE"}).find("_ABOVE"));
    const Image fullPicture = tovel.Picture();
    ASSERT_EQ(std::pair(1280u, 1024u), std::pair(fullPicture.width, fullPicture.height));
    // The restore button: 2.5 % of the width, 95 % across and 2.5 % down.
    EXPECT_GT(Brightness(fullPicture, 1217, 27, 1247, 55), 30.0) << "no restore button";

    Xdotool({"key", "Escape"});
    ASSERT_TRUE(tovel.WaitForLine("> SetWindowPlacement")) << tovel.Lines();
    ASSERT_TRUE(tovel.WaitForLine("Call OnResetDevice()", 3)) << tovel.Lines();
    Pause(0.5);
    const Geometry back = WindowGeometry(window);
    EXPECT_EQ(std::tuple(start.x, start.y, start.width, start.height),
              std::tuple(back.x, back.y, back.width, back.height));
    const std::string backState = Tool("/usr/bin/xprop", {"-id", window, "_NET_WM_STATE"});
    EXPECT_EQ(npos, backState.find("_NET_WM_STATE_ABOVE")) << backState;
    const Image picture = tovel.Picture();
    const int w = start.width, h = start.height;
    ASSERT_EQ(std::pair(w, h),
              std::pair(static_cast<int>(picture.width), static_cast<int>(picture.height)));
    EXPECT_LT(Brightness(picture, w * 95 / 100 + 2, h * 25 / 1000 + 2, w * 975 / 1000 - 2,
                         h * 25 / 1000 + w * 25 / 1000 - 2),
              1.0)
        << "the restore button is drawn in a window";

    // Minimised, no key reaches the program and its user-interface thread waits for events,
    // using next to no processor time where drawing or polling would use a good part of a core;
    // restored, the keys sound again.
    const double minimised = since();
    Xdotool({"windowminimize", window});
    ASSERT_TRUE(tovel.WaitForLine("Call OnMinimizeWindow()")) << tovel.Lines();
    Pause(0.5);
    const std::string pid = Xdotool({"getwindowpid", window});
    const std::string mainThread = "/proc/" + pid + "/task/" + pid + "/stat";
    const long threadBefore = Ticks(mainThread);
    const std::size_t resets = Count(tovel.Lines(), "Call OnResetDevice()");
    const auto from = Clock::now();
    Pause(10.0);
    const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const double threadShare = (Ticks(mainThread) - threadBefore) * tick / seconds;
    EXPECT_LT(threadShare, 0.05) << "the user-interface thread does not block";
    EXPECT_EQ(resets, Count(tovel.Lines(), "Call OnResetDevice()")) << "nothing was drawn again";
    Xdotool({"windowactivate", window});
    ASSERT_TRUE(tovel.WaitForLine("Call OnResetDevice()", resets + 1)) << tovel.Lines();
    const double restored = since();
    Pause(2.0);
    playing = false;
    player.join();
    const double played = since();
    Pause(3.0);
    const double stopped = since();
    const RunResult result = tovel.Stop();
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(npos, result.err.find("Failed")) << result.err;
    EXPECT_EQ(Count(result.err, "Call OnResizeWindow("), Count(result.err, "Call OnResetDevice()"))
        << "one reset for each size event and no other: " << result.err;

    // The recording follows the clock, a little behind it where the machine is slow (the disk
    // driver does not catch up): times are mapped onto it in proportion. From the first strike
    // until the minimise every 10 ms of it sounds (a strike falls by about 30 dB a second, so a
    // gap in the sound, or strikes that stop reaching the program for two seconds, show as a
    // block below -100 dB); after the restore the keys sound again.
    const std::vector<double> envelope = Envelope(Recording(raw));
    const std::size_t onset = Next(envelope, 0, 1e-5, true);
    const double pace = (envelope.size() - onset) * 0.01 / stopped;
    ASSERT_GT(pace, 0.5) << "the recording lags far behind the clock";
    auto block = [&](double at) {
        return std::min(envelope.size(), onset + static_cast<std::size_t>(at * pace * 100));
    };
    EXPECT_GE(Next(envelope, onset, 1e-5, false), block(minimised)) << "the sound broke off";
    EXPECT_LT(Next(envelope, block(restored + 0.5), 1e-2, true), block(played))
        << "no strike was heard after the restore";
}

using Point = std::pair<int, int>;

constexpr std::size_t kA4Period = 101;  // samples: A4 is played as a loop of one period

// In a rectangle of the picture: the pixels clearly red (red over blue), clearly cyan (blue over
// red), clearly coloured rather than grey, and the mean brightness. Counting them keeps a tile's
// colour apart from the white of its jewel's glints and glow.
struct Tint {
    int red = 0, cyan = 0, coloured = 0;
    double mean = 0;
};
Tint Measure(const Image& picture, int left, int top, int right, int bottom) {
    Tint t;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const Rgb c = At(picture, x, y);
            t.red += c.r > c.b + 40;
            t.cyan += c.b > c.r + 40;
            t.coloured += std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}) > 40;
        }
    }
    t.mean = Brightness(picture, left, top, right, bottom) / 3;
    return t;
}
constexpr int kTile = 135 * 192;
// Tile n of the strip: 135 x 192 from x 13, 148 apart, from y 563.
Tint MeasureTile(const Image& picture, int n) {
    return Measure(picture, 13 + 148 * n, 563, 148 + 148 * n, 755);
}
Point MiddleOfTile(int n) {
    return {80 + 148 * n, 659};
}

// The A4 struck first at or after `from` carries exactly the harmonics `present` (numbered from
// 1): the output is the reverb bus alone, a linear filter, so what the timbre lacks stays absent.
// Gives the sample where that note has died away.
std::size_t ExpectA4(const std::vector<float>& x, std::size_t from,
                     const std::set<std::size_t>& present, const std::string& what) {
    while (from < x.size() && std::fabs(x[from]) < 1e-3f) {
        ++from;
    }
    const std::size_t begin = from + 2205, end = begin + 200 * kA4Period;
    if (end + 40000 > x.size()) {
        ADD_FAILURE() << "A4 was not heard " << what;
        return x.size();
    }
    const std::vector<double> levels = HarmonicLevels(x, begin, end, kA4Period, 12);
    double loudest = 0;
    for (std::size_t k : present) {
        loudest = std::max(loudest, levels[k - 1]);
    }
    for (std::size_t k = 1; k <= 12; ++k) {
        const double level = levels[k - 1] / loudest;
        EXPECT_TRUE(present.count(k) ? level > 0.1 : level < 0.02) << k << ": " << level << what;
    }
    std::size_t quiet = from + 40000;
    while (quiet + 4410 < x.size() && Peak(x, quiet, quiet + 4410) > 1e-4) {
        quiet += 4410;
    }
    return quiet;
}

class TimbreEndToEndTest : public ::testing::Test {
protected:
    void Start(const fs::path& raw) {
        m_tovel.emplace(
            m_dir,
            std::vector<std::string>{
                "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string(),
                "TOVEL_INSTALL_DIR=" + fs::path(TOVEL_PATH).parent_path().string() + "/"},
            m_program);
        ASSERT_TRUE(m_tovel->Shown()) << m_tovel->Lines();
        ASSERT_NE(std::string::npos, m_tovel->Lines().find("BBW 960 BBH 768")) << m_tovel->Lines();
    }
    void Move(Point to) {
        Xdotool({"mousemove", "--window", m_tovel->window, std::to_string(to.first),
                 std::to_string(to.second)});
    }
    // Moves in steps over several frames from `from` through the points.
    void MoveAlong(Point from, const std::vector<Point>& points) {
        for (const Point& to : points) {
            for (int i = 1; i <= 6; ++i) {
                Pause(0.05);
                Move({from.first + (to.first - from.first) * i / 6,
                      from.second + (to.second - from.second) * i / 6});
            }
            from = to;
        }
    }
    // Presses at `from` and moves through `path`; the button stays down until a picture shows
    // what `shows` waits for (a press, its moves and its release taken in one frame would move
    // nothing), then the pointer goes on through `rest` and lets go. Gives that picture.
    Image Drag(Point from, const std::vector<Point>& path,
               const std::function<bool(const Image&)>& shows,
               const std::vector<Point>& rest = {}) {
        Move(from);
        Pause(0.1);
        Xdotool({"mousedown", "1"});
        MoveAlong(from, path);
        Image picture;
        for (int attempt = 0; attempt < 25 && !(picture.width > 0 && shows(picture)); ++attempt) {
            Pause(0.2);
            picture = m_tovel->Picture();
        }
        EXPECT_TRUE(picture.width > 0 && shows(picture))
            << "the drag from " << from.first << ", " << from.second << " shows no change";
        MoveAlong(path.back(), rest);
        Xdotool({"mouseup", "1"});
        return picture;
    }
    void PlayA4() {
        Xdotool({"keydown", "--window", m_tovel->window, "o"});
        Pause(1.0);
        Xdotool({"keyup", "--window", m_tovel->window, "o"});
        Pause(3.0);
    }
    void Stop() {
        const RunResult result = m_tovel->Stop();
        EXPECT_EQ(0, result.status) << result.err;
        EXPECT_EQ(std::string::npos, result.err.find("skipped")) << result.err;
    }
    std::vector<fs::path> TimbreFiles() const {
        std::vector<fs::path> files{fs::directory_iterator(m_timbres), fs::directory_iterator()};
        std::sort(files.begin(), files.end());
        return files;
    }

    TempDir m_dir;
    // The program in a folder without Timbres; its parent holds them.
    const fs::path m_program = m_dir.Path() / "bin" / "tovel", m_timbres = m_dir.Path() / "Timbres";
    std::optional<TovelProcess> m_tovel;
};

TEST_F(TimbreEndToEndTest, AShapedTimbreSoundsFromTheReleaseIsKeptAndIsPlayedAgainFromItsTile) {
    fs::create_directories(m_program.parent_path());
    fs::copy_file(TOVEL_PATH, m_program);
    fs::create_directories(m_timbres);
    // Amplitudes without a jewel, under a name before any time-based one: the fundamental alone.
    const fs::path firstFile = m_timbres / "0-first.tmbr";
    auto write = [&firstFile](const Amplitudes& amplitudes) {
        CVendra tree;
        EXPECT_EQ(S_OK, SetBaseWords32(*AddLayer(tree), std::as_bytes(std::span(amplitudes))));
        EXPECT_EQ(S_OK, WriteContainer(firstFile, tree));
    };
    write({1.0f});
    const fs::path shaped = m_dir.Path() / "shaped.raw", replayed = m_dir.Path() / "replayed.raw";
    ASSERT_NO_FATAL_FAILURE(Start(shaped));

    // The third bar, empty, is pulled to the top, where every row of it is lit.
    // Bars are 11.5 wide and about 68.8 apart from x 96, between y 19 and 134.
    const int x = 239, top = 21, bottom = 132;
    Drag({x, bottom - 1}, {{x, -40}}, [&](const Image& picture) {
        for (int y = top + 1; y < bottom; ++y) {
            if (Brightness(picture, x - 2, y, x + 3, y + 1) == 0) {
                return false;
            }
        }
        return true;
    });
    PlayA4();

    // Pulled out of the keyboard band (384 < y < 576), the timbre is a jewel that follows the
    // pointer, and let go over the blank tile it is kept there.
    const Point band{720, 480}, blank = MiddleOfTile(1);
    Drag(band, {{720, 256}, blank}, [&](const Image& picture) {
        const Tint t = Measure(picture, blank.first - 40, blank.second - 40, blank.first + 40,
                               blank.second + 40);
        return t.coloured > 1000;
    });
    WaitFor([&] { return TimbreFiles().size() >= 2; }, 5.0);
    Stop();
    ExpectA4(Recording(shaped), 0, {1, 3}, "after shaping");

    // Kept in a new file beside the first, as exactly what the bars showed; the first, which had
    // no jewel, is written again with one.
    const std::vector<fs::path> files = TimbreFiles();
    ASSERT_EQ(2u, files.size());
    TimbreFileContent kept[2];
    for (int i = 0; i < 2; ++i) {
        CVendra tree;
        ASSERT_EQ(S_OK, ReadTimbreFile(files[i], tree, &kept[i]));
        EXPECT_NE(nullptr, kept[i].mesh) << files[i];
    }
    const Amplitudes expected = {1.0f, 0.0f, 1.0f};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), kept[1].amplitudes));

    // Started again with the first file holding harmonics 1 and 2 (red), the keyboard plays that
    // first tile. Lifted out of the strip in steps, the kept tile floats at the pointer while the
    // strip shows both timbres and the blank tile, and let go over the keyboard band it is what
    // A4 plays: harmonics 1 and 3, and not the first's 2.
    write({0.2f, 0.1f});
    ASSERT_NO_FATAL_FAILURE(Start(replayed));
    PlayA4();
    const Image picture =
        Drag(MiddleOfTile(1), {{240, 300}},
             [](const Image& p) { return Measure(p, 173, 204, 308, 396).cyan > kTile / 4; },
             {{240, 400}, {240, 470}});
    Pause(3.0);
    PlayA4();
    Stop();
    const Tint first = MeasureTile(picture, 0), second = MeasureTile(picture, 1),
               blankTile = MeasureTile(picture, 2);
    EXPECT_GT(first.red, kTile / 4) << "the first tile is red";
    EXPECT_GT(second.cyan, kTile / 4) << "the kept tile is cyan";
    EXPECT_LT(second.red + Measure(picture, 173, 204, 308, 396).red, kTile / 50);
    EXPECT_EQ(0, blankTile.red + blankTile.cyan) << "a grey blank tile";
    EXPECT_GT(blankTile.mean, 60.0);
    EXPECT_LT(MeasureTile(picture, 3).mean, 1.0) << "nothing after the blank tile";
    const std::vector<float> x2 = Recording(replayed);
    ExpectA4(x2, ExpectA4(x2, 0, {1, 2}, "before the drop"), {1, 3}, "after the drop");
}

}  // namespace
