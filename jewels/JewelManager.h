#pragma once
// The owner of the jewel library and of everything that draws jewels, one per program.

#include <cstdint>
#include <memory>

#include "jewels/JewelMesh.h"
#include "platform/GraphicsDevice.h"
#include "platform/GraphicsEffect.h"

class CGraphics;

class CJewelManager {
public:
    CJewelManager() = default;
    CJewelManager(const CJewelManager&) = delete;
    CJewelManager& operator=(const CJewelManager&) = delete;
    // Deletes the mesh list and releases the shared buffers and the declaration.
    virtual ~CJewelManager();

    CGraphics* m_graphics = nullptr;                // not owned
    platform::IGraphicsDevice* m_device = nullptr;  // not owned: the device of m_graphics
    platform::IGraphicsEffect* m_effect = nullptr;  // not owned: the effect of m_graphics

    // The library: every mesh in one shared vertex and one shared 16-bit index buffer, in load
    // order, so that a run of consecutive meshes is one indexed draw (JewelLibrary.h).
    platform::IGraphicsVertexBuffer* m_vertexBuffer = nullptr;  // m_totalVertices * 32 bytes
    platform::IGraphicsIndexBuffer* m_indexBuffer = nullptr;    // 3 * m_totalTriangles indices
    platform::IGraphicsVertexDeclaration* m_vertexDecl = nullptr;
    std::uint32_t m_totalVertices = 0;
    std::uint32_t m_totalTriangles = 0;
    std::uint32_t m_meshCount = 0;  // 0..kMaxJewelMeshes
    float m_averageSize = 0.0f;     // mean of the meshes' size
    std::unique_ptr<JewelMesh> m_meshes;

    // The instance fields follow: the pool of jewel columns and the drawing state.
};
