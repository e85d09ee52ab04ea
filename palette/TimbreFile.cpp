#include "palette/TimbreFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "container/ContainerFile.h"

namespace {

constexpr std::uint8_t kVertexCountTag = 0x80;
constexpr std::uint8_t kIndexCountTag = 0x81;
constexpr std::uint32_t kIndicesPerTriangle = 3;
// Fewer triangles than this make no jewel worth showing.
constexpr std::uint32_t kMinTriangles = 3;

float Sanitised(float amplitude) {
    return std::isfinite(amplitude) ? std::clamp(amplitude, 0.0f, 1.0f) : 0.0f;
}

// The file's mesh, or null when it has none that the palette can show and pack.
std::unique_ptr<JewelMesh> ReadMesh(CVendraLayer& layer) {
    const std::uint32_t vertexCount = ReadInt32(layer, kVertexCountTag);
    const std::uint32_t indexCount = ReadInt32(layer, kIndexCountTag);
    const std::uint32_t triangles = indexCount / kIndicesPerTriangle;
    if (vertexCount == 0 || triangles < kMinTriangles || vertexCount > kMaxTimbreMeshVertices ||
        indexCount > kMaxTimbreMeshIndices) {
        return nullptr;
    }
    const std::size_t vertexBytes = std::size_t{vertexCount} * JewelMesh::kBytesPerVertex;
    const std::size_t indexValues = std::size_t{triangles} * kIndicesPerTriangle;
    auto mesh = std::make_unique<JewelMesh>();
    mesh->vertices = std::make_unique<float[]>(std::size_t{vertexCount} * JewelMesh::kFloatsPerVertex);
    mesh->indices = std::make_unique<std::uint16_t[]>(indexValues);

    // Each conversion is undone after copying, so the tree reads as it came.
    const std::span<std::uint8_t> vertexData = GetExtensionWords32(layer);
    const bool verticesFit = vertexData.size() >= vertexBytes;
    if (verticesFit) {
        std::memcpy(mesh->vertices.get(), vertexData.data(), vertexBytes);
    }
    GetExtensionWords32(layer);
    const std::span<std::uint8_t> indexData = GetExtensionWords16(layer);
    const bool indicesFit = indexData.size() >= indexValues * 2;
    if (indicesFit) {
        std::memcpy(mesh->indices.get(), indexData.data(), indexValues * 2);
    }
    GetExtensionWords16(layer);
    if (!verticesFit || !indicesFit) {
        return nullptr;
    }

    const float* floats = mesh->vertices.get();
    const std::uint16_t* indices = mesh->indices.get();
    if (!std::all_of(floats, floats + std::size_t{vertexCount} * JewelMesh::kFloatsPerVertex,
                     [](float f) { return std::isfinite(f); }) ||
        std::any_of(indices, indices + indexValues,
                    [&](std::uint16_t i) { return i >= vertexCount; })) {
        return nullptr;
    }
    mesh->vertexCount = vertexCount;
    mesh->triangleCount = static_cast<std::uint16_t>(triangles);
    mesh->size = MeasureJewelMesh(*mesh);
    return mesh;
}

}  // namespace

HRESULT StoreTimbreMesh(CVendraLayer& layer, const JewelMesh& mesh) {
    const std::size_t vertexBytes = std::size_t{mesh.vertexCount} * JewelMesh::kBytesPerVertex;
    const std::size_t indexBytes = std::size_t{mesh.triangleCount} * kIndicesPerTriangle * 2;
    HRESULT hr = SetInt32(layer, kVertexCountTag, mesh.vertexCount);
    if (SUCCEEDED(hr)) {
        hr = MarkExtensionWords32(layer);
    }
    if (SUCCEEDED(hr)) {
        hr = SetExtensionWords32(
            layer, std::as_bytes(std::span(mesh.vertices.get(), vertexBytes / sizeof(float))));
    }
    if (SUCCEEDED(hr)) {
        hr = SetInt32(layer, kIndexCountTag, std::uint32_t{mesh.triangleCount} * kIndicesPerTriangle);
    }
    if (SUCCEEDED(hr)) {
        hr = SetExtensionWords16(layer, std::as_bytes(std::span(mesh.indices.get(),
                                                                indexBytes / sizeof(std::uint16_t))));
    }
    return hr;
}

HRESULT BuildTimbreTree(const Amplitudes& amplitudes, const JewelMesh& mesh, CVendra& tree) {
    CVendraLayer* layer = AddLayer(tree);
    if (!layer) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = SetBaseWords32(*layer, std::as_bytes(std::span(amplitudes)));
    return FAILED(hr) ? hr : StoreTimbreMesh(*layer, mesh);
}

HRESULT ReadTimbreTree(CVendra& tree, TimbreFileContent* content) {
    CVendraLayer* layer = FindLayer(tree, 0);
    CVendraElement* amplitudes = layer ? FindElement(*layer, kBaseWords32Tag) : nullptr;
    if (!amplitudes || amplitudes->m_length != kBaseWords32Length || !amplitudes->m_data) {
        return E_INVALIDARG;
    }
    const std::span<std::uint8_t> words = GetBaseWords32(*layer);
    std::memcpy(content->amplitudes, words.data(), sizeof content->amplitudes);
    GetBaseWords32(*layer);
    for (float& amplitude : content->amplitudes) {
        amplitude = Sanitised(amplitude);
    }
    content->mesh = ReadMesh(*layer);
    return S_OK;
}

HRESULT ReadTimbreFile(std::span<const std::uint8_t> bytes, CVendra& tree,
                       TimbreFileContent* content) {
    const HRESULT hr = ReadContainer(bytes, tree);
    return FAILED(hr) ? hr : ReadTimbreTree(tree, content);
}

HRESULT ReadTimbreFile(const std::filesystem::path& path, CVendra& tree,
                       TimbreFileContent* content) {
    const HRESULT hr = ReadContainer(path, tree);
    return FAILED(hr) ? hr : ReadTimbreTree(tree, content);
}

std::string NewTimbreFileName(std::time_t now, const std::function<bool(std::string_view)>& taken) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    std::string name = std::string(stamp) + ".tmbr";
    for (int suffix = 2; taken(name); ++suffix) {
        name = std::string(stamp) + "_" + std::to_string(suffix) + ".tmbr";
    }
    return name;
}

bool IsUsableTimbreFileName(std::string_view name) {
    constexpr std::size_t kShortestName = 6;
    // Characters, not bytes: a UTF-8 continuation byte never starts one.
    const auto characters = std::count_if(name.begin(), name.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    return static_cast<std::size_t>(characters) >= kShortestName;
}
