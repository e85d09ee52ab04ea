// Shaping a timbre in tovel as a user does, and keeping it: under an X server, a bar and then the
// timbre itself dragged with the pointer (xdotool), pictures taken on request (SIGUSR1), a key
// played and the sound recorded; then the program started again from what it kept.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
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

using Point = std::pair<int, int>;

// The middle of palette tile n in a client area of the given height.
Point MiddleOfTile(int n, int height) {
    const int tileHeight = height / 4, tileWidth = static_cast<int>(tileHeight / 1.414);
    const int gap = tileWidth / 10;
    return {gap + n * (tileWidth + gap) + tileWidth / 2, height - gap - tileHeight / 2};
}

// Pixels within `radius` of a point that are clearly coloured rather than grey.
int Coloured(const tovel_test::Image& picture, Point at, int radius) {
    int coloured = 0;
    for (int y = at.second - radius; y < at.second + radius; ++y) {
        for (int x = at.first - radius; x < at.first + radius; ++x) {
            const std::uint32_t p = picture.At(x, y);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            coloured += std::max({r, g, b}) - std::min({r, g, b}) > 40;
        }
    }
    return coloured;
}

std::vector<fs::path> TimbreFiles(const fs::path& folder) {
    std::vector<fs::path> files{fs::directory_iterator(folder), fs::directory_iterator()};
    std::sort(files.begin(), files.end());
    return files;
}

// The first A4 of a recording carries the fundamental and the third harmonic and nothing else.
// The output is the reverb bus alone, a linear filter: what the timbre lacks stays absent.
void ExpectFundamentalAndThird(const fs::path& raw) {
    std::size_t channels = 0;
    const std::vector<float> x = tovel_test::ReadDeviceRecording(raw, &channels);
    std::size_t onset = 0;
    while (onset < x.size() && std::fabs(x[onset]) < 1e-3f) {
        ++onset;
    }
    const std::size_t begin = onset + 2205, end = begin + 40 * kA4Period;
    ASSERT_LT(end, x.size()) << "A4 was not heard in " << raw.filename();
    const std::vector<double> levels = tovel_test::HarmonicLevels(x, begin, end, kA4Period, 12);
    const double loudest = std::max(levels[0], levels[2]);
    EXPECT_GT(levels[0], 0.1 * loudest) << raw.filename();
    EXPECT_GT(levels[2], 0.1 * loudest) << raw.filename();
    for (std::size_t k = 1; k < 12; ++k) {
        if (k != 2) {
            EXPECT_LT(levels[k], 0.02 * loudest) << "harmonic " << k + 1 << " in " << raw.filename();
        }
    }
}

class HarmonicsEndToEndTest : public ::testing::Test {
protected:
    // Presses at the path's first point and moves along it over several frames; the button
    // stays down until the program has drawn what `shows` waits for, since a press, its moves
    // and its release taken in one frame would move nothing.
    void Drag(const std::vector<Point>& path,
              const std::function<bool(const tovel_test::Image&)>& shows) {
        Move(path[0].first, path[0].second);
        Pause(0.1);
        Xdotool({"mousedown", "1"});
        const int steps = 6;
        for (std::size_t leg = 1; leg < path.size(); ++leg) {
            const auto [x0, y0] = path[leg - 1];
            const auto [x1, y1] = path[leg];
            for (int i = 1; i <= steps; ++i) {
                Pause(0.05);
                Move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
            }
        }
        EXPECT_TRUE(WaitForPicture(shows))
            << "the drag from " << path[0].first << ", " << path[0].second << " shows no change";
        Xdotool({"mouseup", "1"});
    }
    // The program started from its folder, recording into `raw`, once its window is on the
    // screen with its device reset; its client size in m_width and m_height, 0 when it could not
    // be started.
    std::unique_ptr<ChildProcess> Start(const TempDir& dir, const fs::path& program,
                                        const fs::path& raw) {
        auto tovel = std::make_unique<ChildProcess>(
            program, std::vector<std::string>{},
            std::vector<std::string>{
                "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw.string(),
                "TOVEL_MESSAGE_BOX=stderr",
                "TOVEL_INSTALL_DIR=" + fs::path(TOVEL_PATH).parent_path().string() + "/",
                "XDG_DATA_HOME=" + (dir.Path() / "data").string(),
                "TOVEL_SNAPSHOT=" + m_shot.string(), "TOVEL_SNAPSHOT_FRAME=0"},
            dir);
        m_tovel = tovel.get();
        m_width = m_height = 0;
        if (!tovel->Started()) {
            return tovel;
        }
        const std::string found = Xdotool({"search", "--sync", "--name", "t o v e l"});
        m_window = found.substr(0, found.find('\n'));
        const fs::path err = dir.Path() / "stderr.txt";
        for (int i = 0; i < 600 && tovel_test::ReadFile(err).find("Call OnResetDevice()") ==
                                       std::string::npos;
             ++i) {
            Pause(0.1);
        }
        std::istringstream geometry(Xdotool({"getwindowgeometry", "--shell", m_window}));
        for (std::string line; std::getline(geometry, line);) {
            if (line.rfind("WIDTH=", 0) == 0) {
                m_width = std::stoi(line.substr(6));
            } else if (line.rfind("HEIGHT=", 0) == 0) {
                m_height = std::stoi(line.substr(7));
            }
        }
        // A press before the window is on the screen would go to the desktop behind it.
        Xdotool({"search", "--sync", "--onlyvisible", "--name", "t o v e l"});
        return tovel;
    }
    void PlayA4() {
        Xdotool({"keydown", "--window", m_window, "o"});
        Pause(1.0);
        Xdotool({"keyup", "--window", m_window, "o"});
        Pause(3.0);
    }
    void Stop() {
        m_tovel->Signal(SIGTERM);
        const RunResult result = m_tovel->Wait();
        EXPECT_EQ(0, result.status) << result.err;
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
    int m_width = 0, m_height = 0;
    ChildProcess* m_tovel = nullptr;
    fs::path m_shot;
};

TEST_F(HarmonicsEndToEndTest, AShapedTimbreSoundsFromTheReleaseAndIsKeptForTheNextRun) {
    TempDir dir;
    // The program in a folder of its own, with a Timbres folder beside it that holds one timbre:
    // the fundamental alone, under a name that comes before any time-based one.
    fs::create_directories(dir.Path() / "bin");
    const fs::path program = dir.Path() / "bin" / "tovel";
    const fs::path timbres = dir.Path() / "bin" / "Timbres";
    fs::copy_file(TOVEL_PATH, program);
    fs::create_directories(timbres);
    {
        const Amplitudes fundamental = {1.0f};
        CVendra tree;
        ASSERT_EQ(S_OK, SetBaseWords32(*AddLayer(tree), std::as_bytes(std::span(fundamental))));
        ASSERT_EQ(S_OK, WriteContainer(timbres / "0-fundamental.tmbr", tree));
    }
    m_shot = dir.Path() / "shot.png";
    const fs::path shaped = dir.Path() / "shaped.raw", replayed = dir.Path() / "replayed.raw";
    std::unique_ptr<ChildProcess> tovel = Start(dir, program, shaped);
    ASSERT_GT(m_width * m_height, 0);

    // The third bar, empty, is pulled to the top; held there, it is full in the edited timbre's
    // colour with its label above it.
    const BarPlace third = PlaceOfBar(3, m_width, m_height);
    const int span = third.bottom - third.top - 1;
    Drag({{third.x, third.bottom - 1}, {third.x, -40}}, [&](const tovel_test::Image& picture) {
        int label = 0;
        for (int y = third.top - 20; y < third.top; ++y) {
            for (int x = third.x - 10; x < third.x + 60; ++x) {
                label += (picture.At(x, y) & 0xFFFFFF) != 0;
            }
        }
        return LitRows(picture, third.x, third.top + 1, third.bottom) == span && label > 60;
    });
    PlayA4();

    // Pulled out of the keyboard band, the timbre is a jewel that follows the pointer, and let
    // go over the blank tile it is kept there.
    const Point band{m_width * 3 / 4, m_height * 5 / 8}, blank = MiddleOfTile(1, m_height);
    Drag({band, {band.first, m_height / 3}, blank}, [&](const tovel_test::Image& picture) {
        return Coloured(picture, blank, 40) > 1000;
    });
    for (int i = 0; i < 100 && TimbreFiles(timbres).size() < 2; ++i) {
        Pause(0.05);
    }
    Stop();
    ExpectFundamentalAndThird(shaped);

    // Kept in a new file beside the first, as exactly what the bars showed.
    const std::vector<fs::path> files = TimbreFiles(timbres);
    ASSERT_EQ(2u, files.size());
    CVendra tree;
    TimbreFileContent kept;
    ASSERT_EQ(S_OK, ReadTimbreFile(files[1], tree, &kept));
    const Amplitudes expected = {1.0f, 0.0f, 1.0f};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), kept.amplitudes));

    // Started again, the keyboard plays the first tile; the kept one is the second, before the
    // blank tile, and dropped on the keyboard band it plays as it did.
    tovel = Start(dir, program, replayed);
    ASSERT_GT(m_width * m_height, 0);
    const Point second = MiddleOfTile(1, m_height);
    EXPECT_TRUE(WaitForPicture([&](const tovel_test::Image& picture) {
        return Coloured(picture, second, 60) > 3000 &&
               Coloured(picture, MiddleOfTile(2, m_height), 60) == 0;
    })) << "the kept tile";
    Drag({second, {second.first, m_height / 3}, band}, [](const tovel_test::Image&) { return true; });
    PlayA4();
    Stop();
    ExpectFundamentalAndThird(replayed);
}

}  // namespace
