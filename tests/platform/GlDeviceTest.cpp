// The GL device against Direct3D 9 behaviour, read back from llvmpipe.

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/graphics/GraphicsFont.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;
using States = std::vector<std::pair<D3DRENDERSTATETYPE, std::uint32_t>>;

Image Filled(std::uint32_t width, std::uint32_t height, D3DCOLOR color) {
    return {width, height, std::vector<D3DCOLOR>(std::size_t{width} * height, color)};
}

void Paint(Image& image, const RECT& r, D3DCOLOR color) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::fill_n(image.pixels.begin() + y * image.width + r.left, r.right - r.left, color);
    }
}

// Each case clears the back buffer (which has depth) to a colour and depth, sets its states over
// the defaults and draws [0, 8) x [0, 8) at depth z, mirrored (anticlockwise on the screen) when
// asked; the square then holds `expected` and the rest the clear colour.
TEST_F(GlDeviceTest, RenderStatesGiveDirect3DPixels) {
    const States noDepthWrite = {{D3DRS_ZWRITEENABLE, 0}}, cullCw = {{D3DRS_CULLMODE, D3DCULL_CW}};
    const States add = {{D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_DESTBLEND, D3DBLEND_ONE}};
    const States mix = {{D3DRS_ALPHABLENDENABLE, 1},
                        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
    const D3DCOLOR white = 0xFFFFFFFFu, under = 0x40302010u;
    const struct {
        const char* name;
        States states;
        D3DCOLOR background;
        float clearZ, z;
        bool mirrored;
        D3DCOLOR diffuse, expected;
    } cases[] = {
        // Clear writes depth even with depth writes off; LESSEQUAL passes an equal depth, and
        // blending is off: the quad's alpha replaces the target's.
        {"farther", noDepthWrite, 0, 0.5f, 0.75f, false, 0xFF0000FFu, 0},
        {"equal", noDepthWrite, 0, 0.5f, 0.5f, false, 0x8000FF00u, 0x8000FF00u},
        {"nearer", noDepthWrite, 0, 0.5f, 0.25f, false, 0xFFFF0000u, 0xFFFF0000u},
        // Counter-clockwise triangles are culled by default, as seen on the screen (y down).
        {"ccw culling, clockwise", {}, 0, 1.0f, 0.5f, false, white, white},
        {"ccw culling, anticlockwise", {}, 0, 1.0f, 0.5f, true, white, 0},
        {"cw culling, clockwise", cullCw, 0, 1.0f, 0.5f, false, white, 0},
        {"cw culling, anticlockwise", cullCw, 0, 1.0f, 0.5f, true, white, white},
        {"no culling", {{D3DRS_CULLMODE, D3DCULL_NONE}}, 0, 1.0f, 0.5f, true, white, white},
        {"one, one: red saturates", add, under, 1.0f, 0.5f, false, 0x10F00102u, 0x50FF2112u},
        {"source alpha mix", mix, under, 1.0f, 0.5f, false, 0x80FF8000u, 0x60985008u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        States defaults;
        for (auto [state, value] : c.states) {
            defaults.emplace_back(state, 0);
            m_device->GetRenderState(state, &defaults.back().second);
            m_device->SetRenderState(state, value);
        }
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, c.background, c.clearZ, 0);
        DrawQuad(c.mirrored ? 8 : 0, 0, c.mirrored ? 0 : 8, 8, c.diffuse, c.z);
        Image expected = Filled(kWidth, kHeight, c.background);
        Paint(expected, {0, 0, 8, 8}, c.expected);
        EXPECT_TRUE(ImagesNear(expected, ReadBackBuffer(), 1));
        for (auto [state, value] : defaults) {
            m_device->SetRenderState(state, value);
        }
    }
}

// ColorFill, Clear and draws touch only their rectangles: Clear those within the viewport, both
// the scissor's. Setting a target sets the viewport to its size, and each target keeps its own.
TEST_F(GlDeviceTest, FillsClearsAndDrawsTouchOnlyTheirRectanglesAndTargets) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);  // the back buffer
    IGraphicsSurface* target = MakeTarget(kWidth, kHeight);
    Image expected = Filled(kWidth, kHeight, 0x11223344u);
    ASSERT_EQ(S_OK, m_device->ColorFill(target, nullptr, 0x11223344u));
    const RECT fill = {3, 5, 20, 9};
    ASSERT_EQ(S_OK, m_device->ColorFill(target, &fill, 0x80FF0001u));
    Paint(expected, fill, 0x80FF0001u);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    const D3DVIEWPORT9 viewport = {10, 20, 30, 12, 0.0f, 1.0f};
    ASSERT_EQ(S_OK, m_device->SetViewport(&viewport));
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0));
    Paint(expected, {10, 20, 40, 32}, 0xFF00FF00u);
    const RECT rects[2] = {{0, 0, 12, 22}, {38, 30, 50, 40}};
    ASSERT_EQ(S_OK, m_device->Clear(2, rects, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0));
    Paint(expected, {10, 20, 12, 22}, 0xFF0000FFu);
    Paint(expected, {38, 30, 40, 32}, 0xFF0000FFu);
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    const RECT scissor = {1, 1, kWidth - 1, kHeight - 1}, small = {4, 6, 9, 8};
    ASSERT_EQ(S_OK, m_device->SetScissorRect(&scissor));
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0));
    Paint(expected, scissor, 0xFFFFFFFFu);
    ASSERT_EQ(S_OK, m_device->SetScissorRect(&small));
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    DrawQuad(0, 0, kWidth, kHeight, 0xFF102030u);
    Paint(expected, small, 0xFF102030u);
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    // A smaller target: the viewport follows it, and the back buffer keeps its own picture.
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, MakeTarget(8, 6)));
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu, 1.0f, 0);
    EXPECT_TRUE(ImagesNear(Filled(kWidth, kHeight, 0xFF00FF00u), ReadBackBuffer(), 0));
}

// Each texture-stage operation against its formula on the processor: stage 0 combines a random
// texture with a diffuse colour; stage 1 blends a second texture over it with its premultiplied
// alpha and adds the alphas, as the palette's tiles do. The texture is filtered linearly, so a
// quad from (-0.5, -0.5) must sample every texel at its centre to give it back unblurred.
TEST_F(GlDeviceTest, TextureStageOperationsMatchTheirFormulas) {
    const Image first = RandomImage(16, 16, 21), second = RandomImage(16, 16, 22);
    IGraphicsSurface* target = MakeTarget(16, 16);
    m_device->SetRenderTarget(0, target);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    m_device->SetTexture(0, MakeTexture(first));
    m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    IGraphicsTexture* secondTexture = MakeTexture(second);
    const D3DCOLOR diffuse = 0xC05A19E3u;
    // Stage 0's alpha takes the other argument order, so both slots are exercised; stage 1 keeps
    // its default arguments (texture, current).
    m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    const std::tuple<const char*, D3DTEXTUREOP, std::function<float(float, float)>> cases[] = {
        {"select 1", D3DTOP_SELECTARG1, [](float t, float) { return t; }},
        {"select 2", D3DTOP_SELECTARG2, [](float, float d) { return d; }},
        {"modulate", D3DTOP_MODULATE, [](float t, float d) { return t * d; }},
        {"add", D3DTOP_ADD, [](float t, float d) { return std::min(1.0f, t + d); }},
        {"add smooth", D3DTOP_ADDSMOOTH, [](float t, float d) { return t + d - t * d; }},
    };
    for (const auto& [name, op, formula] : cases) {
        for (bool two : {false, true}) {
            SCOPED_TRACE(std::string(name) + (two ? ", two stages" : ", one stage"));
            m_device->SetTextureStageState(0, D3DTSS_COLOROP, op);
            m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, op);
            m_device->SetTexture(1, two ? secondTexture : nullptr);
            m_device->SetTextureStageState(1, D3DTSS_COLOROP,
                                           two ? D3DTOP_BLENDTEXTUREALPHAPM : D3DTOP_DISABLE);
            m_device->SetTextureStageState(1, D3DTSS_ALPHAOP, two ? D3DTOP_ADD : D3DTOP_DISABLE);
            DrawQuad(0, 0, 16, 16, diffuse);
            Image expected = Filled(16, 16, 0);
            for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
                float out[4];
                const float ta = Channel(second.pixels[i], 3);
                for (int ch = 0; ch < 4; ++ch) {
                    const float t = Channel(first.pixels[i], ch), d = Channel(diffuse, ch);
                    out[ch] = ch < 3 ? formula(t, d) : formula(d, t);
                    const float over =
                        ch < 3 ? Channel(second.pixels[i], ch) + out[ch] * (1 - ta) : ta + out[ch];
                    out[ch] = two ? std::min(1.0f, over) : out[ch];
                }
                expected.pixels[i] = Pack(out[3], out[2], out[1], out[0]);
            }
            EXPECT_TRUE(ImagesNear(expected, Read(target), 1));
        }
    }
}

// A bold 19-pixel "H" at (4, 3): its ink, in the text's colour alone, starts at the rectangle's
// left and sits inside the cell whose height DrawText gives; the device's states are left alone.
TEST_F(GlDeviceTest, TextIsDrawnInItsColourInItsCellAndLeavesStatesAlone) {
    IGraphicsFont* font = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateFont(m_device, 19, 700, false, "Arial", &font));
    m_owned.push_back(font);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    RECT rect = {4, 3, 60, 30}, ink = {kWidth, kHeight, 0, 0};
    const std::int32_t height =
        font->DrawText("H", -1, &rect, DT_LEFT | DT_TOP | DT_NOCLIP, 0xFFFF0000u);
    const Image drawn = ReadBackBuffer();
    for (std::int32_t i = 0; i < std::int32_t{kWidth * kHeight}; ++i) {
        const std::int32_t x = i % kWidth, y = i / kWidth;
        EXPECT_EQ(0u, drawn.pixels[i] & 0x0000FFFFu) << x << "," << y;
        if (drawn.pixels[i] != 0xFF000000u) {
            ink = {std::min(ink.left, x), std::min(ink.top, y), 0, std::max(ink.bottom, y + 1)};
        }
    }
    EXPECT_TRUE(height >= 17 && height <= 19 && ink.left >= 4 && ink.left <= 7 && ink.top >= 3 &&
                ink.bottom <= 3 + height && ink.bottom - ink.top > 10)
        << height << ": " << ink.left << " " << ink.top << " " << ink.bottom;
    std::uint32_t cull = 0, blend = 1;
    IGraphicsTexture* bound = nullptr;
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(std::tuple(std::uint32_t{D3DCULL_CW}, 0u, nullptr), std::tuple(cull, blend, bound));
}

}  // namespace
}  // namespace tovel_test
