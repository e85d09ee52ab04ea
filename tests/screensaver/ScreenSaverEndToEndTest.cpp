// sstovel as a user and XScreenSaver meet it, under the X server of xvfb-run: each arrangement
// in a window, drawing into a window another program made, ending on SIGTERM, and the
// configuration dialog clicked with xdotool.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/dialog/Dialog.h"
#include "platform/graphics/TextureLoader.h"
#include "platform/window/Window.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/HueRing.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;
constexpr auto npos = std::string::npos;

// xdotool may fail here: a search finds nothing once a window is gone.
std::string X(const std::vector<std::string>& args) {
    return Xdotool(args, true);
}
std::string Find(const std::string& name) {
    return X({"search", "--sync", "--onlyvisible", "--name", name});
}

struct Colour {
    double r, g, b;
    double Brightest() const { return std::max({r, g, b}); }
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
        saver.Signal(SIGTERM);
        EXPECT_TRUE(WaitFor([&] { return !saver.Running(); }, 1.0)) << "running after SIGTERM";
        const RunResult result = saver.Wait(5.0);
        EXPECT_EQ(0, result.status) << result.err;
    }

    // Frame `frame` of a saver started with `args`, which is then ended by SIGTERM.
    Image PictureOfFrame(int frame, const std::vector<std::string>& args,
                         std::vector<std::string> env = {}) {
        const fs::path shot = m_dir.Path() / "shot.png";
        fs::remove(shot);
        env.insert(env.end(), {"TOVEL_SNAPSHOT=" + shot.string(),
                               "TOVEL_SNAPSHOT_FRAME=" + std::to_string(frame)});
        ChildProcess saver(SSTOVEL_PATH, args, Environment(env), m_dir);
        if (!WaitForFile(shot, saver, 90.0)) {
            ADD_FAILURE() << saver.Wait(1.0).err;
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
    std::size_t lit = 0, glow = 0;
    double leaning = 0, imbalance = 0;
    for (const Colour c : picture.pixels) {
        if (c.Brightest() > 90) {
            ++lit;
            leaning += (c.g + c.b) / 2 - c.r;
            imbalance += std::abs(c.g - c.b);
        } else if (c.Brightest() > 0 && c.Brightest() < 40) {
            ++glow;
        }
    }
    ASSERT_GT(lit, 100u) << "no column";
    EXPECT_GT(leaning / lit, 8.0) << "not cyan";
    EXPECT_LT(imbalance / lit, 12.0) << "not cyan";
    EXPECT_GT(glow, lit) << "the column glows";
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
    const std::string window = Find("^sstovel$");
    ASSERT_FALSE(window.empty()) << saver.Wait(1.0).err;
    X({"mousemove", "--window", window, "--sync", "40", "40"});
    X({"click", "1"});
    const std::string dialog = Find("^tovel settings$");
    ASSERT_FALSE(dialog.empty()) << saver.Wait(1.0).err;
    EXPECT_FALSE(fs::exists(shot)) << "the dialog should open before the 250th frame";
    std::ostringstream hex;
    hex << "0x" << std::hex << std::stoul(window);
    EXPECT_NE(npos,
              Tool("/usr/bin/xprop", {"-id", dialog, "WM_TRANSIENT_FOR"}, true).find(hex.str()));
    EXPECT_TRUE(WaitForFile(shot, saver, 90.0)) << "the saver stopped drawing behind its dialog";
    // There is no window manager to give the dialog the focus.
    X({"windowfocus", "--sync", dialog});
    X({"key", "Escape"});
    EXPECT_TRUE(WaitFor(
        [&] {
            return X({"search", "--onlyvisible", "--name", "^tovel settings$"}).empty();
        },
        5.0));
    EndWithSigterm(saver);

    // The ring (radius 10 where the view's half-height is 12.5; where its twelve jewels stand
    // on it the unit tests know) reaches from near the top to near the bottom, centred in height.
    const Image picture = LoadPng(shot);
    const int height = static_cast<int>(picture.height);
    int top = height, bottom = 0;
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        if (picture.pixels[i].Brightest() > 40) {
            top = std::min(top, static_cast<int>(i / picture.width));
            bottom = std::max(bottom, static_cast<int>(i / picture.width));
        }
    }
    EXPECT_NEAR(height / 2.0, (top + bottom) / 2.0, 0.05 * height);
    EXPECT_GT(bottom - top, 0.8 * height);
}

TEST_F(ScreenSaverTest, DrawsIntoAWindowAnotherProgramMadeAndLeavesItThere) {
    // The test is the other program: a window of its own, shown and left without drawing.
    std::unique_ptr<platform::WindowSystem> system = platform::CreateSdlWindowSystem();
    ASSERT_TRUE(system);
    std::unique_ptr<platform::Window> host = system->CreateWindow(
        {.title = "host", .width = 320, .height = 200, .style = platform::WS_POPUP}, nullptr);
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
        for (const Colour c : picture.pixels) {
            red += c.r;
            rest += c.g + c.b;
        }
        EXPECT_GT(red, 320 * 200 * 2.0) << "the red ring of hue 0 is drawn";
        EXPECT_GT(red, rest);
        EXPECT_EQ("host", X({"getwindowname", std::to_string(id)})) << "the host is still there";
    }
    host.reset();

    // A window that is not there is said so, and nothing is drawn.
    const RunResult missing =
        RunProgram(SSTOVEL_PATH, {"--window-id", "0x7ffffff0"}, Environment(), m_dir);
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(npos, missing.err.find("sstovel: sstovel cannot draw into the window 0x7ffffff0")) << missing.err;
}

// The dialog on the screen, clicked where its template puts a hue of the ring, the list and OK:
// the base units are the ones that give the dialog's size.
TEST_F(ScreenSaverTest, TheDialogStoresAClickedHueAtOnceAndTheArrangementOnOk) {
    WriteSettings("SELECTEDHUE=-1\nSELECTEDTYPE=0\n");
    const fs::path shot = m_dir.Path() / "dialog.png";
    ChildProcess dialog(SSTOVEL_PATH, {"-c"},
                        Environment({"TOVEL_DIALOG_SNAPSHOT=" + shot.string()}), m_dir);
    const std::string window = Find("^tovel settings$");
    ASSERT_FALSE(window.empty()) << dialog.Wait(1.0).err;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(shot); }, 10.0)) << "the dialog was not painted";
    const Geometry at = WindowGeometry(window);
    const platform::DialogTemplate dialogTemplate = ConfigureDialogTemplate();
    std::optional<platform::DialogBaseUnits> units;
    for (int x = 3; x < 20; ++x) {
        for (int y = 6; y < 40; ++y) {
            const platform::RECT size = platform::MapDialogSize(dialogTemplate, {x, y});
            if (size.right == at.width && size.bottom == at.height) {
                units = platform::DialogBaseUnits{x, y};
            }
        }
    }
    ASSERT_TRUE(units) << "the dialog's size fits no base units";
    auto click = [&](int x, int y) {
        X({"mousemove", "--sync", std::to_string(at.x + x), std::to_string(at.y + y)});
        X({"click", "1"});
    };
    // The middle of ring item 8, then of the list (opened, and the entry below the selected one
    // taken with the keys), then of OK.
    const platform::RECT ring = platform::MapDialogRect(dialogTemplate.controls[2], *units);
    const HueRingItem item = LayOutHueRing(ring.right - ring.left, ring.bottom - ring.top).items[8];
    EXPECT_EQ(125, item.value);
    click(ring.left + (item.points[0].x + item.points[2].x) / 2,
          ring.top + (item.points[0].y + item.points[2].y) / 2);
    EXPECT_TRUE(WaitFor([&] { return Settings().find("SELECTEDHUE=125") != npos; }, 5.0));
    EXPECT_NE(npos, Settings().find("SELECTEDTYPE=0")) << "not before OK";
    auto clickControl = [&](int id) {
        platform::DialogControl c =
            *std::find_if(dialogTemplate.controls.begin(), dialogTemplate.controls.end(),
                          [id](const auto& c) { return c.id == id; });
        c.height = std::min(c.height, 14);
        const platform::RECT r = platform::MapDialogRect(c, *units);
        click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    clickControl(kArrangementListId);
    Pause(0.5);
    X({"key", "Down", "Return"});
    Pause(0.5);
    clickControl(platform::IDOK);
    EXPECT_EQ(0, dialog.Wait(10.0).status);
    EXPECT_NE(npos, Settings().find("SELECTEDHUE=125\nSELECTEDTYPE=1")) << Settings();
}

TEST_F(ScreenSaverTest, FullScreenItEndsOnAPointerMovementOrAKeyPress) {
    WriteSettings("SELECTEDTYPE=1\n");
    const std::pair<std::vector<std::string>, std::vector<std::string>> inputs[] = {
        {{}, {"mousemove_relative", "--sync", "60", "40"}}, {{"-s"}, {"key", "space"}}};
    for (const auto& [args, action] : inputs) {
        SCOPED_TRACE(action[0]);
        X({"mousemove", "--sync", "600", "500"});
        ChildProcess saver(SSTOVEL_PATH, args, Environment(), m_dir);
        const std::string window = Find("^sstovel$");
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
        EXPECT_TRUE(WaitFor([&] { return !saver.Running(); }, 5.0));
        EXPECT_EQ(0, saver.Wait(5.0).status);
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
