// Shaping, keeping and choosing timbres in tovel as a user does, under an X server: a bar and then
// the timbre itself dragged with the pointer (xdotool), A4 played and recorded; then the program
// started again from what it kept, and the kept tile dragged onto the keyboard band.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>

#include "container/ContainerFile.h"
#include "container/Vendra.h"
#include "palette/TimbreFile.h"
#include "tests/app/TovelProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;
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
