#include "keyboard/KeyMesh.h"

#include <algorithm>

#include "graphics/Targets.h"

using namespace platform;

namespace {

// A hexagon of circumradius 1 with its corners along +z and -z, centre first.
constexpr float kCorner = 0.866025f;
constexpr float kHexagon[kVerticesPerKey][2] = {
    {0.0f, 0.0f},  {0.0f, 1.0f},      {kCorner, 0.5f},  {kCorner, -0.5f},
    {0.0f, -1.0f}, {-kCorner, -0.5f}, {-kCorner, 0.5f},
};

}  // namespace

KeyboardRectangle MeasureKeyboard(std::span<const D3DVECTOR3> centres) {
    KeyboardRectangle r;
    if (centres.empty()) {
        return r;
    }
    float minX = centres[0].x, maxX = centres[0].x, minZ = centres[0].z, maxZ = centres[0].z;
    for (const D3DVECTOR3& c : centres) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minZ = std::min(minZ, c.z);
        maxZ = std::max(maxZ, c.z);
    }
    r.minX = minX - 1.0f;
    r.maxX = maxX + 1.0f;
    r.minZ = minZ - 1.0f;
    r.maxZ = maxZ + 1.0f;
    r.width = r.maxX - r.minX;
    r.depth = r.maxZ - r.minZ;
    return r;
}

void BuildKeyVertices(std::span<const D3DVECTOR3> centres, const KeyboardRectangle& rectangle,
                      KeyVertex* vertices, std::uint16_t* indices) {
    for (std::size_t i = 0; i < centres.size(); ++i) {
        KeyVertex* key = vertices + i * kVerticesPerKey;
        for (std::uint32_t k = 0; k < kVerticesPerKey; ++k) {
            const float x = centres[i].x + kHexagon[k][0];
            const float z = centres[i].z + kHexagon[k][1];
            key[k] = {x,
                      0.0f,
                      z,
                      static_cast<float>(i),
                      0.0f,
                      1.0f,
                      0.0f,
                      0.0f,
                      (x - rectangle.minX) / rectangle.width,
                      (rectangle.maxZ - z) / rectangle.depth};
        }
        const auto centre = static_cast<std::uint16_t>(i * kVerticesPerKey);
        std::uint16_t* fan = indices + i * kIndicesPerKey;
        for (std::uint16_t j = 1; j <= 6; ++j) {
            fan[(j - 1) * 3 + 0] = centre;
            fan[(j - 1) * 3 + 1] = static_cast<std::uint16_t>(centre + j);
            fan[(j - 1) * 3 + 2] = static_cast<std::uint16_t>(centre + (j == 6 ? 1 : j + 1));
        }
    }
}

HRESULT CreateKeyMesh(IGraphicsDevice* device, std::span<const D3DVECTOR3> centres,
                      IGraphicsVertexBuffer** vertexBuffer, IGraphicsIndexBuffer** indexBuffer,
                      IGraphicsVertexDeclaration** declaration, KeyboardRectangle* rectangle) {
    static constexpr D3DVERTEXELEMENT9 kElements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_NORMAL, 0},
        {0, 32, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END,
    };
    const auto vertexBytes =
        static_cast<std::uint32_t>(centres.size() * kVerticesPerKey * sizeof(KeyVertex));
    const auto indexBytes =
        static_cast<std::uint32_t>(centres.size() * kIndicesPerKey * sizeof(std::uint16_t));
    IGraphicsVertexDeclaration* decl = nullptr;
    IGraphicsVertexBuffer* vb = nullptr;
    IGraphicsIndexBuffer* ib = nullptr;
    HRESULT hr = device->CreateVertexDeclaration(kElements, &decl);
    if (SUCCEEDED(hr)) {
        hr = device->CreateVertexBuffer(vertexBytes, 0, D3DPOOL_MANAGED, &vb);
    }
    if (SUCCEEDED(hr)) {
        hr = device->CreateIndexBuffer(indexBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib);
    }
    void* vertices = nullptr;
    void* indices = nullptr;
    if (SUCCEEDED(hr)) {
        hr = vb->Lock(0, 0, &vertices);
    }
    if (SUCCEEDED(hr)) {
        hr = ib->Lock(0, 0, &indices);
        if (FAILED(hr)) {
            vb->Unlock();
        }
    }
    if (SUCCEEDED(hr)) {
        *rectangle = MeasureKeyboard(centres);
        BuildKeyVertices(centres, *rectangle, static_cast<KeyVertex*>(vertices),
                         static_cast<std::uint16_t*>(indices));
        hr = vb->Unlock();
        const HRESULT unlocked = ib->Unlock();
        hr = FAILED(hr) ? hr : unlocked;
    }
    if (FAILED(hr)) {
        ReleaseAndNull(decl);
        ReleaseAndNull(vb);
        ReleaseAndNull(ib);
        return hr;
    }
    *declaration = decl;
    *vertexBuffer = vb;
    *indexBuffer = ib;
    return S_OK;
}
