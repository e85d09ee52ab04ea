#pragma once
// Meshes packed for drawing: a chain of meshes in one vertex buffer and one 16-bit index buffer,
// so that any run of consecutive meshes is one indexed draw and the effect can place each mesh
// of the run by its ordinal. The jewel library packs its meshes so, and each palette its own.

#include <cstdint>

#include "jewels/JewelMesh.h"
#include "platform/graphics/GraphicsDevice.h"

// Position x, y, z, the mesh's ordinal in its chain, normal x, y, z, one unused float.
inline constexpr std::uint32_t kJewelGpuVertexBytes = 32;
// Indices are 16-bit, so a packed chain holds fewer than this many vertices and indices.
inline constexpr std::uint32_t kJewelPackLimit = 65536;

// Stream 0: the position with the ordinal as its fourth component, then the normal.
HRESULT CreateJewelDeclaration(platform::IGraphicsDevice* device,
                               platform::IGraphicsVertexDeclaration** declaration);

// Gives every mesh of the chain from `first` its first vertex and first index (running sums in
// chain order) and makes two managed buffers holding the chain: each vertex as position,
// ordinal, normal; each index plus its mesh's first vertex. E_INVALIDARG when the chain holds
// kJewelPackLimit vertices or indices or more, since 16-bit indices would then draw other
// meshes' vertices; a device failure is returned as it came. The buffers are handed out only on
// success.
HRESULT PackJewelMeshes(platform::IGraphicsDevice* device, JewelMesh* first,
                        platform::IGraphicsVertexBuffer** vertexBuffer,
                        platform::IGraphicsIndexBuffer** indexBuffer);
