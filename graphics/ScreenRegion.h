#pragma once
// Where a glow pass's textures can hold anything but zero, in texture coordinates (0..1, v down,
// as the screen quad maps them onto its target). The merge adds its sources onto the frame, so
// it only needs to run where they can be non-zero; each step of the glow chain widens the region
// by what it reads around a texel.

#include <cstdint>
#include <span>

#include "platform/graphics/GraphicsTypes.h"

struct TextureRegion {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;

    static TextureRegion Whole() { return {0.0f, 0.0f, 1.0f, 1.0f}; }
    bool Empty() const { return right <= left || bottom <= top; }
};

// The smallest region holding both.
TextureRegion Union(const TextureRegion& a, const TextureRegion& b);

// Widened by du and dv on every side.
TextureRegion Grow(const TextureRegion& region, float du, float dv);

// Where the points fall on a target drawn with the view-projection (row vectors, v·M). A point
// at or behind the eye has no place on the target, so the whole target is returned.
TextureRegion ProjectPoints(const platform::D3DMATRIX& viewProjection,
                            std::span<const platform::D3DVECTOR3> points);

// The eight corners of the box from low to high, projected.
TextureRegion ProjectBox(const platform::D3DMATRIX& viewProjection, const platform::D3DVECTOR3& low,
                         const platform::D3DVECTOR3& high);

// Where a blur with these taps (texture-coordinate offsets in x and y) can write, given where its
// source can be non-zero: every tap shifts the source the other way, and the bilinear filter
// reads one texel of the source (texelU x texelV) further.
TextureRegion BlurReach(const TextureRegion& source, std::span<const platform::D3DVECTOR4> taps,
                        float texelU, float texelV);

// Where each step of a glow chain can write anything, given where its scene can be drawn
// (sceneWidth x sceneHeight texels): the bright pass and the blur into their glowWidth x
// glowHeight targets, with a kernel, and the merge of scene and glow (the scene alone without
// one).
struct GlowRegions {
    TextureRegion bright, blur, merge;
};
GlowRegions GlowChainRegions(const TextureRegion& drawn, std::uint32_t sceneWidth,
                             std::uint32_t sceneHeight, std::uint32_t glowWidth,
                             std::uint32_t glowHeight,
                             std::span<const platform::D3DVECTOR4> kernel);

// The pixels of a width x height target whose centres the region covers, widened by one pixel for
// the rasteriser's rounding and clamped to the target; empty when the region is.
platform::RECT TargetRect(const TextureRegion& region, std::uint32_t width, std::uint32_t height);
