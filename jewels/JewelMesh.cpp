#include "jewels/JewelMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "container/ContainerFile.h"
#include "container/Vendra.h"

namespace {

constexpr std::uint8_t kVertexTag = 0x80;
constexpr std::uint8_t kIndexTag = 0x81;
// Indices are 16-bit, so a mesh can address at most this many vertices.
constexpr std::uint32_t kMaxVertices = 65536;
constexpr std::uint32_t kMaxIndices = 65535;

void Clear(JewelMesh& mesh) {
    mesh.vertexCount = 0;
    mesh.triangleCount = 0;
    mesh.vertices.reset();
    mesh.indices.reset();
    mesh.size = 0.0f;
}

bool HasElement(const CVendraLayer& layer, std::uint8_t tag) {
    return FindElement(layer, tag) != nullptr;
}

// The mesh of a tree that was read; mesh is empty.
HRESULT TakeMesh(CVendra& tree, JewelMesh& mesh) {
    CVendraLayer* layer = FindLayer(tree, 0);
    if (!layer || !layer->m_extension || !HasElement(*layer, kVertexTag) ||
        !HasElement(*layer, kIndexTag)) {
        return E_INVALIDARG;
    }
    const std::uint32_t vertexCount = ReadInt32(*layer, kVertexTag);
    const std::uint32_t indexCount = ReadInt32(*layer, kIndexTag);
    const std::span<std::uint8_t> vertexData = GetExtensionWords32(*layer);
    const std::span<std::uint8_t> indexData = GetExtensionWords16(*layer);
    if (vertexCount > kMaxVertices || indexCount > kMaxIndices ||
        vertexData.size() < std::size_t{vertexCount} * JewelMesh::kBytesPerVertex ||
        indexData.size() < std::size_t{indexCount} * 2) {
        return E_INVALIDARG;
    }

    const std::uint32_t triangles = indexCount / 3;
    // A jewel without a triangle has nothing to draw, and a library of such jewels no buffers.
    if (triangles == 0) {
        return E_INVALIDARG;
    }
    auto vertices = std::unique_ptr<float[]>(
        new (std::nothrow) float[std::size_t{vertexCount} * JewelMesh::kFloatsPerVertex]);
    auto indices =
        std::unique_ptr<std::uint16_t[]>(new (std::nothrow) std::uint16_t[triangles * 3]);
    if (!vertices || !indices) {
        return E_OUTOFMEMORY;
    }
    // An empty element has no data at all, which memcpy may not be handed.
    if (vertexCount > 0) {
        std::memcpy(vertices.get(), vertexData.data(),
                    std::size_t{vertexCount} * JewelMesh::kBytesPerVertex);
    }
    std::memcpy(indices.get(), indexData.data(), std::size_t{triangles} * 3 * 2);
    // A wrong index would draw another jewel's vertices, or beyond the shared buffer.
    if (std::any_of(indices.get(), indices.get() + triangles * 3,
                    [&](std::uint16_t i) { return i >= vertexCount; }) ||
        !std::all_of(vertices.get(), vertices.get() + vertexCount * JewelMesh::kFloatsPerVertex,
                     [](float f) { return std::isfinite(f); })) {
        return E_INVALIDARG;
    }
    mesh.vertexCount = vertexCount;
    mesh.triangleCount = static_cast<std::uint16_t>(triangles);
    mesh.vertices = std::move(vertices);
    mesh.indices = std::move(indices);
    return S_OK;
}

}  // namespace

JewelMeshList::JewelMeshList(JewelMeshList&& other) noexcept
    : m_head(std::exchange(other.m_head, nullptr)), m_tail(std::exchange(other.m_tail, nullptr)) {}

JewelMeshList& JewelMeshList::operator=(JewelMeshList&& other) noexcept {
    if (this != &other) {
        reset();
        m_head = std::exchange(other.m_head, nullptr);
        m_tail = std::exchange(other.m_tail, nullptr);
    }
    return *this;
}

void JewelMeshList::reset() {
    for (JewelMesh* mesh = std::exchange(m_head, nullptr); mesh;) {
        delete std::exchange(mesh, mesh->next);
    }
    m_tail = nullptr;
}

void JewelMeshList::Append(std::unique_ptr<JewelMesh> mesh) {
    JewelMesh* added = mesh.release();
    added->next = nullptr;
    if (m_tail) {
        m_tail->next = added;
    } else {
        m_head = added;
    }
    m_tail = added;
}

HRESULT LoadGem(std::span<const std::uint8_t> bytes, JewelMesh& mesh) {
    Clear(mesh);
    CVendra tree;
    if (FAILED(ReadContainer(bytes, tree))) {
        return E_INVALIDARG;
    }
    return TakeMesh(tree, mesh);
}

HRESULT LoadGem(const std::filesystem::path& name, JewelMesh& mesh) {
    Clear(mesh);
    CVendra tree;
    if (FAILED(ReadContainer(name, tree))) {
        return E_INVALIDARG;
    }
    return TakeMesh(tree, mesh);
}

bool CopyJewelMesh(JewelMesh& destination, const JewelMesh& source) {
    Clear(destination);
    const std::size_t floats = std::size_t{source.vertexCount} * JewelMesh::kFloatsPerVertex;
    const std::size_t indexCount = std::size_t{source.triangleCount} * 3;
    auto vertices = std::unique_ptr<float[]>(new (std::nothrow) float[floats]);
    auto indices = std::unique_ptr<std::uint16_t[]>(new (std::nothrow) std::uint16_t[indexCount]);
    if (!vertices || !indices) {
        return false;
    }
    std::copy_n(source.vertices.get(), floats, vertices.get());
    std::copy_n(source.indices.get(), indexCount, indices.get());
    destination.vertexCount = source.vertexCount;
    destination.triangleCount = source.triangleCount;
    destination.size = source.size;
    destination.vertices = std::move(vertices);
    destination.indices = std::move(indices);
    return true;
}

float MeasureJewelMesh(const JewelMesh& mesh) {
    if (mesh.vertexCount == 0) {
        return 0.0f;
    }
    float low[3], high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::numeric_limits<float>::max();
        high[axis] = std::numeric_limits<float>::lowest();
    }
    for (std::uint32_t v = 0; v < mesh.vertexCount; ++v) {
        const float* position = &mesh.vertices[v * JewelMesh::kFloatsPerVertex];
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], position[axis]);
            high[axis] = std::max(high[axis], position[axis]);
        }
    }
    double extents = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        extents += static_cast<double>(high[axis]) - low[axis];
    }
    return static_cast<float>(extents / 6.0);
}

std::uint32_t GetMeshRange(const JewelMesh* first, std::uint32_t start, std::uint32_t count,
                           MeshRange* range) {
    *range = MeshRange{};
    const JewelMesh* mesh = first;
    for (std::uint32_t i = 0; i < start && mesh; ++i) {
        mesh = mesh->next;
    }
    if (!mesh) {
        return 0;
    }
    range->firstVertex = mesh->firstVertex;
    range->firstIndex = mesh->firstIndex;
    std::uint32_t covered = 0;
    for (; covered < count && mesh; ++covered, mesh = mesh->next) {
        range->vertexTotal += mesh->vertexCount;
        range->triangleTotal += mesh->triangleCount;
    }
    return covered;
}
