// The GL device against Direct3D 9 behaviour, on llvmpipe, by reading pixels back.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <SDL.h>
#include <unistd.h>

#include "platform/graphics/GraphicsSystem.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

Image Filled(std::uint32_t width, std::uint32_t height, D3DCOLOR color) {
    return {width, height, std::vector<D3DCOLOR>(static_cast<std::size_t>(width) * height, color)};
}

// Paints [left, right) x [top, bottom) of image with color.
void Paint(Image& image, std::int32_t left, std::int32_t top, std::int32_t right,
           std::int32_t bottom, D3DCOLOR color) {
    for (std::int32_t y = top; y < bottom; ++y) {
        for (std::int32_t x = left; x < right; ++x) {
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = color;
        }
    }
}

TEST_F(GlDeviceTest, StartsWithDirect3DDefaultStates) {
    enum Kind { Render, Sampler, Stage };
    struct Default {
        Kind kind;
        std::uint32_t stage, state, expected;
    };
    // clang-format off
    const Default defaults[] = {
        {Render, 0, D3DRS_ZENABLE, 1}, {Render, 0, D3DRS_ZWRITEENABLE, 1},
        {Render, 0, D3DRS_ZFUNC, D3DCMP_LESSEQUAL}, {Render, 0, D3DRS_ALPHABLENDENABLE, 0},
        {Render, 0, D3DRS_SRCBLEND, D3DBLEND_ONE}, {Render, 0, D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {Render, 0, D3DRS_BLENDOP, D3DBLENDOP_ADD}, {Render, 0, D3DRS_CULLMODE, D3DCULL_CCW},
        {Render, 0, D3DRS_SCISSORTESTENABLE, 0}, {Render, 0, D3DRS_ALPHATESTENABLE, 0},
        {Sampler, 0, D3DSAMP_MINFILTER, D3DTEXF_POINT}, {Sampler, 1, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
        {Stage, 0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {Stage, 0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {Stage, 1, D3DTSS_COLOROP, D3DTOP_DISABLE}};
    // clang-format on
    for (const Default& d : defaults) {
        std::uint32_t value = 0xDEADu;
        const HRESULT hr =
            d.kind == Render ? m_device->GetRenderState(D3DRENDERSTATETYPE(d.state), &value)
            : d.kind == Sampler
                ? m_device->GetSamplerState(d.stage, D3DSAMPLERSTATETYPE(d.state), &value)
                : m_device->GetTextureStageState(d.stage, D3DTEXTURESTAGESTATETYPE(d.state),
                                                 &value);
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(d.expected, value)
            << "kind " << d.kind << " stage " << d.stage << " state " << d.state;
    }
    D3DVIEWPORT9 viewport{};
    EXPECT_EQ(S_OK, m_device->GetViewport(&viewport));
    EXPECT_EQ(kWidth, viewport.Width);
    EXPECT_EQ(kHeight, viewport.Height);
    EXPECT_EQ(0.0f, viewport.MinZ);
    EXPECT_EQ(1.0f, viewport.MaxZ);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderState(D3DRENDERSTATETYPE(8), 1));
}

// The depth test, on by default with LESSEQUAL, against a depth that Clear writes even with
// depth writes off; and the default blending (ONE, ZERO): a nearer quad replaces, a farther one
// does not, an equal one does.
TEST_F(GlDeviceTest, ClearedDepthKeepsNearerPixels) {
    m_device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 0.5f, 0));
    DrawQuad(0, 0, 16, 16, 0xFF0000FFu, 0.75f);  // behind: rejected
    DrawQuad(16, 0, 32, 16, 0x8000FF00u, 0.5f);  // equal: LESSEQUAL passes
    DrawQuad(32, 0, 48, 16, 0xFFFF0000u, 0.25f);
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&back));
    Image expected = Filled(kWidth, kHeight, 0);
    Paint(expected, 16, 0, 32, 16, 0x8000FF00u);
    Paint(expected, 32, 0, 48, 16, 0xFFFF0000u);
    EXPECT_TRUE(ImagesNear(expected, Read(back), 0));
    back->Release();
}

// The half-pixel convention: a quad from (-0.5, -0.5) to (W - 0.5, H - 0.5) covers the target
// exactly and, even with linear filtering, samples every texel at its centre.
TEST_F(GlDeviceTest, ScreenQuadCopiesTextureTexelForPixel) {
    for (std::uint32_t filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        SCOPED_TRACE(filter == D3DTEXF_POINT ? "point" : "linear");
        const Image source = RandomImage(37, 23, 7);
        IGraphicsSurface* target = MakeTarget(source.width, source.height);
        ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
        ASSERT_EQ(S_OK, m_device->ColorFill(target, nullptr, 0x12345678u));
        ASSERT_EQ(S_OK, m_device->SetTexture(0, MakeTexture(source)));
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        m_device->SetRenderState(D3DRS_ZENABLE, 0);
        DrawQuad(0, 0, static_cast<float>(source.width), static_cast<float>(source.height),
                 0xFFFFFFFFu);
        EXPECT_TRUE(ImagesNear(source, Read(target), 0));
        m_device->SetTexture(0, nullptr);
    }
}

// A loss as the driver reports one: the old context is destroyed at the reset and a new one made,
// and a managed texture filled before the loss draws the same picture in it, with the device's
// memory as it was.
TEST_F(GlDeviceTest, AResetAfterALossMakesANewContextAndBringsBackManagedTextures) {
    const Image source = RandomImage(kWidth, kHeight, 11);
    IGraphicsTexture* texture = MakeTexture(source);
    const DeviceResourceStatistics before = m_device->GetResourceStatistics();
    const SDL_GLContext oldContext = SDL_GL_GetCurrentContext();
    // A loss taken back needs no reset and keeps the context.
    m_device->SimulateDeviceLoss(DeviceLossTest::Lost);
    m_device->SimulateDeviceLoss(DeviceLossTest::None);
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3D_OK, m_device->Present());
    EXPECT_EQ(oldContext, SDL_GL_GetCurrentContext());

    m_device->SimulateDeviceLoss(DeviceLossTest::Lost);
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Reset(0, 0)) << "not while the driver resets";
    m_device->SimulateDeviceLoss(DeviceLossTest::NotReset);
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Present());
    ASSERT_EQ(D3D_OK, m_device->Reset(0, 0));
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    EXPECT_NE(oldContext, SDL_GL_GetCurrentContext());

    IGraphicsSurface* target = MakeTarget(kWidth, kHeight);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    m_device->SetTexture(0, texture);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    DrawQuad(0, 0, kWidth, kHeight, 0xFFFFFFFFu);
    EXPECT_TRUE(ImagesNear(source, Read(target), 0));
    m_device->SetTexture(0, nullptr);
    const DeviceResourceStatistics after = m_device->GetResourceStatistics();
    EXPECT_EQ(before.bytes + kWidth * kHeight * 4, after.bytes) << "the new target only";
    EXPECT_EQ(before.live + 1, after.live) << "the new target only";
}

// Row 0 of a target is the top: a texture's first row lands in the back buffer's first row. The
// snapshot of the presented picture is taken at the frame asked for and not before.
TEST_F(GlDeviceTest, RowZeroIsTheTopAndTheSnapshotWaitsForItsFrame) {
    m_device->Release();
    m_device = nullptr;
    const std::string path = ::testing::TempDir() + "tovel_snapshot_test_" + std::to_string(::getpid()) + ".png";
    std::filesystem::remove(path);
    {
        ScopedEnvironment snapshot("TOVEL_SNAPSHOT", path.c_str());
        ScopedEnvironment frame("TOVEL_SNAPSHOT_FRAME", "2");
        ASSERT_EQ(S_OK, CreateHiddenGlDevice(kWidth, kHeight, &m_device));
    }

    Image source = RandomImage(kWidth, kHeight, 11);
    Paint(source, 0, 0, static_cast<std::int32_t>(kWidth), 4, 0xFFFF0000u);  // a red top band
    m_device->SetTexture(0, MakeTexture(source));
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    ASSERT_EQ(S_OK, m_device->BeginScene());
    DrawQuad(0, 0, kWidth, kHeight, 0xFFFFFFFFu);
    ASSERT_EQ(S_OK, m_device->EndScene());
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&back));
    const Image drawn = Read(back);
    back->Release();
    EXPECT_TRUE(ImagesNear(source, drawn, 0));
    EXPECT_EQ(0xFFFF0000u, drawn.At(5, 0));

    ASSERT_EQ(S_OK, m_device->Present());
    EXPECT_FALSE(std::filesystem::exists(path)) << "the snapshot belongs to the second Present";
    ASSERT_EQ(S_OK, m_device->Present());
    EXPECT_TRUE(std::filesystem::exists(path));
    std::filesystem::remove(path);
}

TEST_F(GlDeviceTest, ColorFillClearViewportAndScissorTouchOnlyTheirRectangles) {
    IGraphicsSurface* target = MakeTarget(kWidth, kHeight);
    Image expected = Filled(kWidth, kHeight, 0x11223344u);
    ASSERT_EQ(S_OK, m_device->ColorFill(target, nullptr, 0x11223344u));
    const RECT fill = {3, 5, 20, 9};
    ASSERT_EQ(S_OK, m_device->ColorFill(target, &fill, 0x80FF0001u));
    Paint(expected, 3, 5, 20, 9, 0x80FF0001u);
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));
    const RECT outside = {60, 0, 65, 4};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->ColorFill(target, &outside, 0));

    // Clear honours the viewport, then the rectangles within it.
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    const D3DVIEWPORT9 viewport = {10, 20, 30, 12, 0.0f, 1.0f};
    ASSERT_EQ(S_OK, m_device->SetViewport(&viewport));
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0));
    Paint(expected, 10, 20, 40, 32, 0xFF00FF00u);
    const RECT rects[2] = {{0, 0, 12, 22}, {38, 30, 50, 40}};
    ASSERT_EQ(S_OK, m_device->Clear(2, rects, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0));
    Paint(expected, 10, 20, 12, 22, 0xFF0000FFu);
    Paint(expected, 38, 30, 40, 32, 0xFF0000FFu);
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));

    // The scissor test limits both clears and draws; switching the target resets the viewport.
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, target));
    const RECT scissor = {1, 1, kWidth - 1, kHeight - 1};
    ASSERT_EQ(S_OK, m_device->SetScissorRect(&scissor));
    m_device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    ASSERT_EQ(S_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0));
    Paint(expected, 1, 1, kWidth - 1, kHeight - 1, 0xFFFFFFFFu);
    const RECT small = {4, 6, 9, 8};
    ASSERT_EQ(S_OK, m_device->SetScissorRect(&small));
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    DrawQuad(0, 0, kWidth, kHeight, 0xFF102030u);
    Paint(expected, 4, 6, 9, 8, 0xFF102030u);
    EXPECT_TRUE(ImagesNear(expected, Read(target), 0));
    RECT current{};
    ASSERT_EQ(S_OK, m_device->GetScissorRect(&current));
    EXPECT_EQ(small.right, current.right);
}

// Direct3D culls counter-clockwise triangles by default, as seen on the screen (y down).
TEST_F(GlDeviceTest, CullModesFollowScreenWinding) {
    const TexturedVertex clockwise[3] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0, 0},
                                         {63.5f, -0.5f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0, 0},
                                         {-0.5f, 47.5f, 0.5f, 1, 0xFFFFFFFFu, 0, 0, 0, 0}};
    const TexturedVertex anticlockwise[3] = {clockwise[0], clockwise[2], clockwise[1]};
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&back));
    m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    // Which of clockwise, anticlockwise each mode draws.
    for (auto [cull, drawn] :
         {std::pair{D3DCULL_CCW, "10"}, {D3DCULL_CW, "01"}, {D3DCULL_NONE, "11"}}) {
        m_device->SetRenderState(D3DRS_CULLMODE, cull);
        for (int which : {0, 1}) {
            m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, which ? anticlockwise : clockwise,
                                      sizeof(TexturedVertex));
            EXPECT_EQ(drawn[which] == '1', Read(back).At(2, 2) != 0)
                << "cull " << cull << (which ? " anticlockwise" : " clockwise");
        }
    }
    back->Release();
}

TEST_F(GlDeviceTest, BlendingAddsAndMixesLikeDirect3D) {
    IGraphicsSurface* target = MakeTarget(8, 8);
    m_device->SetRenderTarget(0, target);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    m_device->ColorFill(target, nullptr, 0x40302010u);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    DrawQuad(0, 0, 8, 4, 0x10F00102u);
    m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawQuad(0, 4, 8, 8, 0x80FF8000u);
    Image expected = Filled(8, 8, 0);
    Paint(expected, 0, 0, 8, 4, 0x50FF2112u);  // red saturates
    const float a = 128.0f / 255.0f;
    const D3DCOLOR dst = 0x40302010u, src = 0x80FF8000u;
    auto mix = [&](int channel) {
        return Channel(src, channel) * a + Channel(dst, channel) * (1.0f - a);
    };
    Paint(expected, 0, 4, 8, 8, Pack(mix(3), mix(2), mix(1), mix(0)));
    EXPECT_TRUE(ImagesNear(expected, Read(target), 1));
}

// Each texture-stage operation against its formula on the processor: stage 0 combines a random
// texture with a random diffuse colour per quad; stage 1 blends a second texture over it with
// its premultiplied alpha and adds the alphas, as the palette's tiles do.
TEST_F(GlDeviceTest, TextureStageOperationsMatchTheirFormulas) {
    const Image first = RandomImage(16, 16, 21), second = RandomImage(16, 16, 22);
    IGraphicsSurface* target = MakeTarget(16, 16);
    m_device->SetRenderTarget(0, target);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    m_device->SetTexture(0, MakeTexture(first));
    IGraphicsTexture* secondTexture = MakeTexture(second);
    const D3DCOLOR diffuse = 0xC05A19E3u;
    using Formula = std::function<float(float, float)>;
    struct Case {
        const char* name;
        D3DTEXTUREOP op;
        Formula formula;
    };
    // Alpha takes the other argument order, so both argument slots are exercised.
    for (auto [state, arg] : {std::pair{D3DTSS_COLORARG1, D3DTA_TEXTURE},
                              {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                              {D3DTSS_ALPHAARG1, D3DTA_DIFFUSE},
                              {D3DTSS_ALPHAARG2, D3DTA_TEXTURE}}) {
        m_device->SetTextureStageState(0, state, arg);
    }
    for (auto [state, arg] : {std::pair{D3DTSS_COLORARG1, D3DTA_TEXTURE},
                              {D3DTSS_COLORARG2, D3DTA_CURRENT},
                              {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
                              {D3DTSS_ALPHAARG2, D3DTA_CURRENT}}) {
        m_device->SetTextureStageState(1, state, arg);
    }
    const Case cases[] = {
        {"select 1", D3DTOP_SELECTARG1, [](float t, float) { return t; }},
        {"select 2", D3DTOP_SELECTARG2, [](float, float d) { return d; }},
        {"modulate", D3DTOP_MODULATE, [](float t, float d) { return t * d; }},
        {"add", D3DTOP_ADD, [](float t, float d) { return std::min(1.0f, t + d); }},
        {"add smooth", D3DTOP_ADDSMOOTH, [](float t, float d) { return t + d - t * d; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int stages = 1; stages <= 2; ++stages) {
            m_device->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
            m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.op);
            m_device->SetTexture(1, stages == 2 ? secondTexture : nullptr);
            m_device->SetTextureStageState(
                1, D3DTSS_COLOROP, stages == 2 ? D3DTOP_BLENDTEXTUREALPHAPM : D3DTOP_DISABLE);
            m_device->SetTextureStageState(1, D3DTSS_ALPHAOP,
                                           stages == 2 ? D3DTOP_ADD : D3DTOP_DISABLE);
            DrawQuad(0, 0, 16, 16, diffuse);

            Image expected = Filled(16, 16, 0);
            for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
                float out[4];
                for (int ch = 0; ch < 3; ++ch) {
                    out[ch] = c.formula(Channel(first.pixels[i], ch), Channel(diffuse, ch));
                }
                out[3] = c.formula(Channel(diffuse, 3), Channel(first.pixels[i], 3));
                if (stages == 2) {
                    const float ta = Channel(second.pixels[i], 3);
                    for (int ch = 0; ch < 3; ++ch) {
                        out[ch] =
                            std::min(1.0f, Channel(second.pixels[i], ch) + out[ch] * (1.0f - ta));
                    }
                    out[3] = std::min(1.0f, ta + out[3]);
                }
                expected.pixels[i] = Pack(out[3], out[2], out[1], out[0]);
            }
            EXPECT_TRUE(ImagesNear(expected, Read(target), 1)) << stages << " stage(s)";
        }
    }
}

// Setting a target sets the viewport to its size; drawing lands in it alone.
TEST_F(GlDeviceTest, RenderTargetsSwitchWithTheirViewport) {
    IGraphicsSurface* back = nullptr;
    ASSERT_EQ(S_OK, m_device->GetBackBuffer(&back));
    IGraphicsSurface* small = MakeTarget(8, 6);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, small));
    IGraphicsSurface* current = nullptr;
    ASSERT_EQ(S_OK, m_device->GetRenderTarget(0, &current));
    EXPECT_EQ(small, current);
    current->Release();
    D3DVIEWPORT9 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(std::pair(8u, 6u), std::pair(viewport.Width, viewport.Height));
    const D3DVIEWPORT9 tooLarge = {0, 0, 9, 6, 0.0f, 1.0f};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetViewport(&tooLarge));

    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FFu, 1.0f, 0);
    ASSERT_EQ(S_OK, m_device->SetRenderTarget(0, back));
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    EXPECT_TRUE(ImagesNear(Filled(8, 6, 0xFF0000FFu), Read(small), 0));
    EXPECT_TRUE(ImagesNear(Filled(kWidth, kHeight, 0xFF00FF00u), Read(back), 0));
    back->Release();

    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->SetRenderTarget(0, nullptr));
    EXPECT_EQ(S_OK, m_device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->BeginScene());
    EXPECT_EQ(S_OK, m_device->EndScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->EndScene());
}

}  // namespace
}  // namespace tovel_test
