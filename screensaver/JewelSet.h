#pragma once
// A set of consecutive library meshes drawn by one call, each jewel placed and coloured by its
// own entry of two constant arrays, with the glow of the bloom chain: the screen saver's ring of
// twelve and the contact sheet of a whole jewel library.

#include <cstdint>
#include <span>

#include "platform/base/HResult.h"
#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsTypes.h"

class CJewelManager;

// Draws count library meshes from position first (fewer where the library ends) with the
// technique ("SeveralColorJewel" or "ClearJewel") into the manager's scene target, the mesh at
// first + i placed by positions[i] and coloured by colours[i] and all turned by rotation; then
// adds scene and glow onto the current render target with the merge factor. The camera and the
// light are the caller's; given the camera's view-projection, the glow is made and merged only
// where the jewels can be, which changes no pixel. Stops at the first failure, with the render
// target as it was.
HRESULT DrawJewelSet(CJewelManager& manager, platform::D3DXHANDLE technique,
                     const platform::D3DMATRIX& rotation,
                     std::span<const platform::D3DVECTOR4> positions,
                     std::span<const platform::D3DVECTOR4> colours, std::uint32_t first,
                     std::uint32_t count, float mergeFactor,
                     const platform::D3DMATRIX* viewProjection = nullptr);
