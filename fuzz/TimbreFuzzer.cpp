// The timbre file reader on any bytes at all. Besides what the sanitizers watch, a timbre it
// accepts must be one the palette can play and draw: twelve finite amplitudes in 0..1, and a mesh
// (when there is one) within the palette's limits, every index inside it and every number finite.
// Kept again and read back, it must come out the same.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "container/ContainerFile.h"
#include "palette/TimbreFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckMesh(const JewelMesh& mesh) {
    Check(mesh.vertexCount > 0 && mesh.vertexCount <= kMaxTimbreMeshVertices);
    Check(mesh.triangleCount >= 3 && mesh.triangleCount * 3 <= kMaxTimbreMeshIndices);
    const std::size_t floats = std::size_t{mesh.vertexCount} * JewelMesh::kFloatsPerVertex;
    for (std::size_t i = 0; i < floats; ++i) {
        Check(std::isfinite(mesh.vertices[i]));
    }
    for (std::size_t i = 0; i < std::size_t{mesh.triangleCount} * 3; ++i) {
        Check(mesh.indices[i] < mesh.vertexCount);
    }
}

bool SameMesh(const JewelMesh& a, const JewelMesh& b) {
    return a.vertexCount == b.vertexCount && a.triangleCount == b.triangleCount &&
           std::memcmp(a.vertices.get(), b.vertices.get(),
                       std::size_t{a.vertexCount} * JewelMesh::kFloatsPerVertex * sizeof(float)) ==
               0 &&
           std::memcmp(a.indices.get(), b.indices.get(),
                       std::size_t{a.triangleCount} * 3 * sizeof(std::uint16_t)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CVendra tree;
    TimbreFileContent content;
    if (FAILED(ReadTimbreFile({data, size}, tree, &content))) {
        return 0;
    }
    for (float amplitude : content.amplitudes) {
        Check(amplitude >= 0.0f && amplitude <= 1.0f);
    }
    if (!content.mesh) {
        return 0;
    }
    CheckMesh(*content.mesh);

    // What was read is kept again as the palette keeps it, and reads back the same.
    CVendra kept;
    std::vector<std::uint8_t> bytes;
    Check(SUCCEEDED(BuildTimbreTree(content.amplitudes, *content.mesh, kept)));
    Check(SUCCEEDED(WriteContainer(kept, &bytes)));
    CVendra again;
    TimbreFileContent reread;
    Check(SUCCEEDED(ReadTimbreFile(bytes, again, &reread)));
    Check(std::memcmp(reread.amplitudes, content.amplitudes, sizeof(Amplitudes)) == 0);
    Check(reread.mesh && SameMesh(*reread.mesh, *content.mesh));
    return 0;
}
