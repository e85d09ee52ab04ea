// Shaping a timbre in tovel as a user does: under an X server, a bar dragged with the pointer
// (xdotool), pictures of it taken on request (SIGUSR1), a key played and the sound recorded.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <span>
#include <sstream>
#include <thread>

#include "container/ContainerFile.h"
#include "container/Vendra.h"
#include "palette/TimbreFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/audio/AudioMeasure.h"
#include "tests/support/gpu/Image.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

constexpr std::size_t kA4Period = 101;  // samples: A4 is played as a loop of one period

// xdotool's answer, or empty; its output goes to a folder of its own.
std::string Xdotool(const std::vector<std::string>& args) {
    const TempDir dir;
    const RunResult r = tovel_test::RunProgram("/usr/bin/xdotool", args, {}, dir);
    EXPECT_EQ(0, r.status) << "xdotool " << args[0] << ": " << r.err;
    return r.out;
}

void Pause(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Where a bar lies in a client area of the given size: the middle of its filled part, and the
// y of its top edge at amplitude 1 and at amplitude 0.
struct BarPlace {
    int x, top, bottom;
};
BarPlace PlaceOfBar(int bar, int width, int height) {
    const double band = std::floor(0.15 * height), barWidth = 0.1 * band;
    const double top = std::floor(0.025 * height);
    const double step = (0.8 * width - 12 * barWidth) / 11 + barWidth;
    const double left = std::floor(0.1 * width) + (bar - 1) * step;
    return {static_cast<int>(left + barWidth / 2), static_cast<int>(top + 2),
            static_cast<int>(top + band - 2)};
}

// The rows from `top` to `bottom` whose pixels around x are all lit; the trace, one pixel wide,
// crosses them at one row at most.
int LitRows(const tovel_test::Image& picture, int x, int top, int bottom) {
    auto lit = [&](int px, int y) { return (picture.At(px, y) & 0xFFFFFF) != 0; };
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
        rows += lit(x - 2, y) && lit(x, y) && lit(x + 2, y);
    }
    return rows;
}

class HarmonicsEndToEndTest : public ::testing::Test {
protected:
    // Presses at (x, y) and moves to `toY` over several frames; the button stays down until the
    // program has drawn what `shows` waits for, since a press, its moves and its release taken
    // in one frame would move nothing.
    void Drag(int x, int y, int toY, const std::function<bool(const tovel_test::Image&)>& shows) {
        Move(x, y);
        Pause(0.1);
        Xdotool({"mousedown", "1"});
        const int steps = 6;
        for (int i = 1; i <= steps; ++i) {
            Pause(0.05);
            Move(x, y + (toY - y) * i / steps);
        }
        EXPECT_TRUE(WaitForPicture(shows))
            << "the drag from " << x << ", " << y << " shows no change";
        Xdotool({"mouseup", "1"});
    }
    void Move(int x, int y) {
        Xdotool({"mousemove", "--window", m_window, std::to_string(x), std::to_string(y)});
    }
    // Asks for pictures (SIGUSR1) until one shows what `shows` waits for, 25 at most;
    // the last one stays in m_shot.
    bool WaitForPicture(const std::function<bool(const tovel_test::Image&)>& shows) {
        for (int attempt = 0; attempt < 25 && m_tovel->Running(); ++attempt) {
            fs::remove(m_shot);
            m_tovel->Signal(SIGUSR1);
            for (int i = 0; i < 100 && !fs::exists(m_shot); ++i) {
                Pause(0.05);
            }
            const tovel_test::Image picture = tovel_test::LoadPng(m_shot);
            if (picture.width > 0 && shows(picture)) {
                return true;
            }
            Pause(0.2);
        }
        return false;
    }

    std::string m_window;
    ChildProcess* m_tovel = nullptr;
    fs::path m_shot;
};

TEST_F(HarmonicsEndToEndTest, DraggedBarsChangeTheSoundFromTheRelease) {
    TempDir dir;
    // The program in a folder of its own, with a Timbres folder beside it that holds one timbre:
    // the fundamental alone.
    fs::create_directories(dir.Path() / "bin");
    const fs::path program = dir.Path() / "bin" / "tovel";
    fs::copy_file(TOVEL_PATH, program);
    fs::create_directories(dir.Path() / "bin" / "Timbres");
    {
        const Amplitudes fundamental = {1.0f};
        CVendra tree;
        ASSERT_EQ(S_OK, SetBaseWords32(*AddLayer(tree), std::as_bytes(std::span(fundamental))));
        ASSERT_EQ(S_OK, WriteContainer(dir.Path() / "bin" / "Timbres" / "fundamental.tmbr", tree));
    }
    const fs::path raw = dir.Path() / "out.raw", err = dir.Path() / "stderr.txt";
    m_shot = dir.Path() / "shot.png";
    ChildProcess tovel(
        program, {},
        {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string(), "TOVEL_MESSAGE_BOX=stderr",
         "TOVEL_INSTALL_DIR=" + fs::path(TOVEL_PATH).parent_path().string() + "/",
         "XDG_DATA_HOME=" + (dir.Path() / "data").string(), "TOVEL_SNAPSHOT=" + m_shot.string(),
         "TOVEL_SNAPSHOT_FRAME=0"},
        dir);
    ASSERT_TRUE(tovel.Started());
    m_tovel = &tovel;
    const std::string found = Xdotool({"search", "--sync", "--name", "t o v e l"});
    m_window = found.substr(0, found.find('\n'));
    ASSERT_FALSE(m_window.empty());
    for (int i = 0;
         i < 600 && tovel_test::ReadFile(err).find("Call OnResetDevice()") == std::string::npos;
         ++i) {
        Pause(0.1);
    }
    std::istringstream geometry(Xdotool({"getwindowgeometry", "--shell", m_window}));
    int width = 0, height = 0;
    for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("WIDTH=", 0) == 0) {
            width = std::stoi(line.substr(6));
        } else if (line.rfind("HEIGHT=", 0) == 0) {
            height = std::stoi(line.substr(7));
        }
    }
    ASSERT_GT(width * height, 0);
    // A press before the window is on the screen would go to the desktop behind it.
    Xdotool({"search", "--sync", "--onlyvisible", "--name", "t o v e l"});

    // The third bar, empty, is pulled to the top; held there, it is full in the edited timbre's
    // colour with its label above it.
    const BarPlace third = PlaceOfBar(3, width, height);
    const int span = third.bottom - third.top - 1;
    Drag(third.x, third.bottom - 1, -40, [&](const tovel_test::Image& picture) {
        int label = 0;
        for (int y = third.top - 20; y < third.top; ++y) {
            for (int x = third.x - 10; x < third.x + 60; ++x) {
                label += (picture.At(x, y) & 0xFFFFFF) != 0;
            }
        }
        return LitRows(picture, third.x, third.top + 1, third.bottom) == span && label > 60;
    });
    Xdotool({"keydown", "--window", m_window, "o"});  // A4
    Pause(1.0);
    Xdotool({"keyup", "--window", m_window, "o"});
    Pause(3.0);
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    ASSERT_EQ(0, result.status) << result.err;

    // A4 as played after the edits: the fundamental and the third harmonic, and nothing else.
    // The output is the reverb bus alone, a linear filter: what the timbre lacks stays absent.
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    std::size_t onset = 0;
    while (onset < x.size() && std::fabs(x[onset]) < 1e-3f) {
        ++onset;
    }
    const std::size_t begin = onset + 2205, end = begin + 40 * kA4Period;
    ASSERT_LT(end, x.size()) << "A4 was not heard";
    const std::vector<double> levels = tovel_test::HarmonicLevels(x, begin, end, kA4Period, 12);
    const double loudest = std::max(levels[0], levels[2]);
    EXPECT_GT(levels[0], 0.1 * loudest);
    EXPECT_GT(levels[2], 0.1 * loudest);
    for (std::size_t k = 1; k < 12; ++k) {
        if (k != 2) {
            EXPECT_LT(levels[k], 0.02 * loudest) << "harmonic " << k + 1;
        }
    }
}

}  // namespace
