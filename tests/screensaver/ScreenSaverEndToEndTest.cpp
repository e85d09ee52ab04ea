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
#include <numbers>
#include <sstream>
#include <tuple>

#include "platform/dialog/Dialog.h"
#include "platform/graphics/TextureLoader.h"
#include "platform/window/Window.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/HueRing.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;
using Clock = std::chrono::steady_clock;
constexpr auto npos = std::string::npos;

// xdotool may fail here: a search finds nothing once a window is gone.
std::string X(const std::vector<std::string>& args) {
    return Xdotool(args, true);
}

struct Colour {
    double r, g, b;
};
// A picture's pixels, rows top first.
struct Image {
    std::uint32_t width = 0, height = 0;
    std::vector<Colour> pixels;
};
Image LoadPng(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    Image image;
    if (platform::DecodeImageRgba(bytes.data(), bytes.size(), &rgba, &width, &height)) {
        image = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), {}};
        for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
            image.pixels.push_back({1.0 * rgba[i], 1.0 * rgba[i + 1], 1.0 * rgba[i + 2]});
        }
    }
    return image;
}

// A saver started with its settings file holding hue and arrangement.
class ScreenSaverTest : public ::testing::Test {
protected:
    void WriteSettings(const std::string& hueAndType) {
        fs::create_directories(Config());
        std::ofstream(Config() / "sstovel.ini") << "[Screen Saver.sstovel]\n" << hueAndType;
    }
    fs::path Config() const { return m_dir.Path() / "config"; }
    std::string Settings() const { return ReadFile(Config() / "sstovel.ini"); }

    std::vector<std::string> Environment(std::vector<std::string> more = {}) const {
        more.insert(more.end(), {"XDG_CONFIG_HOME=" + Config().string(), "TOVEL_MESSAGE_BOX=stderr",
                                 "NO_AT_BRIDGE=1"});
        return more;
    }

    // SIGTERM, as XScreenSaver ends its hacks: the saver must be gone within a second, cleanly.
    void EndWithSigterm(ChildProcess& saver) {
        ASSERT_TRUE(saver.Running());
        const auto sent = Clock::now();
        saver.Signal(SIGTERM);
        while (saver.Running() && Clock::now() - sent < std::chrono::seconds(1)) {
            Pause(0.01);
        }
        const double took = std::chrono::duration<double>(Clock::now() - sent).count();
        const RunResult result = saver.Wait(5.0);
        EXPECT_EQ(0, result.status) << result.err;
        EXPECT_LT(took, 1.0) << "still running a second after SIGTERM";
    }

    // Frame `frame` of a saver started with `args`, which is then ended by SIGTERM.
    Image PictureOfFrame(int frame, const std::vector<std::string>& args,
                         std::vector<std::string> env = {}) {
        const fs::path shot = m_dir.Path() / "shot.png";
        fs::remove(shot);
        env.insert(env.end(), {"TOVEL_SNAPSHOT=" + shot.string(),
                               "TOVEL_SNAPSHOT_FRAME=" + std::to_string(frame)});
        ChildProcess saver(SSTOVEL_PATH, args, Environment(env), m_dir);
        const bool drawn = WaitForFile(shot, saver, 90.0);
        EXPECT_TRUE(drawn) << saver.Wait(1.0).err;
        if (!drawn) {
            return {};
        }
        EndWithSigterm(saver);
        return LoadPng(shot);
    }

    TempDir m_dir;
};

// At most 25 frames a second: the 250th comes ten seconds after the start at the earliest.
TEST_F(ScreenSaverTest, BubbleRisesAColouredGlowingColumnWithinTenSeconds) {
    WriteSettings("SELECTEDHUE=180\nSELECTEDTYPE=0\n");
    const Image picture = PictureOfFrame(250, {"--window"});
    ASSERT_NE(0u, picture.width);
    // The column's saturation is drawn by chance, so its cyan may be pale, and its facets flash
    // white; lit pixels lean to green and blue alike, and fainter glow lies round them.
    std::size_t lit = 0, glow = 0, black = 0;
    double leaning = 0, imbalance = 0;
    for (const Colour& c : picture.pixels) {
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
    ASSERT_GT(lit, 100u) << "no column";
    EXPECT_GT(leaning / lit, 8.0) << "not cyan";
    EXPECT_LT(imbalance / lit, 12.0) << "not cyan";
    EXPECT_GT(glow, lit) << "the column glows";
    EXPECT_GT(black, picture.width * picture.height / 2);
}

// The Circle ten seconds on, a ring of twelve jewels; before then a click on the saver opens its
// dialog above it, owned by it, and the saver goes on drawing until Escape closes the dialog.
TEST_F(ScreenSaverTest, CircleTurnsARingOfTwelveJewelsAndGoesOnBehindTheDialogAClickOpens) {
    WriteSettings("SELECTEDHUE=-1\nSELECTEDTYPE=1\n");
    const fs::path shot = m_dir.Path() / "circle.png";
    ChildProcess saver(SSTOVEL_PATH, {"-window"},
                       Environment({"TOVEL_SNAPSHOT=" + shot.string(), "TOVEL_SNAPSHOT_FRAME=250",
                                    "TOVEL_DIALOG_SNAPSHOT=" + (m_dir.Path() / "d.png").string()}),
                       m_dir);
    const std::string window = X({"search", "--sync", "--onlyvisible", "--name", "^sstovel$"});
    ASSERT_FALSE(window.empty()) << saver.Wait(1.0).err;
    X({"mousemove", "--window", window, "--sync", "40", "40"});
    X({"click", "1"});
    const std::string dialog =
        X({"search", "--sync", "--onlyvisible", "--name", "^tovel settings$"});
    ASSERT_FALSE(dialog.empty()) << saver.Wait(1.0).err;
    EXPECT_FALSE(fs::exists(shot)) << "the dialog should open before the 250th frame";
    const std::string owner = Tool("/usr/bin/xprop", {"-id", dialog, "WM_TRANSIENT_FOR"}, true);
    std::ostringstream hex;
    hex << "0x" << std::hex << std::stoul(window);
    EXPECT_NE(npos, owner.find(hex.str())) << owner << " not " << hex.str();
    EXPECT_TRUE(WaitForFile(shot, saver, 90.0)) << "the saver stopped drawing behind its dialog";
    // There is no window manager to give the dialog the focus.
    X({"windowfocus", "--sync", dialog});
    X({"key", "Escape"});
    EXPECT_TRUE(WaitFor(
        [&] {
            return X({"search", "--onlyvisible", "--name", "^tovel settings$"}).empty();
        },
        5.0))
        << "Escape closes the dialog";
    EndWithSigterm(saver);

    const Image picture = LoadPng(shot);
    ASSERT_NE(0u, picture.width);
    // The ring, radius 10 where the view's half-height is 12.5, stands in the middle of the
    // height and sways sideways: its centre is where the most lit pixels lie on such a circle.
    std::vector<std::pair<double, double>> lit;
    for (std::uint32_t i = 0; i < picture.pixels.size(); ++i) {
        const Colour& c = picture.pixels[i];
        if (std::max({c.r, c.g, c.b}) > 90) {
            lit.emplace_back(i % picture.width, i / picture.width);
        }
    }
    ASSERT_GT(lit.size(), 1000u);
    const double cy = picture.height / 2.0, radius = 0.8 * picture.height / 2.0;
    auto onRing = [&](double cx, const std::pair<double, double>& p) {
        return std::abs(std::hypot(p.first - cx, p.second - cy) - radius) < 0.2 * radius;
    };
    double cx = 0;
    std::size_t best = 0;
    for (double candidate = -radius; candidate < picture.width + radius; candidate += 2) {
        const auto count = static_cast<std::size_t>(std::count_if(
            lit.begin(), lit.end(), [&](const auto& p) { return onRing(candidate, p); }));
        std::tie(best, cx) = count > best ? std::pair(count, candidate) : std::pair(best, cx);
    }
    EXPECT_GT(best, lit.size() * 9 / 10) << "the jewels stand on a ring";
    // The jewels are 30 degrees apart: runs of lit angles whose middles are spaced so, as many as
    // the picture shows of the twelve. A dark facet may split a jewel, so gaps of up to six
    // degrees lie within one.
    std::vector<bool> occupied(360);
    for (const auto& p : lit) {
        if (onRing(cx, p)) {
            const double degrees =
                std::atan2(p.second - cy, p.first - cx) * 180.0 / std::numbers::pi;
            occupied[static_cast<std::size_t>(std::lround(degrees + 360.0)) % 360] = true;
        }
    }
    auto filled = [&occupied](int a) {
        int left = 0, right = 0;
        while (left < 8 && !occupied[(a - left + 360) % 360]) {
            ++left;
        }
        while (right < 8 && !occupied[(a + right) % 360]) {
            ++right;
        }
        return left + right <= 7;
    };
    // A jewel cut by the picture's edge shows only part of itself, so its middle is not its
    // place; such runs count, but their middles are not compared.
    auto nearEdge = [&](double degrees) {
        const double x = cx + radius * std::cos(degrees * std::numbers::pi / 180.0);
        const double y = cy + radius * std::sin(degrees * std::numbers::pi / 180.0);
        return x < 50 || x > picture.width - 50.0 || y < 50 || y > picture.height - 50.0;
    };
    int start = 0;
    while (start < 360 && filled(start)) {
        ++start;
    }
    std::size_t runs = 0;
    std::vector<double> middles;
    for (int a = start; a < start + 360; ++a) {
        if (filled(a % 360) && !filled((a + 359) % 360)) {
            int end = a;
            while (filled((end + 1) % 360)) {
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
    std::ostringstream hex;
    hex << "0x" << std::hex << id;
    WriteSettings("SELECTEDHUE=0\nSELECTEDTYPE=1\n");
    for (const bool root : {false, true}) {
        SCOPED_TRACE(root ? "-root" : "--window-id");
        const Image picture =
            root ? PictureOfFrame(20, {"-root"}, {"XSCREENSAVER_WINDOW=" + hex.str()})
                 : PictureOfFrame(20, {"--window-id", std::to_string(id)});
        ASSERT_EQ(std::pair(320u, 200u), std::pair(picture.width, picture.height));
        double red = 0, rest = 0;
        for (const Colour& c : picture.pixels) {
            red += c.r;
            rest += c.g + c.b;
        }
        EXPECT_GT(red, 320 * 200 * 2.0) << "the red ring of hue 0 is drawn";
        EXPECT_GT(red, rest);
        EXPECT_FALSE(host->IsDestroyed());
        EXPECT_EQ("host", X({"getwindowname", std::to_string(id)})) << "the host is still there";
    }
    host.reset();

    // A window that is not there is said so, and nothing is drawn.
    const RunResult missing =
        RunProgram(SSTOVEL_PATH, {"--window-id", "0x7ffffff0"}, Environment(), m_dir);
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(npos, missing.err.find("cannot draw into the window 0x7ffffff0")) << missing.err;
}

// Where the dialog's controls are on the screen: the base units are the ones that give the
// dialog's size.
class DialogOnScreen {
public:
    explicit DialogOnScreen(const std::string& window) : m_geometry(WindowGeometry(window)) {
        for (int x = 3; x < 20; ++x) {
            for (int y = 6; y < 40; ++y) {
                const platform::RECT size = platform::MapDialogSize(m_template, {x, y});
                if (size.right == m_geometry.width && size.bottom == m_geometry.height) {
                    m_units = {x, y};
                    m_found = true;
                }
            }
        }
    }
    bool Found() const { return m_found; }

    // Clicks the middle of a control.
    void Click(int id) const {
        for (platform::DialogControl control : m_template.controls) {
            if (control.id == id) {
                control.height = std::min(control.height, 14);
                const platform::RECT r = platform::MapDialogRect(control, m_units);
                Click(m_geometry.x + (r.left + r.right) / 2, m_geometry.y + (r.top + r.bottom) / 2);
            }
        }
    }
    // Clicks the middle of ring item k and gives the item's value.
    int ClickRingItem(int k) const {
        const platform::RECT r = platform::MapDialogRect(m_template.controls[2], m_units);
        const HueRingItem item = LayOutHueRing(r.right - r.left, r.bottom - r.top).items[k];
        int x = 0, y = 0;
        for (const platform::POINT& p : item.points) {
            x += p.x;
            y += p.y;
        }
        Click(m_geometry.x + r.left + x / 4, m_geometry.y + r.top + y / 4);
        return item.value;
    }

private:
    static void Click(int x, int y) {
        X({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
        X({"click", "1"});
    }

    const platform::DialogTemplate m_template = ConfigureDialogTemplate();
    Geometry m_geometry;
    platform::DialogBaseUnits m_units;
    bool m_found = false;
};

TEST_F(ScreenSaverTest, TheDialogStoresAClickedHueAtOnceAndTheArrangementOnOk) {
    WriteSettings("SELECTEDHUE=-1\nSELECTEDTYPE=0\n");
    const fs::path shot = m_dir.Path() / "dialog.png";
    ChildProcess dialog(SSTOVEL_PATH, {"-c"},
                        Environment({"TOVEL_DIALOG_SNAPSHOT=" + shot.string()}), m_dir);
    const std::string window =
        X({"search", "--sync", "--onlyvisible", "--name", "^tovel settings$"});
    ASSERT_FALSE(window.empty()) << dialog.Wait(1.0).err;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(shot); }, 10.0)) << "the dialog was not painted";
    const DialogOnScreen screen(window);
    ASSERT_TRUE(screen.Found()) << "the dialog's size fits no base units";

    EXPECT_EQ(125, screen.ClickRingItem(8));
    EXPECT_TRUE(WaitFor([&] { return Settings().find("SELECTEDHUE=125") != npos; }, 5.0))
        << Settings();
    EXPECT_NE(npos, Settings().find("SELECTEDTYPE=0")) << "not before OK";

    // The list: opened with a click, the entry below the selected one taken with the keys.
    screen.Click(kArrangementListId);
    Pause(0.5);
    X({"key", "Down", "Return"});
    Pause(0.5);
    screen.Click(platform::IDOK);
    const RunResult result = dialog.Wait(10.0);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_NE(npos, Settings().find("SELECTEDTYPE=1")) << Settings();
    EXPECT_NE(npos, Settings().find("SELECTEDHUE=125")) << Settings();
}

TEST_F(ScreenSaverTest, FullScreenItEndsOnAPointerMovementOrAKeyPress) {
    WriteSettings("SELECTEDTYPE=1\n");
    const std::pair<std::vector<std::string>, std::vector<std::string>> inputs[] = {
        {{}, {"mousemove_relative", "--sync", "60", "40"}}, {{"-s"}, {"key", "space"}}};
    for (const auto& [args, action] : inputs) {
        SCOPED_TRACE(action[0]);
        X({"mousemove", "--sync", "600", "500"});
        ChildProcess saver(SSTOVEL_PATH, args, Environment(), m_dir);
        const std::string window = X({"search", "--sync", "--onlyvisible", "--name", "^sstovel$"});
        ASSERT_FALSE(window.empty()) << saver.Wait(1.0).err;
        const Geometry geometry = WindowGeometry(window);
        EXPECT_EQ(std::pair(1280, 1024), std::pair(geometry.width, geometry.height));
        // Where the pointer rests is no movement, and neither is its trembling.
        Pause(1.0);
        X({"mousemove_relative", "--sync", "2", "1"});
        Pause(0.5);
        ASSERT_TRUE(saver.Running()) << saver.Wait(1.0).err;
        X({"windowfocus", "--sync", window});
        X(action);
        EXPECT_TRUE(WaitFor([&] { return !saver.Running(); }, 5.0)) << action[0];
        const RunResult result = saver.Wait(5.0);
        EXPECT_EQ(0, result.status) << result.err;
    }
}

TEST_F(ScreenSaverTest, WithoutItsJewelsItSaysWhereItLookedAndEnds) {
    // A copy with no "Jewels" beside or above it, and an installation directory without them.
    fs::create_directories(m_dir.Path() / "bin");
    const fs::path program = m_dir.Path() / "bin" / "sstovel", nowhere = m_dir.Path() / "nowhere";
    fs::copy_file(SSTOVEL_PATH, program);
    const RunResult result = RunProgram(
        program, {"--window"}, Environment({"TOVEL_INSTALL_DIR=" + nowhere.string() + "/"}), m_dir);
    EXPECT_EQ(1, result.status) << result.err;
    EXPECT_NE(npos, result.err.find("I Can't Open Directory:" + nowhere.string())) << result.err;
}

}  // namespace
