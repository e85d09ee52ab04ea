// The tovel program as a user starts it: under an X server, with its jewels beside it or
// without them.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::ChildProcess;
using tovel_test::RunResult;
using tovel_test::TempDir;

const std::vector<std::string> kQuietEnvironment = {"SDL_AUDIODRIVER=dummy",
                                                    "TOVEL_MESSAGE_BOX=stderr"};

bool WaitForFile(const fs::path& path, ChildProcess& child, double seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline && child.Running()) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        if (!error && size > 8) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(ProgramTest, RunsItsFrameLoopAndEndsCleanlyWhenClosed) {
    TempDir dir;
    const fs::path shot = dir.Path() / "frame.png";
    std::vector<std::string> env = kQuietEnvironment;
    env.push_back("TOVEL_SNAPSHOT=" + shot.string());
    env.push_back("TOVEL_SNAPSHOT_FRAME=10");
    ChildProcess tovel(TOVEL_PATH, {}, env, dir);
    ASSERT_TRUE(tovel.Started());
    ASSERT_TRUE(WaitForFile(shot, tovel, 60.0)) << tovel.Wait(1.0).err;
    // A quit signal closes the window, as its close button does.
    tovel.Signal(SIGTERM);
    const RunResult result = tovel.Wait();
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ(0, tovel_test::ReadFile(shot).compare(1, 3, "PNG"));
    EXPECT_EQ(std::string::npos, result.err.find("Sorry")) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("Call OnResetDevice() Windowd.TRUE"))
        << "the first show resets the device: " << result.err;
}

TEST(ProgramTest, WithoutItsJewelsItSaysWhereItLookedAndEndsBeforeAFrame) {
    TempDir dir;
    // A copy of the program with no Jewels folder beside it or above it, and an installation
    // directory that has none either.
    fs::create_directories(dir.Path() / "bin");
    const fs::path program = dir.Path() / "bin" / "tovel";
    fs::copy_file(TOVEL_PATH, program);
    const fs::path shot = dir.Path() / "frame.png";
    std::vector<std::string> env = kQuietEnvironment;
    env.push_back("TOVEL_INSTALL_DIR=" + (dir.Path() / "nowhere").string() + "/");
    env.push_back("TOVEL_SNAPSHOT=" + shot.string());
    env.push_back("TOVEL_SNAPSHOT_FRAME=1");
    const RunResult result = tovel_test::RunProgram(program, {}, env, dir);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_NE(std::string::npos,
              result.err.find("I Can't Open Directory:" + (dir.Path() / "nowhere").string() +
                              "/Jewels"))
        << result.err;
    EXPECT_FALSE(fs::exists(shot)) << "no frame is presented after the quit request";
}

}  // namespace
