#pragma once
// The glow that every bright component shares. A user draws its scene into a full-size texture A,
// copies the parts with any alpha brightened into B (an eighth of A's size), blurs B with a
// 31-tap kernel into C of B's size and adds A and C onto the frame:
//
//   SaveRenderTarget(graphics);
//   ...draw the scene into A...
//   ColorFill(B, 0); ApplyBrightPass(graphics, B, A);
//   ColorFill(C, 0); ApplyBlur(graphics, C, B, kernel);
//   RestoreRenderTarget(graphics);
//   MergeRenderTargets(graphics, A, C, factor);
//
// The steps report nothing: the merge stops at its first failing step, the others go on past
// failures. Techniques and parameters are looked up on first use and kept; one that was not found
// is looked up again the next time.

#include <array>
#include <cstddef>

#include "graphics/Graphics.h"
#include "graphics/ScreenRegion.h"
#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsTypes.h"

// 31 taps of (x offset, y offset, weight, 0), offsets in texture coordinates; uploaded raw into
// the first 31 entries of Float4x32.
constexpr std::size_t kBloomKernelTaps = 31;
using BloomKernel = std::array<platform::D3DVECTOR4, kBloomKernelTaps>;
static_assert(sizeof(BloomKernel) == 496, "the blur reads the table as 31 packed float4");

// Holds the device's render target 0 in m_savedRenderTarget.
void SaveRenderTarget(CGraphics& graphics);
// Makes the held target render target 0 again; once that succeeded the reference is dropped.
void RestoreRenderTarget(CGraphics& graphics);
// One quad covering render target 0 exactly, texel centres on pixel centres, with the given
// texture coordinates at its corners; inside an effect pass.
void DrawScreenQuad(CGraphics& graphics, float uLeft, float vTop, float uRight, float vBottom);

// Into dest's interior, 1.5 times every texel of source that has any alpha, and 0 elsewhere; the
// outermost pixels of dest keep what they held. Given the region outside which the result is 0,
// only the pixels it covers are drawn: dest must already hold zeros elsewhere.
void ApplyBrightPass(CGraphics& graphics, platform::IGraphicsTexture* dest,
                     platform::IGraphicsTexture* source, const TextureRegion* region = nullptr);
// Adds source convolved with the kernel onto dest; given the region outside which the
// convolution is 0, only the pixels it covers.
void ApplyBlur(CGraphics& graphics, platform::IGraphicsTexture* dest,
               platform::IGraphicsTexture* source, const BloomKernel& kernel,
               const TextureRegion* region = nullptr);
// Adds scene and glow onto the current render target; alpha also gains factor times the scene's
// colour sum. Given the region outside which both are zero, only the pixels it covers are drawn,
// which changes no pixel and spares the rest of the frame; an empty region draws nothing.
void MergeRenderTargets(CGraphics& graphics, platform::IGraphicsTexture* scene,
                        platform::IGraphicsTexture* glow, float factor,
                        const TextureRegion* region = nullptr);

// A six-pointed star for a source of width x height texels: three lines at 60 degrees from
// `angle`, five taps each side of the centre, `length` texels apart, Gaussian in the tap index.
void BuildStarKernel(BloomKernel& table, int width, int height, float angle, float length,
                     float variance, float normaliser);
// A streak from the pixel towards larger v, one texel of a `size`-high source per tap.
void BuildStreakKernel(BloomKernel& table, int size, float variance, float normaliser);
