#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "container/ContainerFile.h"
#include "platform/system/AtomicFile.h"
#include "tests/container/ContainerTestSupport.h"

using AtomicWrite = ScratchFolder;
using std::filesystem::perms;
using Names = std::vector<std::string>;

// A write replaces the target keeping its permissions; a full disk, a missing folder, a file
// where a folder should be and a folder where the file should be all fail and change nothing.
TEST_F(AtomicWrite, ReplacesTheTargetOrFailsLeavingEverythingAsItWas) {
    const std::filesystem::path target = Write("timbre.tmbr", {1, 2, 3});
    const perms mode = perms::owner_read | perms::owner_write | perms::group_read;
    std::filesystem::permissions(target, mode);
    CVendra small, large;
    SetInt32(*AddLayer(small), 0x80, 5);
    SetExtensionWords32(*AddLayer(large), AsBytes(Bytes(70000, 0x5A)));
    // Beyond a lowered file size limit writes fail as on a full disk.
    rlimit saved{}, limit{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit = {4096, saved.rlim_max};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const HRESULT full = WriteContainer(target, large);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(full, E_FAIL);
    EXPECT_EQ(Hex(Read(target)), "01 02 03");
    EXPECT_EQ(Entries(), Names{"timbre.tmbr"}) << "the temporary is removed";
    EXPECT_EQ(WriteContainer(target, large), S_OK) << "without the limit the same write succeeds";
    EXPECT_EQ(Read(target).size(), 70032u);
    ASSERT_EQ(WriteContainer(target, small), S_OK);
    EXPECT_EQ(Hex(Read(target)), "FF E2 00 12 56 44 4C 59 00 00 01 01 FF 80 00 06 00 00 00 05");
    EXPECT_EQ(std::filesystem::status(target).permissions(), mode);
    const std::filesystem::path file = Write("plain", {7});
    std::filesystem::create_directory(m_folder / "folder");
    for (const auto& place :
         {m_folder / "missing" / "a.tmbr", file / "a.tmbr", m_folder / "folder"}) {
        EXPECT_EQ(WriteContainer(place, small), E_FAIL) << place;
    }
    EXPECT_TRUE(std::filesystem::is_empty(m_folder / "folder"));
    EXPECT_EQ(Entries(), (Names{"folder", "plain", "timbre.tmbr"}));
    EXPECT_EQ(Hex(Read(file)), "07");
}

TEST_F(AtomicWrite, AWriteRemovesTheTemporariesOfKilledWritersOnly) {
    const std::filesystem::path target = Write("timbre.tmbr", {1, 2, 3});
    Names expected = {".notes.tmp",
                      ".timbre.tmbr.tmp-1-",
                      "a.tmbr.tmp-1-2",
                      ".timbre.tmbr.tmp-3-4x",
                      ".timbre.tmbr.tmp-456-0",
                      "timbre.tmbr"};
    for (const std::string& name : expected) {
        Write(name, {9});
    }
    Write(".timbre.tmbr.tmp-123-0", {9});  // abandoned by a killed writer
    Write(".other.tmbr.tmp-7-1", {9});     // of another file of the folder
    // A writer still at work holds the lock on its temporary.
    const int fd = open((m_folder / ".timbre.tmbr.tmp-456-0").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    CVendra root;
    SetInt32(*AddLayer(root), 0x80, 5);
    ASSERT_EQ(WriteContainer(target, root), S_OK);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(), expected);
    close(fd);
    ASSERT_EQ(WriteContainer(target, root), S_OK);
    expected.erase(std::find(expected.begin(), expected.end(), ".timbre.tmbr.tmp-456-0"));
    EXPECT_EQ(Entries(), expected) << "once its writer is gone";
}

// A child rewriting a file in a loop is killed at random moments, with unnamed temporary files
// and with the named ones of file systems that refuse them.
class KilledWriter : public AtomicWrite, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        AtomicWrite::SetUp();
        m_previous = SetUnnamedTemporaryFiles(GetParam());
    }
    void TearDown() override {
        SetUnnamedTemporaryFiles(m_previous);
        AtomicWrite::TearDown();
    }
    bool m_previous = true;
};

TEST_P(KilledWriter, LeavesTheOldOrTheNewFileAndNoTemporaryOnceTheNextWriteHasRun) {
    // Large enough that most kills land in the middle of a write.
    CVendra trees[2];
    Bytes files[2];
    for (int i = 0; i < 2; ++i) {
        SetExtensionWords32(*AddLayer(trees[i]), AsBytes(Bytes(1 << 20, 0x11 * (i + 1))));
        ASSERT_EQ(WriteContainer(trees[i], &files[i]), S_OK);
    }
    const std::filesystem::path target = m_folder / "timbre.tmbr";
    ASSERT_EQ(WriteContainer(target, trees[0]), S_OK);
    std::mt19937 random(16);
    int leftByKills = 0;
    for (int kill = 0; kill < 40; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 1;; i ^= 1) {
                WriteContainer(target, trees[i]);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        ::kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        const Bytes now = Read(target);
        ASSERT_TRUE(now == files[0] || now == files[1])
            << "kill " << kill << ": " << now.size() << " bytes";
        leftByKills += Entries().size() > 1;
        ASSERT_EQ(WriteContainer(target, trees[kill % 2]), S_OK);
        ASSERT_EQ(Entries(), Names{"timbre.tmbr"}) << "kill " << kill;
    }
    RecordProperty("KillsThatLeftATemporaryUntilTheNextWrite", leftByKills);
    if (GetParam()) {
        // An unnamed temporary has a name only between its link and its rename, a moment a
        // random kill seldom meets (a loaded machine may stall the writer there); a named one
        // has it for the whole write, and about a third of the kills leave it.
        EXPECT_LE(leftByKills, 4);
    }
}

INSTANTIATE_TEST_SUITE_P(, KilledWriter, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "UnnamedTemporary" : "NamedTemporary";
                         });
