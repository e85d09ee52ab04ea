#include "graphics/ScreenRegion.h"

#include <algorithm>
#include <cmath>

using namespace platform;

namespace {

// Nearer than this to the eye's plane a point's projection is no longer meaningful.
constexpr float kMinimumDepth = 1e-4f;

}  // namespace

TextureRegion Union(const TextureRegion& a, const TextureRegion& b) {
    if (a.Empty()) {
        return b;
    }
    if (b.Empty()) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

TextureRegion Grow(const TextureRegion& region, float du, float dv) {
    return {region.left - du, region.top - dv, region.right + du, region.bottom + dv};
}

TextureRegion ProjectPoints(const D3DMATRIX& viewProjection, std::span<const D3DVECTOR3> points) {
    const auto& m = viewProjection.m;
    TextureRegion region{1.0f, 1.0f, 0.0f, 0.0f};
    bool first = true;
    for (const D3DVECTOR3& p : points) {
        const double x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
        const double y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
        const double w = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
        if (w < kMinimumDepth) {
            return TextureRegion::Whole();
        }
        // Clip space has +y at the top of the picture; texture rows run downwards.
        const auto u = static_cast<float>((x / w + 1.0) * 0.5);
        const auto v = static_cast<float>((1.0 - y / w) * 0.5);
        if (first) {
            region = {u, v, u, v};
            first = false;
        } else {
            region = {std::min(region.left, u), std::min(region.top, v),
                      std::max(region.right, u), std::max(region.bottom, v)};
        }
    }
    return region;
}

TextureRegion ProjectBox(const D3DMATRIX& viewProjection, const D3DVECTOR3& low,
                         const D3DVECTOR3& high) {
    D3DVECTOR3 corners[8];
    for (int i = 0; i < 8; ++i) {
        corners[i] = {(i & 1) ? high.x : low.x, (i & 2) ? high.y : low.y,
                      (i & 4) ? high.z : low.z};
    }
    return ProjectPoints(viewProjection, corners);
}

TextureRegion BlurReach(const TextureRegion& source, std::span<const D3DVECTOR4> taps,
                        float texelU, float texelV) {
    if (source.Empty() || taps.empty()) {
        return source;
    }
    float minX = taps[0].x, maxX = taps[0].x, minY = taps[0].y, maxY = taps[0].y;
    for (const D3DVECTOR4& tap : taps) {
        minX = std::min(minX, tap.x);
        maxX = std::max(maxX, tap.x);
        minY = std::min(minY, tap.y);
        maxY = std::max(maxY, tap.y);
    }
    // A texel at u reads the source at u + tap, so it can be lit where u + tap is.
    return Grow({source.left - maxX, source.top - maxY, source.right - minX, source.bottom - minY},
                texelU, texelV);
}

GlowRegions GlowChainRegions(const TextureRegion& drawn, std::uint32_t sceneWidth,
                             std::uint32_t sceneHeight, std::uint32_t glowWidth,
                             std::uint32_t glowHeight, std::span<const D3DVECTOR4> kernel) {
    if (drawn.Empty() || sceneWidth == 0 || sceneHeight == 0) {
        return {{}, {}, drawn};
    }
    // Texel centres the rasteriser may light lie within a texel of the drawn outline, and the
    // merge's filter reads one texel beyond those.
    const float sceneU = 1.0f / static_cast<float>(sceneWidth);
    const float sceneV = 1.0f / static_cast<float>(sceneHeight);
    const TextureRegion scene = Grow(drawn, 2.0f * sceneU, 2.0f * sceneV);
    if (kernel.empty() || glowWidth == 0 || glowHeight == 0) {
        return {{}, {}, scene};
    }
    // A bright-pass texel filters the scene texels next to its centre, so it lights only where
    // its texel reaches the lit scene; the merge's filter reads one glow texel further.
    const float glowU = 1.0f / static_cast<float>(glowWidth);
    const float glowV = 1.0f / static_cast<float>(glowHeight);
    const TextureRegion bright = Grow(scene, glowU, glowV);
    const TextureRegion blur = BlurReach(bright, kernel, glowU, glowV);
    return {bright, blur, Union(scene, Grow(blur, glowU, glowV))};
}

RECT TargetRect(const TextureRegion& region, std::uint32_t width, std::uint32_t height) {
    if (region.Empty()) {
        return {0, 0, 0, 0};
    }
    // A pixel's centre sits at (x + 0.5) / width.
    auto span = [](float from, float to, std::uint32_t size) {
        const double n = static_cast<double>(size);
        const double first = std::floor(static_cast<double>(from) * n - 0.5) - 1.0;
        const double last = std::ceil(static_cast<double>(to) * n - 0.5) + 2.0;
        return std::pair(static_cast<std::int32_t>(std::clamp(first, 0.0, n)),
                         static_cast<std::int32_t>(std::clamp(last, 0.0, n)));
    };
    const auto [left, right] = span(region.left, region.right, width);
    const auto [top, bottom] = span(region.top, region.bottom, height);
    if (right <= left || bottom <= top) {
        return {0, 0, 0, 0};
    }
    return {left, top, right, bottom};
}
