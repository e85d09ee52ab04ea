#include "jewels/JewelFolder.h"

#include "platform/system/SystemServices.h"

namespace {
constexpr std::size_t kMaxNameLength = 31;
constexpr int kFoldersTried = 3;  // the program's folder, its parent, its grandparent
}  // namespace

std::vector<std::filesystem::path> PlacesBesideProgram(std::string_view name) {
    std::vector<std::filesystem::path> places;
    if (name.empty() || name.size() > kMaxNameLength) {
        return places;
    }
    std::filesystem::path folder = platform::GetModuleFileName().parent_path();
    for (int attempt = 0; attempt < kFoldersTried && !folder.empty(); ++attempt) {
        places.push_back(folder / name);
        if (folder == folder.root_path()) {
            break;
        }
        folder = folder.parent_path();
    }
    return places;
}

bool FindFolderBesideProgram(std::string_view name, std::filesystem::path* found) {
    for (const std::filesystem::path& candidate : PlacesBesideProgram(name)) {
        if (platform::PathExists(candidate)) {
            *found = candidate;
            return true;
        }
    }
    return false;
}
