#include "jewels/JewelFolder.h"

#include "platform/system/SystemServices.h"

namespace {
constexpr std::size_t kMaxNameLength = 31;
constexpr int kFoldersTried = 3;  // the program's folder, its parent, its grandparent
}  // namespace

bool FindFolderBesideProgram(std::string_view name, std::filesystem::path* found) {
    if (name.empty() || name.size() > kMaxNameLength) {
        return false;
    }
    std::filesystem::path folder = platform::GetModuleFileName().parent_path();
    for (int attempt = 0; attempt < kFoldersTried && !folder.empty(); ++attempt) {
        const std::filesystem::path candidate = folder / name;
        if (platform::PathExists(candidate)) {
            *found = candidate;
            return true;
        }
        if (folder == folder.root_path()) {
            break;
        }
        folder = folder.parent_path();
    }
    return false;
}
