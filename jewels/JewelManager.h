#pragma once
// The owner of the jewel library and of everything that draws jewels, one per program.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "graphics/Bloom.h"
#include "jewels/JewelMesh.h"
#include "jewels/JewelTask.h"
#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsEffect.h"

class CGraphics;

class CJewelManager {
public:
    static constexpr std::uint32_t kTaskCount = 50;  // columns that can rise at once
    // The glow of the columns is added three times as strongly as the scene's brightness.
    static constexpr float kMergeFactor = 3.0f;

    // The manager, created and initialised on the first call; a failed initialisation requests
    // the quit and leaves the manager in place.
    static CJewelManager* Instance();
    static void DeleteInstance();
    // Installs `manager` as the instance and hands back the previous one, which the caller then
    // owns: tests put in a manager that has a pool but no device.
    static CJewelManager* SetInstance(CJewelManager* manager);

    CJewelManager() = default;
    CJewelManager(const CJewelManager&) = delete;
    CJewelManager& operator=(const CJewelManager&) = delete;
    // Deletes the tasks and the mesh list, releases the shared buffers, the declaration and
    // the targets.
    virtual ~CJewelManager();

    // Library, buffers, the pool of tasks and the effect handles; the library from the given
    // folder, or when none is given from the "Jewels" folder the programs look for.
    HRESULT Initialise(const std::filesystem::path& folder = {});
    // The pool: kTaskCount tasks as large as the library. E_OUTOFMEMORY when they cannot be had.
    HRESULT CreateTasks();

    // A column at (x, y, z) in the colour (h, s, v); null when every column is in use. The
    // screen saver's columns may keep their colour (fading false).
    CJewelTask* SpawnColumn(float x, float y, float z, float h, float s, float v,
                            bool fading = true);
    bool HasActiveColumns() const { return m_activeTasks != nullptr; }

    // Advances every column by dt seconds, returns the finished ones to the pool, and draws the
    // rest into the scene target with their glow, added onto the current render target. The
    // camera (ViewProjection, CameraPosition) is the caller's.
    HRESULT UpdateAndRender(float dt);

    // The columns' view-projection, which the caller sets in the effect before each
    // UpdateAndRender: with it the glow is merged only where the columns can be; without it
    // (null) over the whole frame.
    void SetColumnCamera(const platform::D3DMATRIX* viewProjection);

    // One jewel of the library (position n) drawn with its glow into the caller's targets;
    // arrays A and B hold its placement and colour. Any of the first five may be null.
    HRESULT DrawKeyboardJewel(const platform::D3DMATRIX* viewProjection,
                              const platform::D3DMATRIX* rotation,
                              const platform::D3DVECTOR3* camera,
                              const platform::D3DVECTOR3* light,
                              const platform::D3DVIEWPORT9* viewport,
                              std::span<const platform::D3DVECTOR4> arrayA,
                              std::span<const platform::D3DVECTOR4> arrayB, std::uint32_t n,
                              platform::D3DXHANDLE technique, const BloomKernel& blurWeights,
                              platform::IGraphicsTexture* sceneTarget,
                              platform::IGraphicsTexture* bloomTarget1,
                              platform::IGraphicsTexture* bloomTarget2);

    // The meshes [start, start + n) of a palette's own list into target, with the
    // "PaletteJewel" technique; the caller restores its render target.
    HRESULT DrawPaletteJewels(platform::IGraphicsTexture* target,
                              platform::IGraphicsVertexBuffer* vertexBuffer,
                              platform::IGraphicsIndexBuffer* indexBuffer,
                              platform::IGraphicsVertexDeclaration* declaration,
                              const JewelMesh* meshes, const platform::D3DMATRIX* rotation,
                              const platform::D3DMATRIX* viewProjection,
                              std::span<const platform::D3DVECTOR4> arrayA,
                              std::span<const platform::D3DVECTOR4> arrayB, std::uint32_t start,
                              std::uint32_t n);

    // The targets follow the back buffer: released before a reset, made again after it.
    HRESULT OnLostDevice();
    HRESULT OnResetDevice();

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
    float m_meshRadius = 0.0f;      // the farthest any vertex lies from its mesh's origin
    JewelMeshList m_meshes;

    CJewelTask* m_activeTasks = nullptr;  // first of the active list, in spawn order
    // The pool as a stack: the next free task is m_freeTasks[m_takenCount]; null while active.
    std::array<CJewelTask*, kTaskCount> m_freeTasks{};
    std::int32_t m_takenCount = 0;
    platform::D3DXHANDLE m_hKeyboardColorJewel = nullptr;
    platform::D3DXHANDLE m_hKeyboardClearJewel = nullptr;
    platform::D3DXHANDLE m_hFloat4x32 = nullptr;
    platform::D3DXHANDLE m_hFloat4x32_2 = nullptr;
    platform::D3DXHANDLE m_hColor = nullptr;
    platform::D3DXHANDLE m_hRotation = nullptr;
    platform::D3DXHANDLE m_hIntConst = nullptr;
    platform::D3DXHANDLE m_hLightPosition = nullptr;
    platform::D3DXHANDLE m_hLightPower = nullptr;
    // Back-buffer sized, rounded down to multiples of 8, and two targets an eighth of that.
    platform::IGraphicsTexture* m_sceneTarget = nullptr;
    std::uint32_t m_targetWidth = 0;
    std::uint32_t m_targetHeight = 0;
    platform::IGraphicsTexture* m_bloomTargetA = nullptr;
    platform::IGraphicsTexture* m_bloomTargetB = nullptr;
    BloomKernel m_blurWeights{};

    // Looked up on first use and kept.
    platform::D3DXHANDLE m_hViewProjection = nullptr;
    platform::D3DXHANDLE m_hCameraPosition = nullptr;
    platform::D3DXHANDLE m_hPaletteJewel = nullptr;

private:
    HRESULT DrawColumns();
    // Where the active columns and their glow fall on the scene and glow targets.
    GlowRegions ColumnsRegions() const;
    void ReturnToPool(CJewelTask* task);

    bool m_hasColumnCamera = false;
    platform::D3DMATRIX m_columnViewProjection{};
    // Owns the pool's tasks wherever they are, in the pool or in the active list.
    std::array<std::unique_ptr<CJewelTask>, kTaskCount> m_tasks;
};
