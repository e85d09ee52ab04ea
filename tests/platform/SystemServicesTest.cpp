// System services and message boxes: the wrapping clock, the debug channel, paths, wildcard
// enumeration, and message boxes without a display.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <tuple>

#include "platform/system/SystemServices.h"
#include "platform/window/MessageBox.h"
#include "tests/support/ScopedEnvironment.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// Without a sink, debug lines go to stderr; headless runs and the stderr choice echo message
// boxes there instead of waiting for a click.
TEST(SystemServicesTest, ClockDebugLinesAndMessageBoxes) {
    EXPECT_EQ(ElapsedMilliseconds(0xFFFFFFF6u, 5u), 15u);
    const std::uint32_t before = timeGetTime();
    Sleep(20);
    EXPECT_GE(ElapsedMilliseconds(before, timeGetTime()), 19u);
    testing::internal::CaptureStderr();
    OutputDebugString("D3DERR_DEVICELOST!!\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "D3DERR_DEVICELOST!!\n");
    std::unique_ptr<MessageBoxPresenter> chosen;
    {
        tovel_test::ScopedEnvironment choice("TOVEL_MESSAGE_BOX", "stderr");
        chosen = CreateDefaultMessageBoxPresenter();
    }
    ASSERT_NE(dynamic_cast<MessageBoxRecorder*>(chosen.get()), nullptr);
    testing::internal::CaptureStderr();
    chosen->Show("Sorry, This Machine no support.");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tovel: Sorry, This Machine no support.\n");
    tovel_test::ScopedEnvironment noDisplay("DISPLAY", nullptr);
    chosen = CreateDefaultMessageBoxPresenter();
    EXPECT_NE(dynamic_cast<MessageBoxRecorder*>(chosen.get()), nullptr);
}

// Message boxes wrap long lines at spaces, counting characters, not bytes, as the system's own
// boxes do.
TEST(SystemServicesTest, MessageTextWrapsAtSpacesAndWildcardsIgnoreAsciiCase) {
    const std::string longWord(12, 'x'), e4 = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::pair<std::string, std::string> texts[] = {
        {"", ""},
        {"fits in 10", "fits in 10"},
        {"aaa bbb ccc ddd", "aaa bbb\nccc ddd"},
        {"first line\nsecond one here", "first line\nsecond one\nhere"},
        {"a " + longWord + " b", "a\n" + longWord + "\nb"},
        {e4 + " " + e4 + " z", e4 + " " + e4 + "\nz"},
        {"ends with a break\n", "ends with\na break\n"}};
    for (const auto& [text, wrapped] : texts) {
        EXPECT_EQ(WrapMessageText(text, 10), wrapped) << text;
    }
    // clang-format off
    const std::tuple<const char*, const char*, bool> names[] = {
        {"*.gem", "JEWEL.GEM", true}, {"*.gem", ".gem", true},      {"*.gem", "a.gem.bak", false},
        {"*.gem", "jewelgem", false}, {"*ab", "aab", true},         {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "acb", false},      {"??.tmbr", "ab.tmbr", true}, {"??.tmbr", "abc.tmbr", false},
        {"*", "", true},              {"?", "", false}};
    // clang-format on
    for (const auto& [pattern, name, matches] : names) {
        EXPECT_EQ(matches, MatchesWildcard(pattern, name)) << pattern << " " << name;
    }
}

// FindFiles lists sorted names and skips folders, relative to the current directory too.
TEST(SystemServicesTest, FindFilesTheProgramPathAndTheCurrentDirectory) {
    const fs::path folder =
        fs::path(::testing::TempDir()) / ("tovel-" + std::to_string(::getpid()));
    fs::create_directories(folder / "folder.gem");
    for (const char* name : {"b.gem", "a.gem", "C.GEM", "notes.txt", "a.gem~"}) {
        std::ofstream(folder / name) << "x";
    }
    EXPECT_TRUE(FindFiles(folder / "missing", "*").empty());
    EXPECT_EQ(GetModuleFileName().filename(), "test_window");
    EXPECT_TRUE(PathExists(GetModuleFileName()));
    EXPECT_FALSE(PathExists(folder / "Jewels"));
    fs::path before, during;
    ASSERT_TRUE(GetCurrentDirectory(&before));
    ASSERT_TRUE(SetCurrentDirectory(folder));
    EXPECT_EQ(FindFiles(".", "*.gem"), (std::vector<std::string>{"C.GEM", "a.gem", "b.gem"}));
    ASSERT_TRUE(GetCurrentDirectory(&during));
    EXPECT_EQ(fs::canonical(during), fs::canonical(folder));
    EXPECT_FALSE(SetCurrentDirectory(folder / "missing"));
    ASSERT_TRUE(SetCurrentDirectory(before));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace platform
