// Writes the timbre fuzzer's seeds: the three built-in timbres, each with a jewel of the built
// library, as the palette keeps them. Usage: fuzz_timbre_seeds JEWELS_FOLDER OUTPUT_FOLDER

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "container/ContainerFile.h"
#include "palette/TimbreFile.h"
#include "synth/Timbre.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s JEWELS_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> gems;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[1])) {
        if (entry.path().extension() == ".gem") {
            gems.push_back(entry.path());
        }
    }
    std::sort(gems.begin(), gems.end());
    fs::create_directories(argv[2]);
    void (CTimbre::*presets[])() = {&CTimbre::SetAllEvenHiWave, &CTimbre::SetSquareWave,
                                    &CTimbre::SetSawtoothWave};
    for (std::size_t i = 0; i < std::size(presets) && i < gems.size(); ++i) {
        CTimbre timbre;
        (timbre.*presets[i])();
        JewelMesh mesh;
        CVendra tree;
        tree.m_path = fs::path(argv[2]) / ("seed" + std::to_string(i) + ".tmbr");
        if (FAILED(LoadGem(gems[i], mesh)) ||
            FAILED(BuildTimbreTree(timbre.m_harmonics, mesh, tree)) || FAILED(SaveToPath(tree))) {
            std::fprintf(stderr, "%s: could not write a seed from %s\n", argv[0],
                         gems[i].c_str());
            return 1;
        }
    }
    return 0;
}
