#include "bench/TimbreFiles.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <span>
#include <string>

#include "container/ContainerFile.h"
#include "container/Vendra.h"

namespace {

// Twelve amplitudes, the fundamental first; the program gives each file its jewel the first
// time it reads it.
bool WriteTimbreFile(const std::filesystem::path& path, int i) {
    std::array<float, 12> amplitudes{1.0f};
    amplitudes[1 + i % 11] = 0.05f * static_cast<float>(1 + i % 20);
    CVendra tree;
    CVendraLayer* layer = AddLayer(tree);
    return layer &&
           SUCCEEDED(SetBaseWords32(*layer, std::as_bytes(std::span<const float, 12>(amplitudes)))) &&
           SUCCEEDED(WriteContainer(path, tree));
}

}  // namespace

TimbresHome::TimbresHome(const char* name, int count)
    : m_home(std::filesystem::temp_directory_path() /
             (std::string(name) + "-" + std::to_string(::getpid()))) {
    const std::filesystem::path folder = m_home / "tovel" / "Timbres";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    m_written = !error;
    for (int i = 0; m_written && i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "2024010203%04d.tmbr", i);
        m_written = WriteTimbreFile(folder / file, i);
    }
}

TimbresHome::~TimbresHome() {
    std::error_code error;
    std::filesystem::remove_all(m_home, error);
}
