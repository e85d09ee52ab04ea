#include "jewels/JewelLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "jewels/JewelManager.h"
#include "platform/system/InstallDirectory.h"
#include "platform/system/SystemServices.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "tests/jewels/TestGems.h"
#include "tests/support/ScopedDebugOutput.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using tovel_test::MakeShape;
using tovel_test::WriteGem;

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// Every case starts without an installation directory: no variable, and a settings file of its
// own that does not exist yet. Message boxes are recorded; each expected one comes with a quit
// request, and the current directory is the same at the end.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root);
        m_previousSettings = SetInstallDirectorySettingsFile(m_settings);
        ASSERT_TRUE(GetCurrentDirectory(&m_startDirectory));
    }
    void TearDown() override {
        fs::path now;
        EXPECT_TRUE(GetCurrentDirectory(&now) && now == m_startDirectory) << now;
        EXPECT_EQ(m_recorder->Texts().size(), m_refusals);
        EXPECT_EQ(QuitCode(), -1) << "a quit request without a message";
        SetInstallDirectorySettingsFile(m_previousSettings);
        fs::remove_all(m_beside);
        fs::remove_all(m_root);
    }
    // The code of the quit request, or -1 when none was made.
    int QuitCode() {
        MSG msg;
        int code = -1;
        while (m_system->PeekMessage(&msg)) {
            code = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : code;
        }
        return code;
    }
    // A refusal quits with a message that holds `part`.
    void ExpectRefusal(HRESULT hr, const std::string& part) {
        EXPECT_EQ(hr, E_INVALIDARG) << part;
        EXPECT_EQ(QuitCode(), kFailureExitCode) << part;
        const std::vector<std::string> texts = m_recorder->Texts();
        ASSERT_EQ(texts.size(), ++m_refusals);
        EXPECT_NE(texts.back().find(part), std::string::npos) << texts.back();
    }
    HRESULT Load(CJewelManager& manager) { return LoadJewelLibrary(manager, m_name); }
    // The meshes' {first vertex, first index} in list order.
    static std::vector<std::pair<std::uint32_t, std::uint32_t>> Layout(const CJewelManager& m) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> layout;
        for (const JewelMesh* mesh = m.m_meshes.get(); mesh; mesh = mesh->next) {
            layout.emplace_back(mesh->firstVertex, mesh->firstIndex);
        }
        return layout;
    }
    const std::string m_name = "Jewels" + std::to_string(::getpid());
    const fs::path m_beside = GetModuleFileName().parent_path() / m_name;
    const fs::path m_root = tovel_test::TestTempPath("tovel-library-");
    const fs::path m_settings = m_root / "installdirectory";
    fs::path m_previousSettings, m_startDirectory;
    // The cases set the variable as they need it; it is put back when each case ends.
    tovel_test::ScopedEnvironment m_installDir{"TOVEL_INSTALL_DIR", nullptr};
    MessageBoxRecorder* m_recorder = new MessageBoxRecorder();
    tovel_test::ScopedInstance<MessageBoxPresenter> m_presenter{m_recorder};
    std::unique_ptr<WindowSystem> m_system = CreateNullWindowSystem();
    std::size_t m_refusals = 0;
    CJewelManager m_manager;
};

// The folder beside the program comes first and its meshes are laid out in name order. A damaged
// file is skipped with a debug line and takes no place: of forty files, the 32 meshes are those
// after it.
TEST_F(LibraryTest, FolderBesideTheProgramGivesUpToThirtyTwoMeshesInNameOrder) {
    fs::create_directory(m_beside);
    WriteGem(m_beside / "b.gem", MakeShape(4, 2));
    WriteGem(m_beside / "a.gem", MakeShape(10, 6));
    WriteText(m_beside / "notes.txt", "not a jewel");
    ::setenv("TOVEL_INSTALL_DIR", "/nonexistent", 1);  // never looked at
    ASSERT_EQ(Load(m_manager), S_OK);
    EXPECT_EQ(std::tuple(2u, 14u, 8u), std::tuple(m_manager.m_meshCount, m_manager.m_totalVertices,
                                                  m_manager.m_totalTriangles));
    EXPECT_EQ(m_manager.m_meshes->vertexCount, 10u);
    EXPECT_EQ(Layout(m_manager), (decltype(Layout(m_manager)){{0, 0}, {10, 18}}));
    for (int i = 10; i < 50; ++i) {
        WriteGem(m_beside / ("gem" + std::to_string(i) + ".gem"), MakeShape(i == 11 ? 4 : 3, 1));
    }
    WriteText(m_beside / "gem10.gem", "not a container");
    fs::remove(m_beside / "a.gem");
    fs::remove(m_beside / "b.gem");
    std::string debug;
    CJewelManager forty;
    {
        tovel_test::ScopedDebugOutput sink([&debug](std::string_view line) { debug += line; });
        ASSERT_EQ(Load(forty), S_OK);
    }
    EXPECT_EQ(debug,
              "Skipped the jewel file " + (m_beside / "gem10.gem").string() + ": it is damaged.\n");
    EXPECT_EQ(std::pair(32u, 97u), std::pair(forty.m_meshCount, forty.m_totalVertices));
    const auto layout = Layout(forty);
    ASSERT_EQ(layout.size(), 32u) << "no spare mesh at the end";
    EXPECT_EQ(layout[1].first, 4u);
    EXPECT_EQ(layout[31].second, 93u);
}

TEST_F(LibraryTest, InstallationDirectoryIsTheFallbackAndItsMessagesSayWhereTheyLooked) {
    // Each message says where the folder was looked for; the full wording is the program's
    // end-to-end case. Without the final separator the folder name is glued to the value.
    fs::create_directory(m_root / m_name);
    WriteText(m_settings, "");
    ExpectRefusal(Load(m_manager), m_settings.string() + " does not name");
    WriteText(m_settings, m_root.string() + "\n");
    ExpectRefusal(Load(m_manager), "Directory:" + m_root.string() + m_name + "\n");
    ::setenv("TOVEL_INSTALL_DIR", "/nowhere/", 1);
    ExpectRefusal(Load(m_manager), "Directory:/nowhere/" + m_name + "\n");
    ::unsetenv("TOVEL_INSTALL_DIR");
    EXPECT_EQ(m_manager.m_meshes, nullptr);
    WriteGem(m_root / m_name / "only.gem", MakeShape(3, 1));
    WriteText(m_settings, m_root.string() + "/\n");
    ASSERT_EQ(Load(m_manager), S_OK);
    EXPECT_EQ(m_manager.m_meshCount, 1u);
}

TEST_F(LibraryTest, SettingsFileHoldsOneLineShorterThanTheRegistryBuffer) {
    auto read = [&](const std::string& text) {
        WriteText(m_settings, text);
        const InstallDirectory directory = ReadInstallDirectory();
        return directory.status == InstallDirectoryStatus::Found ? directory.value : "(none)";
    };
    const std::string longest = "/" + std::string(257, 'x') + "/";
    std::string accented;  // characters count, not bytes
    for (int i = 0; i < 259; ++i) {
        accented += "\xC3\xA9";
    }
    // {file, directory read}
    const std::pair<std::string, std::string> cases[] = {
        {longest, longest},         {accented, accented},     {"/opt/tovel/\r\n", "/opt/tovel/"},
        {longest + "x", "(none)"},  {"/a/\n/b/\n", "(none)"}, {std::string("/a\0/", 4), "(none)"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(read(text), expected);
    }
    ::setenv("TOVEL_INSTALL_DIR", "", 1);
    EXPECT_EQ(read("/from/file/"), "/from/file/") << "an empty variable counts as unset";
    ::setenv("TOVEL_INSTALL_DIR", "/from/variable/", 1);
    EXPECT_EQ(read("/from/file/"), "/from/variable/");
}

TEST_F(LibraryTest, SixteenBitIndicesBoundTheLibrary) {
    const std::string tooMany = m_beside.string() + " are too many to draw";
    fs::create_directory(m_beside);
    // 65535 vertices is the most: the last one still has a 16-bit index.
    WriteGem(m_beside / "a.gem", MakeShape(65534, 21844));
    WriteGem(m_beside / "b.gem", MakeShape(1, 1));
    ASSERT_EQ(Load(m_manager), S_OK);
    EXPECT_EQ(std::pair(65535u, 21845u),
              std::pair(m_manager.m_totalVertices, m_manager.m_totalTriangles));
    WriteGem(m_beside / "c.gem", MakeShape(1, 1));
    CJewelManager overVertices, overIndices;
    ExpectRefusal(Load(overVertices), tooMany);
    EXPECT_EQ(overVertices.m_meshes, nullptr);
    fs::remove(m_beside / "c.gem");
    WriteGem(m_beside / "b.gem", MakeShape(1, 2));
    ExpectRefusal(Load(overIndices), tooMany);
}

TEST_F(LibraryTest, FoldersWithoutALoadableJewelSayWhichFolderAndWhichFiles) {
    // An empty folder and one of damaged files alone are the program's end-to-end cases. Three
    // files are named; a link to nothing is a file that cannot be read.
    fs::create_directory(m_beside);
    WriteText(m_beside / "a.gem", "not a container");
    fs::create_symlink(m_root / "gone.gem", m_beside / "b.gem");
    for (const char* name : {"c.gem", "d.gem", "e.gem"}) {
        WriteText(m_beside / name, "\xFF");
    }
    ExpectRefusal(Load(m_manager), "No jewel can be loaded from the folder " + m_beside.string() +
                                       ": a.gem is damaged, b.gem cannot be read, c.gem is "
                                       "damaged and the 2 other jewel files cannot be loaded "
                                       "either.");
    EXPECT_EQ(m_manager.m_meshes, nullptr) << "a failed load leaves the manager as it was";
    fs::remove_all(m_beside);
    WriteText(m_beside, "a file where the folder should be");
    ExpectRefusal(Load(m_manager), m_beside.string() + ": it cannot be opened as a folder.");
}

}  // namespace
