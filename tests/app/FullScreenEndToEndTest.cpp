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
    const auto playStart = Clock::now();
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
    const std::string fullState = Tool("/usr/bin/xprop", {"-id", window, "_NET_WM_STATE"});
    EXPECT_NE(npos, fullState.find("_NET_WM_STATE_FULLSCREEN")) << fullState;
    EXPECT_NE(npos, fullState.find("_NET_WM_STATE_ABOVE")) << fullState;
    const Image fullPicture = tovel.Picture();
    ASSERT_EQ(std::pair(1280u, 1024u), std::pair(fullPicture.width, fullPicture.height));
    // The restore button: 2.5 % of the width, 95 % across and 2.5 % down.
    EXPECT_GT(Brightness(fullPicture, 1217, 27, 1247, 55), 30.0) << "no restore button";
    EXPECT_GT(Brightness(fullPicture, 0, 512, 1280, 768), 30.0) << "no keyboard";

    Xdotool({"key", "Escape"});
    ASSERT_TRUE(tovel.WaitForLine("> SetWindowPlacement")) << tovel.Lines();
    ASSERT_TRUE(tovel.WaitForLine("Call OnResetDevice()", 3)) << tovel.Lines();
    Pause(0.5);
    const Geometry back = WindowGeometry(window);
    EXPECT_EQ(std::tuple(start.x, start.y, start.width, start.height),
              std::tuple(back.x, back.y, back.width, back.height));
    const std::string backState = Tool("/usr/bin/xprop", {"-id", window, "_NET_WM_STATE"});
    EXPECT_EQ(npos, backState.find("_NET_WM_STATE_FULLSCREEN")) << backState;
    EXPECT_EQ(npos, backState.find("_NET_WM_STATE_ABOVE")) << backState;
    const Image picture = tovel.Picture();
    const int w = start.width, h = start.height;
    ASSERT_EQ(std::pair(w, h),
              std::pair(static_cast<int>(picture.width), static_cast<int>(picture.height)));
    EXPECT_LT(Brightness(picture, w * 95 / 100 + 2, h * 25 / 1000 + 2, w * 975 / 1000 - 2,
                         h * 25 / 1000 + w * 25 / 1000 - 2),
              1.0)
        << "the restore button is drawn in a window";
    EXPECT_GT(Brightness(picture, 0, h / 2, w, h * 3 / 4), 30.0) << "no keyboard";

    // Minimised, no key reaches the program and its user-interface thread waits for events,
    // using next to no processor time where drawing or polling would use a good part of a core;
    // restored, the keys sound again.
    auto since = [&playStart] {
        return std::chrono::duration<double>(Clock::now() - playStart).count();
    };
    const double minimised = since();
    Xdotool({"windowminimize", window});
    ASSERT_TRUE(tovel.WaitForLine("Call OnMinimizeWindow()")) << tovel.Lines();
    Pause(0.5);
    const std::string pid = Xdotool({"getwindowpid", window});
    const std::string mainThread = "/proc/" + pid + "/task/" + pid + "/stat";
    const long threadBefore = Ticks(mainThread), processBefore = Ticks("/proc/" + pid + "/stat");
    const std::size_t resets = Count(tovel.Lines(), "Call OnResetDevice()");
    const auto from = Clock::now();
    Pause(10.0);
    const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const double threadShare = (Ticks(mainThread) - threadBefore) * tick / seconds;
    const double processShare = (Ticks("/proc/" + pid + "/stat") - processBefore) * tick / seconds;
    std::printf(
        "minimised for %.1f s: the user-interface thread used %.2f %% of a core, the "
        "whole program %.2f %%\n",
        seconds, 100.0 * threadShare, 100.0 * processShare);
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
    // until the window is minimised, every 10 ms of it sounds (a strike falls by about 30 dB a
    // second, so a gap in the sound, or strikes that stop reaching the program for two seconds,
    // show as a block below -100 dB); after the restore the keys sound again. What sounds first
    // is A4 alone, whose period is 101 samples.
    const std::vector<float> x = Recording(raw);
    const std::size_t blocks = x.size() / 441;
    auto peak = [&x](std::size_t block) { return Peak(x, block * 441, (block + 1) * 441); };
    std::size_t onset = 0;
    while (onset < blocks && peak(onset) <= 1e-5) {
        ++onset;
    }
    const double pace = (blocks - onset) * 0.01 / stopped;
    ASSERT_GT(pace, 0.5) << "the recording lags far behind the clock";
    auto block = [onset, pace](double at) {
        return onset + static_cast<std::size_t>(at * pace * 100);
    };
    for (std::size_t b = onset; b < block(minimised); ++b) {
        ASSERT_GT(peak(b), 1e-5) << "the sound broke off " << (b - onset) * 0.01
                                 << " s after it began, " << minimised << " s before the minimise";
    }
    double afterRestore = 0;
    for (std::size_t b = block(restored + 0.5); b < block(played); ++b) {
        afterRestore = std::max(afterRestore, peak(b));
    }
    EXPECT_GT(afterRestore, 1e-2) << "no strike was heard after the restore";
    EXPECT_NEAR(101.0, Period(x, (onset + 5) * 441, (onset + 25) * 441, 1000), 0.5);
}

}  // namespace
