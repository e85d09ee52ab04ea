#pragma once
// Jewel meshes from the jewel tests' shapes, and the element tags of a layer in their order.

#include <algorithm>

#include "container/VendraNodes.h"
#include "jewels/JewelMesh.h"
#include "tests/jewels/TestGems.h"

namespace tovel_test {

inline std::unique_ptr<JewelMesh> MeshOf(const TestShape& shape) {
    auto mesh = std::make_unique<JewelMesh>();
    mesh->vertexCount = static_cast<std::uint32_t>(shape.vertices.size() / 6);
    mesh->triangleCount = static_cast<std::uint16_t>(shape.indices.size() / 3);
    mesh->vertices = std::make_unique<float[]>(shape.vertices.size());
    std::copy(shape.vertices.begin(), shape.vertices.end(), mesh->vertices.get());
    mesh->indices = std::make_unique<std::uint16_t[]>(shape.indices.size());
    std::copy(shape.indices.begin(), shape.indices.end(), mesh->indices.get());
    return mesh;
}

inline std::unique_ptr<JewelMesh> Mesh(std::uint32_t vertices, std::uint32_t triangles) {
    return MeshOf(MakeShape(vertices, triangles));
}

inline std::vector<std::uint8_t> Tags(const CVendraLayer& layer) {
    std::vector<std::uint8_t> tags;
    for (const CVendraElement* e = layer.m_firstElement.get(); e; e = e->m_next.get()) {
        tags.push_back(e->m_tag);
    }
    return tags;
}

}  // namespace tovel_test
