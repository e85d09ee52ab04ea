#include "platform/system/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace {

constexpr int kNameAttempts = 100;

// A hidden name beside the target that no other writer in this or another process uses.
std::filesystem::path TemporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    return target.parent_path() / name;
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

// The rename is only durable once the directory entry is on disk too; a failure here no longer
// endangers the content, so it is not reported.
void SyncDirectory(const std::filesystem::path& directory) {
    const int fd =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

HRESULT ReplaceFileAtomically(const std::filesystem::path& target,
                              std::span<const std::uint8_t> content) {
    if (!target.has_filename()) {
        return E_FAIL;
    }
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temporary = TemporaryName(target);
        // 0666 lets the umask decide, as it would for a file created in place.
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return E_FAIL;
        }
    }
    if (fd < 0) {
        return E_FAIL;
    }
    struct stat existing {};
    bool ok = true;
    if (stat(target.c_str(), &existing) == 0) {
        ok = fchmod(fd, existing.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, content) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return E_FAIL;
    }
    SyncDirectory(target.parent_path());
    return S_OK;
}
