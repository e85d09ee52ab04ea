// Full screen and minimising as a user meets them: tovel under a real window manager (openbox,
// started by the test on xvfb-run's X server), driven with xdotool, its picture taken with
// SIGUSR1 and its sound recorded by SDL's disk driver.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

// Openbox with its defaults, plus a key that maximises the focused window as its title bar's
// button would.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard><keybind key="W-Up"><action name="Maximize"/></keybind></keyboard>
</openbox_config>
)";

// A tool's first line of output; the tool runs in a folder of its own.
std::string Tool(const char* program, const std::vector<std::string>& args) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram(program, args, {}, dir);
    EXPECT_EQ(0, r.status) << program << " " << args[0] << ": " << r.err;
    return r.out;
}

std::string Xdotool(const std::vector<std::string>& args) {
    const std::string out = Tool("/usr/bin/xdotool", args);
    return out.substr(0, out.find('\n'));
}

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Waits until `done` holds, up to `seconds`.
template <class Condition>
bool WaitFor(Condition done, double seconds) {
    for (double waited = 0; waited < seconds; waited += 0.05) {
        if (done()) {
            return true;
        }
        Pause(0.05);
    }
    return done();
}

std::size_t Count(const std::string& text, const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        ++n;
    }
    return n;
}

struct Geometry {
    int x = -1, y = -1, width = 0, height = 0;
};
Geometry WindowGeometry(const std::string& window) {
    std::istringstream info(Tool("/usr/bin/xwininfo", {"-id", window}));
    Geometry g;
    for (std::string line; std::getline(info, line);) {
        auto value = [&line](const char* key, int* to) {
            if (const auto at = line.find(key); at != std::string::npos) {
                *to = std::stoi(line.substr(at + std::strlen(key)));
            }
        };
        value("Absolute upper-left X:", &g.x);
        value("Absolute upper-left Y:", &g.y);
        value("Width:", &g.width);
        value("Height:", &g.height);
    }
    return g;
}

std::string WindowState(const std::string& window) {
    return Tool("/usr/bin/xprop", {"-id", window, "_NET_WM_STATE"});
}

// Mean brightness (sum of the three channels) of a rectangle of a picture.
double Brightness(const tovel_test::Image& image, std::uint32_t left, std::uint32_t top,
                  std::uint32_t right, std::uint32_t bottom) {
    double sum = 0;
    for (std::uint32_t y = top; y < bottom; ++y) {
        for (std::uint32_t x = left; x < right; ++x) {
            const std::uint32_t c = image.At(x, y);
            sum += ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF);
        }
    }
    return sum / ((right - left) * (bottom - top));
}

// A user's session: openbox on the test's X server, then tovel, shown and reset once.
class FullScreenTest : public ::testing::Test {
protected:
    void StartTovel(std::vector<std::string> env) {
        const fs::path config = m_dir.Path() / "rc.xml";
        std::ofstream(config) << kOpenboxConfig;
        m_openbox = std::make_unique<ChildProcess>("/usr/bin/openbox",
                                                   std::vector<std::string>{"--config-file",
                                                                            config.string()},
                                                   std::vector<std::string>{}, m_openboxDir);
        ASSERT_TRUE(WaitFor(
            [] {
                return Tool("/usr/bin/xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"})
                           .find("window id") != std::string::npos;
            },
            30.0))
            << "openbox did not start";
        env.push_back("TOVEL_MESSAGE_BOX=stderr");
        env.push_back("XDG_DATA_HOME=" + (m_dir.Path() / "data").string());  // not the user's
        env.push_back("TOVEL_SNAPSHOT=" + Shot().string());
        env.push_back("TOVEL_SNAPSHOT_FRAME=0");  // only when asked for
        m_tovel = std::make_unique<ChildProcess>(TOVEL_PATH, std::vector<std::string>{}, env,
                                                 m_dir);
        ASSERT_TRUE(m_tovel->Started());
        m_window = Xdotool({"search", "--sync", "--name", "t o v e l"});
        ASSERT_FALSE(m_window.empty());
        ASSERT_TRUE(WaitFor([this] { return Lines().find("Call OnResetDevice()") != std::string::npos; },
                            60.0))
            << Lines();
        Pause(0.5);
    }

    fs::path Shot() const { return m_dir.Path() / "shot.png"; }
    std::string Lines() const { return tovel_test::ReadFile(m_dir.Path() / "stderr.txt"); }

    // Waits for `line` to have been written `count` times in all.
    bool WaitForLine(const std::string& line, std::size_t count) {
        return WaitFor([&] { return Count(Lines(), line) >= count; }, 30.0);
    }

    // The picture tovel presents next.
    tovel_test::Image Snapshot() {
        fs::remove(Shot());
        m_tovel->Signal(SIGUSR1);
        EXPECT_TRUE(WaitFor([this] { return fs::exists(Shot()); }, 30.0)) << "no snapshot";
        return tovel_test::LoadPng(Shot().string());
    }

    TempDir m_dir;
    TempDir m_openboxDir;  // its output apart from tovel's
    std::unique_ptr<ChildProcess> m_openbox;
    std::unique_ptr<ChildProcess> m_tovel;
    std::string m_window;
};

// Maximise, Escape, minimise and restore while A4 is struck again and again: full screen covers
// the display above every window with the restore button drawn, Escape gives back the window as
// it was, and the sound never stops.
TEST_F(FullScreenTest, MaximiseEscapeMinimiseAndRestoreWhileANoteSounds) {
    const fs::path raw = m_dir.Path() / "out.raw";
    ASSERT_NO_FATAL_FAILURE(
        StartTovel({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string()}));
    const Geometry start = WindowGeometry(m_window);
    ASSERT_GT(start.width, 0);

    // Keys go to the focused window, as a user's would. O (A4) and I (G4) are struck in turn,
    // each held for 0.75 s and the two overlapping, so that every frame finds a key held even
    // when a slow software renderer and a busy X server hand the program its key events in
    // bursts; a new strike comes at least once a second.
    std::atomic<bool> playing{true};
    const auto playStart = std::chrono::steady_clock::now();
    std::thread player([&playing] {
        bool first = true;
        while (playing) {
            Xdotool({"keydown", "o"});
            Pause(0.25);
            if (!first) {
                Xdotool({"keyup", "i"});
            }
            first = false;
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
    ASSERT_TRUE(WaitForLine("Call OnResizeWindow(1280,1024)", 1)) << Lines();
    Pause(0.5);
    const Geometry full = WindowGeometry(m_window);
    EXPECT_EQ(0, full.x);
    EXPECT_EQ(0, full.y);
    EXPECT_EQ(1280, full.width);
    EXPECT_EQ(1024, full.height);
    const std::string fullState = WindowState(m_window);
    EXPECT_NE(std::string::npos, fullState.find("_NET_WM_STATE_FULLSCREEN")) << fullState;
    EXPECT_NE(std::string::npos, fullState.find("_NET_WM_STATE_ABOVE")) << fullState;
    const tovel_test::Image fullPicture = Snapshot();
    ASSERT_EQ(1280u, fullPicture.width);
    ASSERT_EQ(1024u, fullPicture.height);
    // The restore button: 2.5 % of the width, 95 % across and 2.5 % down.
    EXPECT_GT(Brightness(fullPicture, 1217, 27, 1247, 55), 30.0) << "no restore button";
    EXPECT_GT(Brightness(fullPicture, 0, 512, 1280, 768), 30.0) << "no keyboard";

    Xdotool({"key", "Escape"});
    ASSERT_TRUE(WaitForLine("> SetWindowPlacement", 1)) << Lines();
    ASSERT_TRUE(WaitForLine("Call OnResetDevice()", 3)) << Lines();
    Pause(0.5);
    const Geometry back = WindowGeometry(m_window);
    EXPECT_EQ(start.x, back.x);
    EXPECT_EQ(start.y, back.y);
    EXPECT_EQ(start.width, back.width);
    EXPECT_EQ(start.height, back.height);
    const std::string backState = WindowState(m_window);
    EXPECT_EQ(std::string::npos, backState.find("_NET_WM_STATE_FULLSCREEN")) << backState;
    EXPECT_EQ(std::string::npos, backState.find("_NET_WM_STATE_ABOVE")) << backState;
    const tovel_test::Image windowPicture = Snapshot();
    ASSERT_EQ(static_cast<std::uint32_t>(start.width), windowPicture.width);
    ASSERT_EQ(static_cast<std::uint32_t>(start.height), windowPicture.height);
    const auto w = windowPicture.width, h = windowPicture.height;
    EXPECT_LT(Brightness(windowPicture, w * 95 / 100 + 2, h * 25 / 1000 + 2,
                         w * 975 / 1000 - 2, h * 25 / 1000 + w * 25 / 1000 - 2),
              1.0)
        << "the restore button is drawn in a window";
    EXPECT_GT(Brightness(windowPicture, 0, h / 2, w, h * 3 / 4), 30.0) << "no keyboard";

    // Minimised, no key reaches the program and nothing sounds for long: it is restored at
    // once, and the keys sound again.
    auto since = [&playStart] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - playStart).count();
    };
    const double minimised = since();
    Xdotool({"windowminimize", m_window});
    ASSERT_TRUE(WaitForLine("Call OnMinimizeWindow()", 1)) << Lines();
    Xdotool({"windowactivate", m_window});
    ASSERT_TRUE(WaitForLine("Call OnResetDevice()", 4)) << Lines();
    const double restored = since();
    Pause(2.0);
    playing = false;
    player.join();
    const double played = since();
    Pause(3.0);
    const double stopped = since();
    m_tovel->Signal(SIGTERM);
    const RunResult result = m_tovel->Wait();
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("Failed")) << result.err;
    EXPECT_EQ(Count(result.err, "Call OnResizeWindow("), Count(result.err, "Call OnResetDevice()"))
        << "one reset for each size event and no other: " << result.err;

    // The recording follows the clock, a little behind it where the machine is slow (the disk
    // driver does not catch up): times are mapped onto it in proportion. From the first strike
    // until the window is minimised, every 10 ms of it sounds (a strike falls by about 30 dB a
    // second, so a gap in the sound, or strikes that stop reaching the program for two seconds,
    // show as a block below -100 dB); after the restore the keys sound again. What sounds first
    // is A4 alone, whose period is 101 samples.
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    const std::size_t blocks = x.size() / 441;
    auto peak = [&x](std::size_t block) {
        return tovel_test::Peak(x, block * 441, (block + 1) * 441);
    };
    std::size_t onset = 0;
    while (onset < blocks && peak(onset) <= 1e-5) {
        ++onset;
    }
    const double pace = (blocks - onset) * 0.01 / stopped;
    ASSERT_GT(pace, 0.5) << "the recording lags far behind the clock";
    auto block = [onset, pace](double seconds) {
        return onset + static_cast<std::size_t>(seconds * pace * 100);
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
    const double period = tovel_test::Period(x, (onset + 5) * 441, (onset + 25) * 441, 1000);
    EXPECT_NEAR(101.0, period, 0.5);
}

// Minimised, tovel waits for events: its user-interface thread uses next to no processor time
// over ten seconds, where drawing or polling would use a good part of a core.
TEST_F(FullScreenTest, MinimisedItBlocksInTheEventWait) {
    ASSERT_NO_FATAL_FAILURE(StartTovel({"SDL_AUDIODRIVER=dummy"}));
    const std::string pid = Xdotool({"getwindowpid", m_window});
    ASSERT_FALSE(pid.empty());
    // Processor time in clock ticks of the main thread and of the whole process.
    auto ticks = [&pid](const std::string& stat) {
        std::ifstream file(stat);
        std::string content((std::istreambuf_iterator<char>(file)), {});
        std::istringstream fields(content.substr(content.rfind(')') + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; fields >> field; ++i) {
            if (i == 14) {
                utime = std::stol(field);
            } else if (i == 15) {
                stime = std::stol(field);
                break;
            }
        }
        return utime + stime;
    };
    const std::string mainThread = "/proc/" + pid + "/task/" + pid + "/stat";
    const std::string process = "/proc/" + pid + "/stat";

    Xdotool({"windowminimize", m_window});
    ASSERT_TRUE(WaitForLine("Call OnMinimizeWindow()", 1)) << Lines();
    Pause(0.5);
    const long threadBefore = ticks(mainThread), processBefore = ticks(process);
    const auto from = std::chrono::steady_clock::now();
    Pause(10.0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    const double threadShare = (ticks(mainThread) - threadBefore) * tick / seconds;
    const double processShare = (ticks(process) - processBefore) * tick / seconds;
    std::printf("minimised for %.1f s: the user-interface thread used %.2f %% of a core, the "
                "whole program %.2f %%\n",
                seconds, 100.0 * threadShare, 100.0 * processShare);
    EXPECT_LT(threadShare, 0.05) << "the user-interface thread does not block";
    EXPECT_EQ(1u, Count(Lines(), "Call OnResetDevice()")) << "nothing was drawn again";

    Xdotool({"windowactivate", m_window});
    ASSERT_TRUE(WaitForLine("Call OnResetDevice()", 2)) << Lines();
    m_tovel->Signal(SIGTERM);
    const RunResult result = m_tovel->Wait();
    EXPECT_EQ(0, result.status) << result.err;
}

}  // namespace
