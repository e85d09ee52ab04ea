#pragma once
// The keyboard's geometry: one flat hexagon per key on the ground plane, a fan of six triangles
// round its centre, in one managed vertex and one 16-bit index buffer, with texture coordinates
// that map the keyboard's rectangle onto the whole label texture.

#include <cstdint>
#include <span>

#include "platform/graphics/GraphicsDevice.h"

// Position (w: key index), normal (0, 1, 0), texture coordinate; 40 bytes.
struct KeyVertex {
    float x, y, z, key;
    float nx, ny, nz, unused;
    float u, v;
};
static_assert(sizeof(KeyVertex) == 40);

inline constexpr std::uint32_t kVerticesPerKey = 7;
inline constexpr std::uint32_t kIndicesPerKey = 18;

// The smallest and largest key-centre x and z, widened by one unit on every side.
struct KeyboardRectangle {
    float minX = 0, maxX = 0, minZ = 0, maxZ = 0;
    float width = 0, depth = 0;
};

KeyboardRectangle MeasureKeyboard(std::span<const platform::D3DVECTOR3> centres);

// Fills centres.size() * 7 vertices and * 18 indices.
void BuildKeyVertices(std::span<const platform::D3DVECTOR3> centres,
                      const KeyboardRectangle& rectangle, KeyVertex* vertices,
                      std::uint16_t* indices);

// The declaration and both buffers for the keys; on failure nothing is kept.
HRESULT CreateKeyMesh(platform::IGraphicsDevice* device,
                      std::span<const platform::D3DVECTOR3> centres,
                      platform::IGraphicsVertexBuffer** vertexBuffer,
                      platform::IGraphicsIndexBuffer** indexBuffer,
                      platform::IGraphicsVertexDeclaration** declaration,
                      KeyboardRectangle* rectangle);
