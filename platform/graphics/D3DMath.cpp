// D3DX matrix builders: see D3DMath.h. Written out rather than wrapped around glm's builders,
// whose column-vector forms round differently once transposed and composed.

#include "platform/graphics/D3DMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

D3DVECTOR3 Subtract(const D3DVECTOR3& a, const D3DVECTOR3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DVECTOR3 Cross(const D3DVECTOR3& a, const D3DVECTOR3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DVECTOR3& a, const D3DVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DVECTOR3 Normalize(const D3DVECTOR3& v) {
    const float length = std::sqrt(Dot(v, v));
    if (length == 0.0f) {
        return {0.0f, 0.0f, 0.0f};
    }
    return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

D3DMATRIX* D3DXMatrixIdentity(D3DMATRIX* out) {
    *out = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    return out;
}

D3DMATRIX* D3DXMatrixLookAtLH(D3DMATRIX* out, const D3DVECTOR3* eye, const D3DVECTOR3* at,
                              const D3DVECTOR3* up) {
    const D3DVECTOR3 z = Normalize(Subtract(*at, *eye));
    const D3DVECTOR3 x = Normalize(Cross(*up, z));
    const D3DVECTOR3 y = Cross(z, x);
    *out = {{{x.x, y.x, z.x, 0.0f},
             {x.y, y.y, z.y, 0.0f},
             {x.z, y.z, z.z, 0.0f},
             {-Dot(x, *eye), -Dot(y, *eye), -Dot(z, *eye), 1.0f}}};
    return out;
}

D3DMATRIX* D3DXMatrixPerspectiveFovLH(D3DMATRIX* out, float fovY, float aspect, float zNear,
                                      float zFar) {
    const float yScale = 1.0f / std::tan(fovY / 2.0f);
    const float xScale = yScale / aspect;
    const float depth = zFar / (zFar - zNear);
    *out = {{{xScale, 0, 0, 0}, {0, yScale, 0, 0}, {0, 0, depth, 1}, {0, 0, -zNear * depth, 0}}};
    return out;
}

D3DMATRIX* D3DXMatrixOrthoLH(D3DMATRIX* out, float width, float height, float zNear, float zFar) {
    *out = {{{2.0f / width, 0, 0, 0},
             {0, 2.0f / height, 0, 0},
             {0, 0, 1.0f / (zFar - zNear), 0},
             {0, 0, zNear / (zNear - zFar), 1}}};
    return out;
}

D3DMATRIX* D3DXMatrixMultiply(D3DMATRIX* out, const D3DMATRIX* a, const D3DMATRIX* b) {
    D3DMATRIX product;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            product.m[row][column] =
                a->m[row][0] * b->m[0][column] + a->m[row][1] * b->m[1][column] +
                a->m[row][2] * b->m[2][column] + a->m[row][3] * b->m[3][column];
        }
    }
    *out = product;
    return out;
}

D3DMATRIX* D3DXMatrixRotationYawPitchRoll(D3DMATRIX* out, float yaw, float pitch, float roll) {
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    const float sr = std::sin(roll), cr = std::cos(roll);
    *out = {{{cr * cy + sr * sp * sy, sr * cp, sr * sp * cy - cr * sy, 0.0f},
             {cr * sp * sy - sr * cy, cr * cp, sr * sy + cr * sp * cy, 0.0f},
             {cp * sy, -sp, cp * cy, 0.0f},
             {0.0f, 0.0f, 0.0f, 1.0f}}};
    return out;
}

D3DMATRIX* D3DXMatrixScaling(D3DMATRIX* out, float sx, float sy, float sz) {
    *out = {{{sx, 0, 0, 0}, {0, sy, 0, 0}, {0, 0, sz, 0}, {0, 0, 0, 1}}};
    return out;
}

HRESULT D3DXComputeBoundingBox(const D3DVECTOR3* first, std::uint32_t count, std::uint32_t stride,
                               D3DVECTOR3* min, D3DVECTOR3* max) {
    if (!first || !min || !max || count == 0 || stride < sizeof(D3DVECTOR3)) {
        return D3DERR_INVALIDCALL;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(first);
    D3DVECTOR3 lo, hi;
    std::memcpy(&lo, bytes, sizeof lo);
    hi = lo;
    for (std::uint32_t i = 1; i < count; ++i) {
        D3DVECTOR3 p;
        std::memcpy(&p, bytes + static_cast<std::size_t>(i) * stride, sizeof p);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    *min = lo;
    *max = hi;
    return D3D_OK;
}

}  // namespace platform
