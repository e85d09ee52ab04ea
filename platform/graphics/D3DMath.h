#pragma once
// The D3DX matrix builders the system uses, in their row-vector, left-handed form and with the
// same single-precision formulas, so a camera built here matches one built on Windows: a point p
// is transformed as p * M, and world * view * projection composes from the left.

#include <cstdint>

#include "platform/graphics/GraphicsTypes.h"

namespace platform {

D3DMATRIX* D3DXMatrixLookAtLH(D3DMATRIX* out, const D3DVECTOR3* eye, const D3DVECTOR3* at,
                              const D3DVECTOR3* up);
D3DMATRIX* D3DXMatrixPerspectiveFovLH(D3DMATRIX* out, float fovY, float aspect, float zNear,
                                      float zFar);
D3DMATRIX* D3DXMatrixOrthoLH(D3DMATRIX* out, float width, float height, float zNear, float zFar);
// out may be a or b.
D3DMATRIX* D3DXMatrixMultiply(D3DMATRIX* out, const D3DMATRIX* a, const D3DMATRIX* b);
// Roll about z first, then pitch about x, then yaw about y.
D3DMATRIX* D3DXMatrixRotationYawPitchRoll(D3DMATRIX* out, float yaw, float pitch, float roll);
D3DMATRIX* D3DXMatrixScaling(D3DMATRIX* out, float sx, float sy, float sz);
D3DMATRIX* D3DXMatrixIdentity(D3DMATRIX* out);
// Smallest and largest coordinates of `count` positions, `stride` bytes apart.
HRESULT D3DXComputeBoundingBox(const D3DVECTOR3* first, std::uint32_t count, std::uint32_t stride,
                               D3DVECTOR3* min, D3DVECTOR3* max);

}  // namespace platform
