// The tovel program as a user starts it: under an X server, with its jewels beside it or
// without them, resized, and played from the computer keys.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "tests/app/TovelProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace tovel_test;

constexpr auto npos = std::string::npos;

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
    key("keyup", "o", 4.0);
    key("keydown", "z", 1.0);  // C2
    key("keyup", "z", 4.0);
    key("keydown", "a", 1.0);  // a dead key
    key("keyup", "a", 1.0);

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

    // The period is played as it is: 101 samples for A4, 675 for C2; after each release the note
    // and its reverb die away, and the dead key adds nothing.
    const std::vector<float> x = Recording(raw);
    const std::vector<double> envelope = Envelope(x);
    const std::size_t a4 = Next(envelope, 0, 1e-3, true);
    ASSERT_LT(a4 + 50, envelope.size()) << "no sound was recorded";
    EXPECT_NEAR(101.0, Period(x, (a4 + 5) * 441, (a4 + 25) * 441, 1000), 0.5);
    const std::size_t c2 = Next(envelope, Next(envelope, a4 + 50, 1e-4, false), 1e-3, true);
    ASSERT_LT(c2 + 50, envelope.size()) << "C2 was not heard";
    EXPECT_NEAR(675.0, Period(x, (c2 + 5) * 441, (c2 + 45) * 441, 1400), 3.37);
    const std::size_t tail = Next(envelope, c2 + 50, 1e-4, false);
    ASSERT_LT(tail + 150, envelope.size()) << "C2's tail lasts to the end of the recording";
    for (std::size_t b = tail; b < envelope.size(); ++b) {
        ASSERT_LE(envelope[b], 2e-4) << "sound at " << b * 0.01 << " s after the start";
    }
}

}  // namespace
