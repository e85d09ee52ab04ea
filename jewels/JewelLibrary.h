#pragma once
// The jewel library: up to 32 meshes read from the "Jewels" folder at start-up and packed into
// one shared vertex buffer and one shared 16-bit index buffer of the manager.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "jewels/JewelBuffers.h"
#include "platform/base/HResult.h"

class CJewelManager;

inline constexpr std::uint32_t kMaxJewelMeshes = 32;
// Indices are 16-bit, so the library holds fewer than this many vertices and indices.
inline constexpr std::uint32_t kJewelLibraryLimit = kJewelPackLimit;

// Finds the folder (beside the program or one or two folders up, else below the installation
// directory), loads its "*.gem" files in name order into manager's mesh list with their first
// vertex and first index in the shared buffers, and sets the totals and the count. A file that
// cannot be loaded is skipped with a line on the debug channel. A missing installation directory
// or folder, a folder that cannot be opened, that holds no "*.gem" or none that loads, and a
// library too big for 16-bit indices show a message saying what is missing and where, request
// the quit with kFailureExitCode, and fail with E_INVALIDARG. The current directory is the same
// afterwards, and on failure the manager is left as it was.
HRESULT LoadJewelLibrary(CJewelManager& manager, std::string_view folderName = "Jewels");
// The same from a folder the caller names (the contact sheet's), with the same messages.
HRESULT LoadJewelLibraryFrom(CJewelManager& manager, const std::filesystem::path& folder);

// Measures every mesh (its size and the library's m_averageSize) and makes the vertex
// declaration and the two managed buffers on manager.m_device (JewelBuffers.h). E_INVALIDARG for an empty library
// or totals that disagree with the list; a device failure is returned as it came, with nothing
// made kept. Buffers held before are released once the new ones are complete.
HRESULT BuildJewelBuffers(CJewelManager& manager);
