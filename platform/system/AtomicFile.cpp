// Atomic file replacement on Linux.
// Provides: the new content in an unnamed temporary file of the target's folder (O_TMPFILE),
// flushed to the disk, given a hidden name (linkat through /proc/self/fd, or AT_EMPTY_PATH) and
// renamed over the target. A process killed while writing leaves nothing: the kernel frees an
// unnamed file with its last descriptor. Where the file system refuses unnamed files, the
// temporary is created under its hidden name from the start.
// Either way a hidden name exists for a while (between the link and the rename, or the whole write
// on the fallback), and a kill then leaves the file behind; so each temporary is locked (flock)
// by its writer for as long as it lives, and every replacement first removes the temporaries of
// its folder that no live writer holds.
// Limitations: a file system without flock keeps such leftovers; the sweep then removes nothing
// rather than a file still being written.
// Depends on: POSIX and Linux system calls (open with O_TMPFILE, linkat, flock, fsync, rename).

#include "platform/system/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 100;
// Hidden names are "." + the target's name + kMark + "<process id>-<count>".
constexpr std::string_view kMark = ".tmp-";

std::atomic<bool> g_unnamedTemporaries{true};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(); }

    int Get() const { return m_fd; }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

fs::path FolderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// A hidden name beside the target that no other writer in this or another process uses.
fs::path TemporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    return FolderOf(target) /
           ("." + target.filename().string() + std::string(kMark) + std::to_string(getpid()) + "-" +
            std::to_string(counter.fetch_add(1)));
}

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsTemporaryName(std::string_view name) {
    const std::size_t mark = name.rfind(kMark);
    if (name.size() < 2 || name[0] != '.' || mark == std::string_view::npos || mark < 2) {
        return false;
    }
    const std::string_view numbers = name.substr(mark + kMark.size());
    const std::size_t dash = numbers.find('-');
    return dash != std::string_view::npos && IsDigits(numbers.substr(0, dash)) &&
           IsDigits(numbers.substr(dash + 1));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while the name still refers to the file open as fd.
bool NameIsFile(const fs::path& name, int fd) {
    struct stat byName {};
    struct stat open {};
    return lstat(name.c_str(), &byName) == 0 && fstat(fd, &open) == 0 && SameFile(byName, open);
}

// Removes the temporaries that a killed writer left in folder. A live writer holds the lock on
// its temporary, so only the abandoned ones can be locked here; the name is checked again under
// the lock, as it may have been renamed into place meanwhile.
void SweepAbandonedTemporaries(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path name = it->path();
        if (!IsTemporaryName(name.filename().string())) {
            continue;
        }
        Descriptor fd(open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.Get() < 0) {
            // A temporary that takes its target's permission bits may not be readable.
            fd.Reset(open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        }
        struct stat file {};
        if (fd.Get() >= 0 && fstat(fd.Get(), &file) == 0 && S_ISREG(file.st_mode) &&
            flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && NameIsFile(name, fd.Get())) {
            unlink(name.c_str());
        }
    }
}

// The writer's lock on its temporary; without flock the sweep cannot take it either, so the
// temporary is safe from it all the same.
void Lock(int fd) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// An unnamed file in folder, locked; -1 when the file system does not make them.
int OpenUnnamed(const fs::path& folder) {
    // 0666 lets the umask decide, as it would for a file created in place.
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        Lock(fd);
    }
    return fd;
}

// Gives the unnamed file a hidden name beside the target. False when it cannot be linked.
bool LinkUnnamed(int fd, const fs::path& target, fs::path* name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *name = TemporaryName(target);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name->c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        // Without /proc, AT_EMPTY_PATH does the same for a process that may use it.
        if (errno == ENOENT && linkat(fd, "", AT_FDCWD, name->c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// A new file under a hidden name beside the target, locked; -1 on failure.
int OpenNamed(const fs::path& target, fs::path* name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *name = TemporaryName(target);
        const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) {
                return -1;
            }
            continue;
        }
        Lock(fd);
        // A sweep that found the name before the lock was taken may have removed it.
        if (NameIsFile(*name, fd)) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

bool WriteAll(int fd, std::span<const std::uint8_t> content) {
    while (!content.empty()) {
        const ssize_t written = write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        content = content.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// The content, with the target's permission bits when it exists, on the disk.
bool Fill(int fd, const fs::path& target, std::span<const std::uint8_t> content) {
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0 && fchmod(fd, existing.st_mode & 07777) != 0) {
        return false;
    }
    return WriteAll(fd, content) && fsync(fd) == 0;
}

// The rename is only durable once the directory entry is on disk too; a failure here no longer
// endangers the content, so it is not reported.
void SyncDirectory(const fs::path& directory) {
    const Descriptor fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) {
        fsync(fd.Get());
    }
}

}  // namespace

HRESULT ReplaceFileAtomically(const fs::path& target, std::span<const std::uint8_t> content) {
    if (!target.has_filename()) {
        return E_FAIL;
    }
    const fs::path folder = FolderOf(target);
    SweepAbandonedTemporaries(folder);

    fs::path temporary;
    Descriptor fd(g_unnamedTemporaries ? OpenUnnamed(folder) : -1);
    bool ok = true;
    if (fd.Get() >= 0) {
        ok = Fill(fd.Get(), target, content);
        if (ok && !LinkUnnamed(fd.Get(), target, &temporary)) {
            // Written but not linkable (no /proc, no right to AT_EMPTY_PATH): write it again
            // under a name.
            fd.Reset();
        }
    }
    if (fd.Get() < 0 && ok) {
        fd.Reset(OpenNamed(target, &temporary));
        if (fd.Get() < 0) {
            return E_FAIL;
        }
        ok = Fill(fd.Get(), target, content);
    }
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        if (!temporary.empty()) {
            unlink(temporary.c_str());
        }
        return E_FAIL;
    }
    // The lock goes only now: until the rename the sweep must not take the hidden name.
    fd.Reset();
    SyncDirectory(folder);
    return S_OK;
}

bool SetUnnamedTemporaryFiles(bool enabled) {
    return g_unnamedTemporaries.exchange(enabled);
}
