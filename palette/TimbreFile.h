#pragma once
// What a timbre file (*.tmbr) holds: the timbre's twelve amplitudes and the jewel mesh its tile
// shows, in a container tree of one base layer (id 0) and that layer's extension:
//
//   base layer  0xE0  48 bytes   the amplitudes, fundamental first, big-endian floats
//               0x80   4 bytes   vertex count
//               0x81   4 bytes   index count (three per triangle)
//   extension   0x80  24 bytes a vertex, as 32-bit words (m_param 1)
//               0x81   6 bytes a triangle, as 16-bit words
//
// Nothing else of the timbre is kept: its name is its file's name and its colour comes again
// from the amplitudes.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "container/Vendra.h"
#include "jewels/JewelMesh.h"
#include "platform/base/HResult.h"
#include "synth/Timbre.h"

// A mesh a timbre file may bring: 32 of them, the palette's most, still pack into 16-bit
// indices. A larger one counts as no usable mesh.
inline constexpr std::uint32_t kMaxTimbreMeshVertices = 2047;
inline constexpr std::uint32_t kMaxTimbreMeshIndices = 2047;

using Amplitudes = float[CTimbre::kHarmonicCount];

// Fills an empty tree as a timbre file: layer 0 with the amplitudes and the mesh.
HRESULT BuildTimbreTree(const Amplitudes& amplitudes, const JewelMesh& mesh, CVendra& tree);

// Stores the mesh's counts in the layer and its vertices and indices in the layer's extension,
// replacing any that were there; the elements keep their places, new ones are appended.
HRESULT StoreTimbreMesh(CVendraLayer& layer, const JewelMesh& mesh);

struct TimbreFileContent {
    Amplitudes amplitudes = {};  // finite, 0..1
    std::unique_ptr<JewelMesh> mesh;  // null when the file holds no usable mesh
};

// Reads a tree as a timbre file, wherever its bytes came from, and leaves the tree as it was.
// E_INVALIDARG for a tree without layer 0 holding a 48-byte 0xE0 element. Amplitudes that are not
// finite read as 0 and the others are clamped to 0..1, so no file can upset the hue or the
// waveforms' scale. The mesh is usable when it has vertices and at least 3 triangles, within the
// limits above, and every index names one of its vertices, every coordinate finite; its size is
// measured as the library measures its own.
HRESULT ReadTimbreTree(CVendra& tree, TimbreFileContent* content);

// A timbre file from its bytes (wherever they came from: a fuzzer feeds them so) or from its
// path, read into tree and then as above; the container reader's failure when the bytes are not a
// container at all.
HRESULT ReadTimbreFile(std::span<const std::uint8_t> bytes, CVendra& tree,
                       TimbreFileContent* content);
HRESULT ReadTimbreFile(const std::filesystem::path& path, CVendra& tree,
                       TimbreFileContent* content);

// The name a timbre is first kept under: the local time as "%Y%m%d%H%M%S.tmbr". When that is
// taken (two saves within one second), "_2", "_3"... goes before ".tmbr": '_' sorts after '.',
// so the files of one second are still taken in the order they were kept (up to nine of them).
std::string NewTimbreFileName(std::time_t now, const std::function<bool(std::string_view)>& taken);

// A name of fewer than 6 characters is no name: the entry is saved under a new one.
bool IsUsableTimbreFileName(std::string_view name);
