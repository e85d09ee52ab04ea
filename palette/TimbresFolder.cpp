#include "palette/TimbresFolder.h"

#include <cstdlib>
#include <system_error>

#include "jewels/JewelFolder.h"
#include "platform/system/SystemServices.h"

namespace fs = std::filesystem;

fs::path UserTimbresFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    // A relative data home is to be ignored, as the XDG base directories say.
    if (dataHome && fs::path(dataHome).is_absolute()) {
        base = dataHome;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        return {};
    }
    return base / "tovel" / "Timbres";
}

bool FindTimbresFolder(fs::path* folder) {
    if (FindFolderBesideProgram("Timbres", folder)) {
        return true;
    }
    const fs::path own = UserTimbresFolder();
    std::error_code error;
    if (!own.empty()) {
        fs::create_directories(own, error);
        if (!error && fs::is_directory(own, error)) {
            *folder = own;
            return true;
        }
    }
    platform::OutputDebugString("No Timbres folder beside the program, and " +
                                (own.empty() ? std::string("no home folder to make one in")
                                             : "none could be made at " + own.string()) +
                                ": the built-in timbres are used and none can be kept\n");
    return false;
}
