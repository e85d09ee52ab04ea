// tovel-gemforge: writes the jewel shapes the programs ship with, one "<name>.gem" file each,
// into the folder given; with --sheet, draws the jewels of a folder into one picture instead.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "jewels/JewelFolder.h"
#include "platform/window/MessageBox.h"
#include "tools/gemforge/ContactSheet.h"
#include "tools/gemforge/GemFile.h"
#include "tools/gemforge/GemShapes.h"

namespace {

constexpr const char* kUsage =
    "usage: tovel-gemforge FOLDER              write the jewels into FOLDER\n"
    "       tovel-gemforge --sheet FILE.png [FOLDER]\n"
    "                                          draw the jewels of FOLDER (default: the\n"
    "                                          Jewels folder beside the program) into FILE.png\n";

int WriteJewels(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "tovel-gemforge: cannot create " << folder << ": " << error.message() << "\n";
        return 1;
    }
    for (const GemShape& shape : BuildGemShapes()) {
        const std::filesystem::path path = folder / (shape.name + ".gem");
        if (const HRESULT hr = WriteGem(path, shape.mesh); FAILED(hr)) {
            std::cerr << "tovel-gemforge: cannot write " << path << " (0x" << std::hex
                      << static_cast<std::uint32_t>(hr) << ")\n";
            return 1;
        }
    }
    return 0;
}

int WriteSheet(const std::filesystem::path& png, std::filesystem::path folder) {
    if (folder.empty() && !FindFolderBesideProgram("Jewels", &folder)) {
        std::cerr << "tovel-gemforge: no Jewels folder beside the program; name one\n";
        return 1;
    }
    // The picture is drawn off screen; SDL's offscreen driver needs no display. A tool run from
    // a shell says what went wrong there, not in a box.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    delete platform::MessageBoxPresenter::SetInstance(new platform::MessageBoxRecorder(true));
    std::string error;
    if (!WriteContactSheet(png, folder, &error)) {
        std::cerr << "tovel-gemforge: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--sheet" && (argc == 3 || argc == 4)) {
        return WriteSheet(argv[2], argc == 4 ? argv[3] : "");
    }
    if (argc != 2 || first.starts_with("-")) {
        std::cerr << kUsage;
        return 2;
    }
    return WriteJewels(first);
}
