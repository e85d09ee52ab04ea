// Full screen and minimising as a user meets them: tovel under a real window manager (openbox,
// started by the test on xvfb-run's X server), driven with xdotool, its picture taken with
// SIGUSR1 and its sound recorded by SDL's disk driver.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/app/TovelProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;
using Clock = std::chrono::steady_clock;
constexpr auto npos = std::string::npos;

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
    Pause(2.0);
    playing = false;
    player.join();
    const RunResult result = tovel.Stop();
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(npos, result.err.find("Failed")) << result.err;
    EXPECT_EQ(Count(result.err, "Call OnResizeWindow("), Count(result.err, "Call OnResetDevice()"))
        << "one reset for each size event and no other: " << result.err;

    // From the first strike until the minimise every 10 ms of the recording sounds (a strike falls
    // by about 30 dB a second, so a gap in the sound, or strikes that stop reaching the program
    // for two seconds, show as a block below -100 dB); minimised it falls silent; after the
    // restore the keys sound again. So between the first and the last sound lies one silence.
    const std::vector<float> x = Recording(raw);
    int silences = 0;
    bool heard = false, silent = false;
    for (std::size_t at = 0; at + 441 <= x.size(); at += 441) {
        const bool sounds = Peak(x, at, at + 441) > 1e-5;
        silences += sounds && silent;
        silent = heard && !sounds;
        heard = heard || sounds;
    }
    EXPECT_EQ(1, silences);
}

}  // namespace
