// System services and message boxes: the wrapping clock, the debug channel, paths, wildcard
// enumeration, and message boxes without a display.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <tuple>

#include "platform/system/SystemServices.h"
#include "platform/window/MessageBox.h"
#include "tests/support/ScopedDebugOutput.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(ClockTest, DifferenceAcrossTheWrapIsSmallAndPositive) {
    EXPECT_EQ(ElapsedMilliseconds(0xFFFFFFF6u, 5u), 15u);
    EXPECT_EQ(ElapsedMilliseconds(0xFFFFFFFFu, 0u), 1u);
    EXPECT_EQ(ElapsedMilliseconds(0x80000000u, 0x80000010u), 16u);
    EXPECT_EQ(ElapsedMilliseconds(1000u, 1000u), 0u);

    const std::uint32_t before = timeGetTime();
    Sleep(20);
    EXPECT_GE(ElapsedMilliseconds(before, timeGetTime()), 19u);
}

TEST(DebugOutputTest, LinesGoToTheInstalledSinkOtherwiseToStderr) {
    std::string captured;
    {
        tovel_test::ScopedDebugOutput sink([&](std::string_view text) { captured += text; });
        OutputDebugString("Call OnMinimizeWindow()\n");
    }
    EXPECT_EQ(captured, "Call OnMinimizeWindow()\n");

    testing::internal::CaptureStderr();
    OutputDebugString("D3DERR_DEVICELOST!!\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "D3DERR_DEVICELOST!!\n");
    EXPECT_EQ(captured, "Call OnMinimizeWindow()\n");
}

TEST(MessageBoxTest, HeadlessRunsAndTheStderrChoiceEchoInsteadOfBlocking) {
    std::unique_ptr<MessageBoxPresenter> chosen;
    {
        tovel_test::ScopedEnvironment choice("TOVEL_MESSAGE_BOX", "stderr");
        chosen = CreateDefaultMessageBoxPresenter();
    }
    ASSERT_NE(dynamic_cast<MessageBoxRecorder*>(chosen.get()), nullptr);
    testing::internal::CaptureStderr();
    chosen->Show("Sorry, This Machine no support.");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tovel: Sorry, This Machine no support.\n");

    // With no display to put a box on, nothing may wait for a click either.
    tovel_test::ScopedEnvironment noDisplay("DISPLAY", nullptr);
    chosen = CreateDefaultMessageBoxPresenter();
    EXPECT_NE(dynamic_cast<MessageBoxRecorder*>(chosen.get()), nullptr);
}

TEST(MessageBoxTest, LongLinesAreWrappedAtSpacesAsTheSystemsBoxesDo) {
    const std::string longWord(12, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"fits in 10", "fits in 10"},
        {"aaa bbb ccc ddd", "aaa bbb\nccc ddd"},
        {"first line\nsecond one here", "first line\nsecond one\nhere"},
        {"a " + longWord + " b", "a\n" + longWord + "\nb"},
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 z",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\nz"},
        {"ends with a break\n", "ends with\na break\n"},
    };
    for (const auto& [text, wrapped] : cases) {
        EXPECT_EQ(WrapMessageText(text, 10), wrapped) << text;
    }
}

TEST(WildcardTest, StarAndQuestionMarkIgnoringAsciiCase) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.gem", "jewel.gem", true},
        {"*.gem", "JEWEL.GEM", true},
        {"*.gem", ".gem", true},
        {"*.gem", "jewel.gem.bak", false},
        {"*.gem", "jewelgem", false},
        {"*ab", "aab", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "acb", false},
        {"??.tmbr", "ab.tmbr", true},
        {"??.tmbr", "abc.tmbr", false},
        {"*", "", true},
        {"?", "", false},
    };
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(matches, MatchesWildcard(pattern, name)) << pattern << " " << name;
    }
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(20261207);
        folder = fs::temp_directory_path() /
                 ("tovel-folder-" + std::to_string(random()) + "-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    void Touch(const std::string& name) { std::ofstream(folder / name) << "x"; }

    fs::path folder;
};

TEST_F(FolderTest, FindFilesListsMatchingFilesSortedAndSkipsFolders) {
    for (const char* name : {"b.gem", "a.gem", "C.GEM", "notes.txt", "a.gem~"}) {
        Touch(name);
    }
    fs::create_directory(folder / "folder.gem");
    EXPECT_EQ(FindFiles(folder, "*.gem"), (std::vector<std::string>{"C.GEM", "a.gem", "b.gem"}));
    EXPECT_TRUE(FindFiles(folder, "*.tmbr").empty());
    EXPECT_TRUE(FindFiles(folder / "missing", "*").empty());
}

TEST_F(FolderTest, ProgramPathExistenceAndTheCurrentDirectory) {
    const fs::path program = GetModuleFileName();
    EXPECT_EQ(program.filename(), "test_window");
    EXPECT_TRUE(PathExists(program));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_FALSE(PathExists(folder / "Jewels"));

    fs::path before;
    ASSERT_TRUE(GetCurrentDirectory(&before));
    ASSERT_TRUE(SetCurrentDirectory(folder));
    Touch("here.gem");
    EXPECT_EQ(FindFiles(".", "*.gem"), (std::vector<std::string>{"here.gem"}));
    fs::path during;
    ASSERT_TRUE(GetCurrentDirectory(&during));
    EXPECT_EQ(fs::canonical(during), fs::canonical(folder));
    EXPECT_FALSE(SetCurrentDirectory(folder / "missing"));
    ASSERT_TRUE(SetCurrentDirectory(before));
}

}  // namespace
}  // namespace platform
