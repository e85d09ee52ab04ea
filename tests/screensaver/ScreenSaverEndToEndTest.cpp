// sstovel as a user and XScreenSaver meet it, under the X server of xvfb-run: each arrangement
// in a window, drawing into a window another program made, ending on SIGTERM, and the
// configuration dialog clicked with xdotool.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/dialog/Dialog.h"
#include "platform/graphics/TextureLoader.h"
#include "platform/window/Window.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/HueRing.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// xdotool's first line of answer, or empty when it fails.
std::string Xdotool(const std::vector<std::string>& args) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram("/usr/bin/xdotool", args, {}, dir);
    return r.status == 0 ? r.out.substr(0, r.out.find('\n')) : std::string();
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

Geometry WindowGeometry(const std::string& window) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram("/usr/bin/xdotool",
                                               {"getwindowgeometry", "--shell", window}, {}, dir);
    std::map<std::string, int> values;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        }
    }
    return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
}

// A picture's pixels, red, green, blue and alpha bytes, rows top first.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

Image LoadPng(const fs::path& path) {
    const std::string bytes = tovel_test::ReadFile(path);
    Image image;
    if (!platform::DecodeImageRgba(bytes.data(), bytes.size(), &image.rgba, &image.width,
                                   &image.height)) {
        return {};
    }
    return image;
}

bool WaitFor(const std::function<bool()>& condition, double seconds, double poll = 0.05) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        Pause(poll);
    }
    return condition();
}

bool WaitForPicture(const fs::path& path, ChildProcess& child, double seconds) {
    return WaitFor(
               [&] {
                   std::error_code error;
                   const auto size = fs::file_size(path, error);
                   return !child.Running() || (!error && size > 8);
               },
               seconds) &&
           child.Running();
}

// A saver started with its settings file holding hue and arrangement.
class ScreenSaverTest : public ::testing::Test {
protected:
    void WriteSettings(const std::string& text) {
        fs::create_directories(Config());
        std::ofstream(Config() / "sstovel.ini") << text;
    }
    fs::path Config() const { return m_dir.Path() / "config"; }
    std::string Settings() const { return tovel_test::ReadFile(Config() / "sstovel.ini"); }

    std::vector<std::string> Environment(std::vector<std::string> more = {}) const {
        more.push_back("XDG_CONFIG_HOME=" + Config().string());
        more.push_back("TOVEL_MESSAGE_BOX=stderr");
        more.push_back("NO_AT_BRIDGE=1");
        return more;
    }

    // SIGTERM, as XScreenSaver ends its hacks: the saver must be gone within a second, cleanly.
    void EndWithSigterm(ChildProcess& saver) {
        ASSERT_TRUE(saver.Running());
        const auto sent = Clock::now();
        saver.Signal(SIGTERM);
        EXPECT_TRUE(WaitFor([&] { return !saver.Running(); }, 1.0, 0.01))
            << "still running a second after SIGTERM";
        const double took = std::chrono::duration<double>(Clock::now() - sent).count();
        const RunResult result = saver.Wait(5.0);
        EXPECT_EQ(0, result.status) << result.err;
        EXPECT_LT(took, 1.0);
    }

    // The 250th frame of a saver run in a window with the given option, ended by SIGTERM; at
    // most 25 frames a second, so it comes ten seconds after the start at the earliest.
    Image TenthSecondPicture(const std::string& windowOption, const std::string& name) {
        const fs::path shot = m_dir.Path() / name;
        ChildProcess saver(SSTOVEL_PATH, {windowOption},
                           Environment({"TOVEL_SNAPSHOT=" + shot.string(),
                                        "TOVEL_SNAPSHOT_FRAME=250"}),
                           m_dir);
        const bool drawn = WaitForPicture(shot, saver, 90.0);
        EXPECT_TRUE(drawn) << saver.Wait(1.0).err;
        if (!drawn) {
            return {};
        }
        EndWithSigterm(saver);
        return LoadPng(shot);
    }

    TempDir m_dir;
};

struct Colour {
    double r, g, b;
};
Colour At(const Image& picture, int x, int y) {
    const std::uint8_t* p = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
}

TEST_F(ScreenSaverTest, BubbleRisesAColouredGlowingColumnWithinTenSeconds) {
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDHUE=180\nSELECTEDTYPE=0\n");
    const Image picture = TenthSecondPicture("--window", "bubble.png");
    ASSERT_NE(0, picture.width);
    // The column's saturation is drawn by chance, so its cyan may be pale, and its facets flash
    // white; lit pixels lean to green and blue alike, and fainter glow lies round them.
    std::size_t lit = 0, glow = 0, black = 0;
    double leaning = 0, imbalance = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = At(picture, x, y);
            const double brightest = std::max({c.r, c.g, c.b});
            if (brightest == 0) {
                ++black;
            } else if (brightest > 90) {
                ++lit;
                leaning += (c.g + c.b) / 2 - c.r;
                imbalance += std::abs(c.g - c.b);
            } else if (brightest < 40) {
                ++glow;
            }
        }
    }
    ASSERT_GT(lit, 100u) << "no column";
    EXPECT_GT(leaning / lit, 8.0) << "not cyan";
    EXPECT_LT(imbalance / lit, 12.0) << "not cyan";
    EXPECT_GT(glow, lit) << "the column glows";
    EXPECT_GT(black, static_cast<std::size_t>(picture.width * picture.height / 2));
}

TEST_F(ScreenSaverTest, CircleTurnsARingOfTwelveJewels) {
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDHUE=-1\nSELECTEDTYPE=1\n");
    const Image picture = TenthSecondPicture("-window", "circle.png");
    ASSERT_NE(0, picture.width);
    // The ring, radius 10 where the view's half-height is 12.5, stands in the middle of the
    // height and sways sideways: its centre is where the most lit pixels lie on such a circle.
    std::vector<std::pair<double, double>> lit;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Colour c = At(picture, x, y);
            if (std::max({c.r, c.g, c.b}) > 90) {
                lit.emplace_back(x, y);
            }
        }
    }
    ASSERT_GT(lit.size(), 1000u);
    const double cy = picture.height / 2.0, radius = 0.8 * picture.height / 2.0;
    auto onRing = [&](double cx, double x, double y) {
        return std::abs(std::hypot(x - cx, y - cy) - radius) < 0.2 * radius;
    };
    double cx = 0;
    std::size_t best = 0;
    for (double candidate = -radius; candidate < picture.width + radius; candidate += 2) {
        const auto count =
            static_cast<std::size_t>(std::count_if(lit.begin(), lit.end(), [&](const auto& p) {
                return onRing(candidate, p.first, p.second);
            }));
        if (count > best) {
            best = count;
            cx = candidate;
        }
    }
    EXPECT_GT(best, lit.size() * 9 / 10) << "the jewels stand on a ring";
    // The jewels are 30 degrees apart: runs of lit angles whose middles are spaced so, as many as
    // the picture shows of the twelve.
    std::vector<bool> occupied(360);
    for (const auto& [x, y] : lit) {
        if (onRing(cx, x, y)) {
            const double degrees = std::atan2(y - cy, x - cx) * 180.0 / 3.14159265358979;
            occupied[static_cast<std::size_t>(std::lround(degrees + 360.0)) % 360] = true;
        }
    }
    // A dark facet may split a jewel: gaps narrower than a few degrees lie within one.
    constexpr int kGapWithinAJewel = 6;
    std::vector<bool> filled = occupied;
    for (int a = 0; a < 360; ++a) {
        for (int width = 1; width <= kGapWithinAJewel && occupied[a]; ++width) {
            if (occupied[(a + width + 1) % 360]) {
                for (int k = 1; k <= width; ++k) {
                    filled[(a + k) % 360] = true;
                }
                break;
            }
        }
    }
    occupied = filled;
    int start = 0;
    while (start < 360 && occupied[start]) {
        ++start;
    }
    // A jewel cut by the picture's edge shows only part of itself, so its middle is not its
    // place; such runs count, but their middles are not compared.
    auto nearEdge = [&](double degrees) {
        constexpr double kMargin = 50;
        const double radians = degrees * 3.14159265358979 / 180.0;
        const double x = cx + radius * std::cos(radians), y = cy + radius * std::sin(radians);
        return x < kMargin || x > picture.width - kMargin || y < kMargin ||
               y > picture.height - kMargin;
    };
    std::size_t runs = 0;
    std::vector<double> middles;
    for (int a = start; a < start + 360; ++a) {
        if (occupied[a % 360] && !occupied[(a + 359) % 360]) {
            int end = a;
            while (occupied[(end + 1) % 360]) {
                ++end;
            }
            ++runs;
            if (!nearEdge(a - 3) && !nearEdge(end + 3)) {
                middles.push_back((a + end) / 2.0);
            }
        }
    }
    EXPECT_GE(runs, 8u);
    EXPECT_LE(runs, 12u);
    EXPECT_GE(middles.size(), 6u);
    // Lighting from one side may move a jewel's lit middle by a few degrees, never by half the
    // spacing.
    for (std::size_t i = 1; i < middles.size(); ++i) {
        const double gap = middles[i] - middles[i - 1];
        EXPECT_LT(std::abs(gap - 30.0 * std::round(gap / 30.0)), 10.0) << "gap " << gap;
    }
}

TEST_F(ScreenSaverTest, DrawsIntoAWindowAnotherProgramMadeAndLeavesItThere) {
    // The test is the other program: a window of its own, shown and left without drawing.
    std::unique_ptr<platform::WindowSystem> system = platform::CreateSdlWindowSystem();
    ASSERT_TRUE(system);
    platform::WindowDesc desc;
    desc.title = "host";
    desc.width = 320;
    desc.height = 200;
    desc.style = platform::WS_POPUP;
    std::unique_ptr<platform::Window> host = system->CreateWindow(desc, nullptr);
    ASSERT_TRUE(host);
    host->ShowWindow(platform::SW_SHOW);
    const std::uint64_t id = platform::NativeWindowId(host.get());
    ASSERT_NE(0u, id);

    struct Run {
        std::vector<std::string> args;
        std::vector<std::string> env;
    };
    std::ostringstream hex;
    hex << "0x" << std::hex << id;
    const Run runs[] = {{{"--window-id", std::to_string(id)}, {}},
                        {{"-root"}, {"XSCREENSAVER_WINDOW=" + hex.str()}}};
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDHUE=0\nSELECTEDTYPE=1\n");
    for (const Run& run : runs) {
        SCOPED_TRACE(run.args[0]);
        const fs::path shot = m_dir.Path() / "foreign.png";
        fs::remove(shot);
        std::vector<std::string> env = run.env;
        env.push_back("TOVEL_SNAPSHOT=" + shot.string());
        env.push_back("TOVEL_SNAPSHOT_FRAME=20");
        ChildProcess saver(SSTOVEL_PATH, run.args, Environment(env), m_dir);
        ASSERT_TRUE(WaitForPicture(shot, saver, 60.0)) << saver.Wait(1.0).err;
        EndWithSigterm(saver);
        const Image picture = LoadPng(shot);
        EXPECT_EQ(320, picture.width);
        EXPECT_EQ(200, picture.height);
        double red = 0, rest = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const Colour c = At(picture, x, y);
                red += c.r;
                rest += c.g + c.b;
            }
        }
        EXPECT_GT(red, 320 * 200 * 2.0) << "the red ring of hue 0 is drawn";
        EXPECT_GT(red, rest);
        EXPECT_FALSE(host->IsDestroyed());
        EXPECT_FALSE(Xdotool({"getwindowname", std::to_string(id)}).empty())
            << "the host's window is still there";
    }
    host.reset();

    // A window that is not there is said so, and nothing is drawn.
    const RunResult missing =
        tovel_test::RunProgram(SSTOVEL_PATH, {"--window-id", "0x7ffffff0"}, Environment(), m_dir);
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(std::string::npos, missing.err.find("cannot draw into the window 0x7ffffff0"))
        << missing.err;
}

// Where the dialog's controls are on the screen, from its size: the base units are the ones
// that give that size.
class DialogOnScreen {
public:
    explicit DialogOnScreen(const std::string& window) : m_geometry(WindowGeometry(window)) {
        const platform::DialogTemplate t = ConfigureDialogTemplate();
        for (int x = 3; x < 20; ++x) {
            for (int y = 6; y < 40; ++y) {
                const platform::RECT size = platform::MapDialogSize(t, {x, y});
                if (size.right == m_geometry.width && size.bottom == m_geometry.height) {
                    m_units = {x, y};
                    m_found = true;
                }
            }
        }
    }

    bool Found() const { return m_found; }

    // The screen point at the middle of a control.
    std::pair<int, int> Centre(int id) const {
        for (const platform::DialogControl& control : ConfigureDialogTemplate().controls) {
            if (control.id == id) {
                platform::DialogControl shown = control;
                shown.height = std::min(control.height, 14);
                const platform::RECT r = platform::MapDialogRect(shown, m_units);
                return {m_geometry.x + (r.left + r.right) / 2,
                        m_geometry.y + (r.top + r.bottom) / 2};
            }
        }
        return {0, 0};
    }

    // The screen point at the middle of ring item k, and the item's value.
    std::pair<int, int> RingItem(int k, int* value) const {
        platform::DialogControl frame = ConfigureDialogTemplate().controls[2];
        const platform::RECT r = platform::MapDialogRect(frame, m_units);
        const HueRingLayout ring = LayOutHueRing(r.right - r.left, r.bottom - r.top);
        int x = 0, y = 0;
        for (const platform::POINT& p : ring.items[k].points) {
            x += p.x;
            y += p.y;
        }
        *value = ring.items[k].value;
        return {m_geometry.x + r.left + x / 4, m_geometry.y + r.top + y / 4};
    }

private:
    Geometry m_geometry;
    platform::DialogBaseUnits m_units;
    bool m_found = false;
};

void Click(std::pair<int, int> at) {
    Xdotool({"mousemove", "--sync", std::to_string(at.first), std::to_string(at.second)});
    Xdotool({"click", "1"});
}

TEST_F(ScreenSaverTest, TheDialogStoresAClickedHueAtOnceAndTheArrangementOnOk) {
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDHUE=-1\nSELECTEDTYPE=0\n");
    const fs::path shot = m_dir.Path() / "dialog.png";
    ChildProcess dialog(SSTOVEL_PATH, {"-c"},
                        Environment({"TOVEL_DIALOG_SNAPSHOT=" + shot.string()}), m_dir);
    const std::string window =
        Xdotool({"search", "--sync", "--onlyvisible", "--name", "^tovel settings$"});
    ASSERT_FALSE(window.empty()) << dialog.Wait(1.0).err;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(shot); }, 10.0)) << "the dialog was not painted";
    const DialogOnScreen screen(window);
    ASSERT_TRUE(screen.Found()) << "the dialog's size fits no base units";

    int value = 0;
    Click(screen.RingItem(8, &value));
    EXPECT_EQ(125, value);
    EXPECT_TRUE(
        WaitFor([&] { return Settings().find("SELECTEDHUE=125") != std::string::npos; }, 5.0))
        << Settings();
    EXPECT_NE(std::string::npos, Settings().find("SELECTEDTYPE=0")) << "not before OK";

    // The list: opened with a click, the entry below the selected one taken with the keys.
    Click(screen.Centre(kArrangementListId));
    Pause(0.5);
    Xdotool({"key", "Down", "Return"});
    Pause(0.5);
    Click(screen.Centre(platform::IDOK));
    const RunResult result = dialog.Wait(10.0);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos, Settings().find("SELECTEDTYPE=1")) << Settings();
    EXPECT_NE(std::string::npos, Settings().find("SELECTEDHUE=125")) << Settings();
}

TEST_F(ScreenSaverTest, AClickOnTheSaverOpensItsDialogAboveItWhileItGoesOnDrawing) {
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDHUE=-1\nSELECTEDTYPE=1\n");
    const fs::path shot = m_dir.Path() / "behind.png", dialogShot = m_dir.Path() / "owned.png";
    ChildProcess saver(SSTOVEL_PATH, {"--window"},
                       Environment({"TOVEL_SNAPSHOT=" + shot.string(), "TOVEL_SNAPSHOT_FRAME=100",
                                    "TOVEL_DIALOG_SNAPSHOT=" + dialogShot.string()}),
                       m_dir);
    const std::string window =
        Xdotool({"search", "--sync", "--onlyvisible", "--name", "^sstovel$"});
    ASSERT_FALSE(window.empty()) << saver.Wait(1.0).err;
    Xdotool({"mousemove", "--window", window, "--sync", "40", "40"});
    Xdotool({"click", "1"});
    const std::string dialog =
        Xdotool({"search", "--sync", "--onlyvisible", "--name", "^tovel settings$"});
    ASSERT_FALSE(dialog.empty()) << saver.Wait(1.0).err;
    EXPECT_FALSE(fs::exists(shot)) << "the dialog should open before the 100th frame";

    const TempDir dir;
    const RunResult owner =
        tovel_test::RunProgram("/usr/bin/xprop", {"-id", dialog, "WM_TRANSIENT_FOR"}, {}, dir);
    std::ostringstream hex;
    hex << "0x" << std::hex << std::stoul(window);
    EXPECT_NE(std::string::npos, owner.out.find(hex.str())) << owner.out << " not " << hex.str();

    EXPECT_TRUE(WaitForPicture(shot, saver, 60.0)) << "the saver stopped drawing behind its dialog";
    // There is no window manager to give the dialog the focus.
    Xdotool({"windowfocus", "--sync", dialog});
    Xdotool({"key", "Escape"});
    EXPECT_TRUE(WaitFor(
        [&] {
            return Xdotool({"search", "--onlyvisible", "--name", "^tovel settings$"}).empty();
        },
        5.0))
        << "Escape closes the dialog";
    EndWithSigterm(saver);
}

TEST_F(ScreenSaverTest, FullScreenItEndsOnAPointerMovementOrAKeyPress) {
    WriteSettings("[Screen Saver.sstovel]\nSELECTEDTYPE=1\n");
    struct Input {
        std::vector<std::string> args;
        std::vector<std::string> action;
    };
    const Input inputs[] = {{{}, {"mousemove_relative", "--sync", "60", "40"}},
                            {{"-s"}, {"key", "space"}}};
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.action[0]);
        Xdotool({"mousemove", "--sync", "600", "500"});
        ChildProcess saver(SSTOVEL_PATH, input.args, Environment(), m_dir);
        const std::string window =
            Xdotool({"search", "--sync", "--onlyvisible", "--name", "^sstovel$"});
        ASSERT_FALSE(window.empty()) << saver.Wait(1.0).err;
        const Geometry geometry = WindowGeometry(window);
        EXPECT_EQ(1280, geometry.width);
        EXPECT_EQ(1024, geometry.height);
        // Where the pointer rests is no movement, and neither is its trembling.
        Pause(1.0);
        Xdotool({"mousemove_relative", "--sync", "2", "1"});
        Pause(0.5);
        ASSERT_TRUE(saver.Running()) << saver.Wait(1.0).err;
        Xdotool({"windowfocus", "--sync", window});
        Xdotool(input.action);
        EXPECT_TRUE(WaitFor([&] { return !saver.Running(); }, 5.0)) << input.action[0];
        const RunResult result = saver.Wait(5.0);
        EXPECT_EQ(0, result.status) << result.err;
    }
}

TEST_F(ScreenSaverTest, WithoutItsJewelsItSaysWhereItLookedAndEnds) {
    // A copy with no "Jewels" beside or above it, and an installation directory without them.
    fs::create_directories(m_dir.Path() / "bin");
    const fs::path program = m_dir.Path() / "bin" / "sstovel";
    fs::copy_file(SSTOVEL_PATH, program);
    const fs::path nowhere = m_dir.Path() / "nowhere";
    const RunResult result = tovel_test::RunProgram(
        program, {"--window"}, Environment({"TOVEL_INSTALL_DIR=" + nowhere.string() + "/"}), m_dir);
    EXPECT_EQ(1, result.status) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("I Can't Open Directory:" + nowhere.string()))
        << result.err;
}

}  // namespace
