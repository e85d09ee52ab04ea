#include "tools/gemforge/GemFile.h"

#include <limits>
#include <span>
#include <vector>

#include "container/ContainerFile.h"
#include "container/Vendra.h"

namespace {

constexpr std::uint8_t kVertexCountTag = 0x80;
constexpr std::uint8_t kIndexCountTag = 0x81;

}  // namespace

HRESULT WriteGem(const std::filesystem::path& path, const GemMesh& mesh) {
    const std::vector<GemVertex> vertices = mesh.Vertices();
    const std::vector<std::uint16_t> indices = mesh.Indices();
    constexpr std::size_t kMaxCount = std::numeric_limits<std::uint16_t>::max();
    if (vertices.size() > kMaxCount || indices.size() > kMaxCount) {
        return E_INVALIDARG;
    }
    CVendra root;
    CVendraLayer* layer = AddLayer(root);
    if (!layer) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = SetInt32(*layer, kVertexCountTag, static_cast<std::uint32_t>(vertices.size()));
    if (SUCCEEDED(hr)) {
        hr = SetInt32(*layer, kIndexCountTag, static_cast<std::uint32_t>(indices.size()));
    }
    // The word stores turn the floats' bit patterns big-endian, as the reader expects.
    if (SUCCEEDED(hr)) {
        hr = SetExtensionWords32(*layer, std::as_bytes(std::span(vertices)));
    }
    if (SUCCEEDED(hr)) {
        hr = SetExtensionWords16(*layer, std::as_bytes(std::span(indices)));
    }
    if (SUCCEEDED(hr)) {
        hr = WriteContainer(path, root);
    }
    return hr;
}
