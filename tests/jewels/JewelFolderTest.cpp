#include "jewels/JewelFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/system/SystemServices.h"

namespace {

namespace fs = std::filesystem;

TEST(JewelFolderTest, ProgramFolderFirstThenUpwards) {
    const fs::path program = platform::GetModuleFileName();
    ASSERT_FALSE(program.empty());
    const std::string name = "Gems" + std::to_string(::getpid());
    const fs::path own = program.parent_path() / name;
    const fs::path parent = program.parent_path().parent_path() / name;

    fs::path found;
    EXPECT_FALSE(FindFolderBesideProgram(name, &found));
    fs::create_directory(parent);
    EXPECT_TRUE(FindFolderBesideProgram(name, &found));
    EXPECT_EQ(found, parent);
    fs::create_directory(own);
    EXPECT_TRUE(FindFolderBesideProgram(name, &found));
    EXPECT_EQ(found, own) << "the program's own folder comes first";
    fs::remove(own);
    fs::remove(parent);

    EXPECT_FALSE(FindFolderBesideProgram(std::string(32, 'x'), &found)) << "names stay short";
    EXPECT_FALSE(FindFolderBesideProgram("", &found));
}

}  // namespace
