#pragma once
// Jewel shapes: small triangle meshes, chained in drawing order, and the operations that read one
// from a jewel file, copy one, and measure runs of them for drawing.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "platform/base/HResult.h"

struct JewelMesh {
    static constexpr std::uint32_t kFloatsPerVertex = 6;  // position x, y, z, normal x, y, z
    static constexpr std::uint32_t kBytesPerVertex = kFloatsPerVertex * 4;

    JewelMesh() = default;
    JewelMesh(const JewelMesh&) = delete;
    JewelMesh& operator=(const JewelMesh&) = delete;

    std::uint32_t vertexCount = 0;
    std::uint32_t firstVertex = 0;    // in the library: vertices of all meshes before this one
    std::uint16_t firstIndex = 0;     // in the library: indices of all meshes before this one
    std::uint16_t triangleCount = 0;
    std::unique_ptr<float[]> vertices;          // vertexCount * 6 floats, host order
    std::unique_ptr<std::uint16_t[]> indices;   // triangleCount * 3, relative to this mesh
    float size = 0.0f;                          // mean half extent
    // The next mesh of the chain it is drawn in, not owned: the library's meshes belong to their
    // JewelMeshList, a palette's each to its entry.
    JewelMesh* next = nullptr;
};

// The jewel library's meshes: owns every mesh of the chain it holds and frees them from the head,
// one at a time, so that a long chain cannot exhaust the stack.
class JewelMeshList {
public:
    JewelMeshList() = default;
    JewelMeshList(const JewelMeshList&) = delete;
    JewelMeshList& operator=(const JewelMeshList&) = delete;
    JewelMeshList(JewelMeshList&& other) noexcept;
    JewelMeshList& operator=(JewelMeshList&& other) noexcept;
    ~JewelMeshList() { reset(); }

    JewelMesh* get() const { return m_head; }
    JewelMesh& operator*() const { return *m_head; }
    JewelMesh* operator->() const { return m_head; }
    explicit operator bool() const { return m_head != nullptr; }
    friend bool operator==(const JewelMeshList& list, std::nullptr_t) { return !list.m_head; }

    // Frees every mesh of the chain and holds none.
    void reset();
    // Takes the mesh and links it after the last one.
    void Append(std::unique_ptr<JewelMesh> mesh);

private:
    JewelMesh* m_head = nullptr;
    JewelMesh* m_tail = nullptr;
};

// Reads a jewel file's bytes into mesh: S_OK, or E_INVALIDARG for bytes that are not a complete
// jewel (not a container, no layer 0, a count or its data missing, counts beyond the data, more
// than 16-bit indices can address, no whole triangle, an index outside the mesh, a position that
// is not a finite number), with the mesh left empty. E_OUTOFMEMORY when the buffers cannot be had.
HRESULT LoadGem(std::span<const std::uint8_t> bytes, JewelMesh& mesh);
// The same for the file at name; a file that cannot be read is E_INVALIDARG too.
HRESULT LoadGem(const std::filesystem::path& name, JewelMesh& mesh);

// Gives destination fresh copies of source's shape (counts, size, both buffers), freeing what it
// held; its place in a list is left alone. False when memory runs out, with destination empty.
bool CopyJewelMesh(JewelMesh& destination, const JewelMesh& source);

// ((max x - min x) + (max y - min y) + (max z - min z)) / 6 over the mesh's positions.
float MeasureJewelMesh(const JewelMesh& mesh);

// The arguments of one indexed draw over the shared buffers for a run of meshes.
struct MeshRange {
    std::uint32_t firstVertex = 0;
    std::uint32_t firstIndex = 0;
    std::uint32_t vertexTotal = 0;
    std::uint32_t triangleTotal = 0;
};

// Walks start links from first, then sums at most count meshes from there, stopping at the end
// of the list; returns how many it summed (0 when start runs past the end).
std::uint32_t GetMeshRange(const JewelMesh* first, std::uint32_t start, std::uint32_t count,
                           MeshRange* range);
