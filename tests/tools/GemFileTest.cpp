// Jewel files: the 16-bit limits, and the generator run as the build runs it, writing what the
// library writes.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/GemforgeTestSupport.h"
#include "tools/gemforge/GemFile.h"
#include "tools/gemforge/GemShapes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class GemFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps test runs of other build trees on the machine out of the folder.
        m_folder = fs::temp_directory_path() /
                   ("tovel-gemforge-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

TEST_F(GemFile, RefusesAMeshThatSixteenBitIndicesCannotCount) {
    GemMesh mesh;
    const Vec3 triangle[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < 21846; ++i) {  // 65 538 indices
        mesh.AddFacet(triangle);
    }
    const fs::path path = m_folder / "huge.gem";
    EXPECT_EQ(WriteGem(path, mesh), E_INVALIDARG);
    EXPECT_FALSE(fs::exists(path));
}

// Runs the generator the way the build does, twice, into folders of its own.
TEST_F(GemFile, GeneratorWritesEveryShapeAndTheSameBytesEachRun) {
    std::vector<std::string> runs;
    for (const char* run : {"first", "second"}) {
        const fs::path folder = m_folder / run / "Jewels";
        std::string program = TOVEL_GEMFORGE_PATH;
        std::string argument = folder.string();
        char* argv[] = {program.data(), argument.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        runs.push_back(folder.string());
    }
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(runs[0])) {
        written.insert(entry.path().filename().string());
    }
    const std::vector<GemShape> shapes = BuildGemShapes();
    ASSERT_EQ(written.size(), shapes.size());
    for (const GemShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string name = shape.name + ".gem";
        ASSERT_TRUE(written.count(name));
        const std::string first = ReadFile(fs::path(runs[0]) / name);
        EXPECT_EQ(first, ReadFile(fs::path(runs[1]) / name));
        ASSERT_EQ(WriteGem(m_folder / name, shape.mesh), S_OK);
        EXPECT_EQ(first, ReadFile(m_folder / name)) << "the tool and the library disagree";
    }
}

TEST(GemforgeCommandLine, WrongArgumentsFailWithUsage) {
    std::string program = TOVEL_GEMFORGE_PATH;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
