// tovel-gemforge: writes the jewel shapes the programs ship with, one "<name>.gem" file each,
// into the folder given.

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "tools/gemforge/GemFile.h"
#include "tools/gemforge/GemShapes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tovel-gemforge FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
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
