#include "jewels/JewelBuffers.h"

#include <cstring>

#include "graphics/Targets.h"

using namespace platform;

namespace {

constexpr std::uint32_t kFloatsPerGpuVertex = kJewelGpuVertexBytes / 4;
constexpr std::uint32_t kIndexBytes = 2;

HRESULT FillVertices(const JewelMesh* first, IGraphicsVertexBuffer* buffer) {
    void* data = nullptr;
    if (HRESULT hr = buffer->Lock(0, 0, &data); FAILED(hr)) {
        return hr;
    }
    auto* out = static_cast<std::uint8_t*>(data);
    std::uint32_t ordinal = 0;
    for (const JewelMesh* mesh = first; mesh; mesh = mesh->next, ++ordinal) {
        for (std::uint32_t v = 0; v < mesh->vertexCount; ++v) {
            const float* in = &mesh->vertices[std::size_t{v} * JewelMesh::kFloatsPerVertex];
            // The fourth position component picks the mesh's entry of the effect's per-mesh
            // arrays; the last float is unused and kept zero so the buffer's content is always
            // the same.
            const float gpu[kFloatsPerGpuVertex] = {in[0], in[1], in[2], static_cast<float>(ordinal),
                                                    in[3], in[4], in[5], 0.0f};
            std::memcpy(out, gpu, kJewelGpuVertexBytes);
            out += kJewelGpuVertexBytes;
        }
    }
    return buffer->Unlock();
}

HRESULT FillIndices(const JewelMesh* first, IGraphicsIndexBuffer* buffer) {
    void* data = nullptr;
    if (HRESULT hr = buffer->Lock(0, 0, &data); FAILED(hr)) {
        return hr;
    }
    auto* out = static_cast<std::uint8_t*>(data);
    for (const JewelMesh* mesh = first; mesh; mesh = mesh->next) {
        for (std::uint32_t i = 0; i < std::uint32_t{mesh->triangleCount} * 3; ++i) {
            const auto index = static_cast<std::uint16_t>(mesh->firstVertex + mesh->indices[i]);
            std::memcpy(out, &index, kIndexBytes);
            out += kIndexBytes;
        }
    }
    return buffer->Unlock();
}

}  // namespace

HRESULT CreateJewelDeclaration(IGraphicsDevice* device, IGraphicsVertexDeclaration** declaration) {
    static constexpr D3DVERTEXELEMENT9 kElements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END,
    };
    return device->CreateVertexDeclaration(kElements, declaration);
}

HRESULT PackJewelMeshes(IGraphicsDevice* device, JewelMesh* first,
                        IGraphicsVertexBuffer** vertexBuffer, IGraphicsIndexBuffer** indexBuffer) {
    std::uint32_t vertices = 0;
    std::uint32_t indices = 0;
    for (JewelMesh* mesh = first; mesh; mesh = mesh->next) {
        const std::uint32_t meshIndices = std::uint32_t{mesh->triangleCount} * 3;
        if (vertices + mesh->vertexCount >= kJewelPackLimit ||
            indices + meshIndices >= kJewelPackLimit) {
            return E_INVALIDARG;
        }
        mesh->firstVertex = vertices;
        mesh->firstIndex = static_cast<std::uint16_t>(indices);
        vertices += mesh->vertexCount;
        indices += meshIndices;
    }

    IGraphicsVertexBuffer* vb = nullptr;
    IGraphicsIndexBuffer* ib = nullptr;
    HRESULT hr = device->CreateVertexBuffer(vertices * kJewelGpuVertexBytes, 0, D3DPOOL_MANAGED, &vb);
    if (SUCCEEDED(hr)) {
        hr = device->CreateIndexBuffer(indices * kIndexBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       &ib);
    }
    if (SUCCEEDED(hr)) {
        hr = FillVertices(first, vb);
    }
    if (SUCCEEDED(hr)) {
        hr = FillIndices(first, ib);
    }
    if (FAILED(hr)) {
        ReleaseAndNull(vb);
        ReleaseAndNull(ib);
        return hr;
    }
    *vertexBuffer = vb;
    *indexBuffer = ib;
    return S_OK;
}
