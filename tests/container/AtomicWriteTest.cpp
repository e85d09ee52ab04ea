#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "container/ContainerFile.h"
#include "tests/container/ContainerTestSupport.h"

namespace {

using AtomicWrite = ScratchFolder;
using std::filesystem::perms;

// Lowers the file size limit for its lifetime: writes beyond it fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    void (*m_handler)(int);
    rlimit m_saved{};
};

void BuildSmallTree(CVendra& root) {
    SetInt32(*AddLayer(root), 0x80, 5);
}

}  // namespace

TEST_F(AtomicWrite, ReplacesTheTargetKeepingItsPermissions) {
    const std::filesystem::path target = Write("timbre.tmbr", {1, 2, 3});
    std::filesystem::permissions(target,
                                 perms::owner_read | perms::owner_write | perms::group_read);
    CVendra root;
    BuildSmallTree(root);
    ASSERT_EQ(WriteContainer(target, root), S_OK);
    EXPECT_EQ(Hex(Read(target)), "FF E2 00 12 56 44 4C 59 00 00 01 01 FF 80 00 06 00 00 00 05");
    EXPECT_EQ(Entries(), std::vector<std::string>{"timbre.tmbr"});
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              perms::owner_read | perms::owner_write | perms::group_read);
}

TEST_F(AtomicWrite, AFullDiskLeavesTheOldFile) {
    const std::filesystem::path target = Write("timbre.tmbr", {1, 2, 3});
    CVendra root;
    SetExtensionWords32(*AddLayer(root), AsBytes(Bytes(70000, 0x5A)));
    HRESULT hr;
    {
        FileSizeLimit limit(4096);
        hr = WriteContainer(target, root);
    }
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(Hex(Read(target)), "01 02 03");
    EXPECT_EQ(Entries(), std::vector<std::string>{"timbre.tmbr"}) << "the temporary is removed";
    EXPECT_EQ(WriteContainer(target, root), S_OK) << "without the limit the same write succeeds";
    EXPECT_EQ(Read(target).size(), 70032u);
}

TEST_F(AtomicWrite, UnwritablePlacesReportFailure) {
    CVendra root;
    BuildSmallTree(root);
    EXPECT_EQ(WriteContainer(m_folder / "missing" / "a.tmbr", root), E_FAIL);
    const std::filesystem::path file = Write("plain", {7});
    EXPECT_EQ(WriteContainer(file / "a.tmbr", root), E_FAIL) << "a file is not a folder";
    std::filesystem::create_directory(m_folder / "folder");
    EXPECT_EQ(WriteContainer(m_folder / "folder", root), E_FAIL) << "a folder is not replaced";
    EXPECT_TRUE(std::filesystem::is_empty(m_folder / "folder"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "plain"}));
    EXPECT_EQ(Hex(Read(file)), "07");

    EXPECT_EQ(SaveToPath(root), E_INVALIDARG) << "no path";
    root.m_path = m_folder / "missing" / "a.tmbr";
    EXPECT_EQ(SaveToPath(root), E_FAIL);
}

TEST_F(AtomicWrite, ReadOnlyFolderLeavesTheOldFile) {
    const std::filesystem::path target = Write("timbre.tmbr", {1, 2, 3});
    std::filesystem::permissions(m_folder, perms::owner_read | perms::owner_exec);
    if (std::ofstream(m_folder / "probe")) {
        GTEST_SKIP() << "this user writes regardless of permissions; the full-disk case covers it";
    }
    CVendra root;
    BuildSmallTree(root);
    EXPECT_EQ(WriteContainer(target, root), E_FAIL);
    EXPECT_EQ(Hex(Read(target)), "01 02 03");
}
