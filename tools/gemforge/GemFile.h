#pragma once
// Jewel files: a mesh as a container file, the way the jewel library reads it back.

#include <filesystem>

#include "platform/base/HResult.h"
#include "tools/gemforge/GemMesh.h"

// Layer 0 holds the vertex count (element 0x80) and index count (0x81) as 32-bit words; its
// extension holds the vertices (0x80, six floats each) and the 16-bit indices (0x81).
// E_INVALIDARG for a mesh whose counts a jewel file cannot index with 16 bits.
HRESULT WriteGem(const std::filesystem::path& path, const GemMesh& mesh);
