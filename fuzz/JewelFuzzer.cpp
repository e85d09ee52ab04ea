// The jewel loader on any bytes at all. Besides what the sanitizers watch, a mesh it accepts must
// be one the library can draw: a triangle at least, every index inside the mesh, every position
// and normal a finite number, a finite size, and a copy equal to it.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jewels/JewelMesh.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    JewelMesh mesh;
    if (FAILED(LoadGem({data, size}, mesh))) {
        Check(mesh.vertexCount == 0 && mesh.triangleCount == 0 && !mesh.vertices && !mesh.indices);
        return 0;
    }
    Check(mesh.triangleCount > 0);
    const std::size_t floats = std::size_t{mesh.vertexCount} * JewelMesh::kFloatsPerVertex;
    const std::size_t indices = std::size_t{mesh.triangleCount} * 3;
    for (std::size_t i = 0; i < floats; ++i) {
        Check(std::isfinite(mesh.vertices[i]));
    }
    for (std::size_t i = 0; i < indices; ++i) {
        Check(mesh.indices[i] < mesh.vertexCount);
    }
    Check(std::isfinite(MeasureJewelMesh(mesh)));

    JewelMesh copy;
    Check(CopyJewelMesh(copy, mesh));
    Check(copy.vertexCount == mesh.vertexCount && copy.triangleCount == mesh.triangleCount);
    Check(floats == 0 ||
          std::memcmp(copy.vertices.get(), mesh.vertices.get(), floats * sizeof(float)) == 0);
    Check(indices == 0 || std::memcmp(copy.indices.get(), mesh.indices.get(),
                                      indices * sizeof(std::uint16_t)) == 0);
    return 0;
}
