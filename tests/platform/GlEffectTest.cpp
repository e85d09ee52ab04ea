// The effect, indexed drawing from managed buffers, and device loss and reset.

#include <cstring>

#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

constexpr D3DMATRIX kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// A technique shaped like the system's: positions through ViewProjection, colour from a float4
// array by the index in position.w, the fixed-function pixel stage; the pass sets states.
EffectDesc TestEffect() {
    using enum EffectStateKind;
    EffectDesc desc;
    desc.parameters = {
        {"g_mViewProjection", "ViewProjection", EffectParameterType::Float4x4, 0, {}},
        {"g_aFloat4x8", "Float4x8", EffectParameterType::Float4, 8, {}},
        {"g_nConst", "IntConst", EffectParameterType::Int, 0, {0.0f}}};
    // clang-format off
    desc.techniques = {
        {"Flat",
         "void main() {\n"
         "    tovelSetPosition(g_mViewProjection * vec4(tovel_InPosition.xyz, 1.0));\n"
         "    tovel_Diffuse = g_aFloat4x8[int(floor(tovel_InPosition.w)) + g_nConst];\n"
         "    tovel_Tex0 = tovel_InTex0;\n"
         "    tovel_Tex1 = vec2(0.0);\n"
         "}\n",
         "",
         {{Render, 0, D3DRS_CULLMODE, D3DCULL_NONE}, {Render, 0, D3DRS_ZWRITEENABLE, 0},
          {Render, 0, D3DRS_ALPHABLENDENABLE, 1}, {Render, 0, D3DRS_SRCBLEND, D3DBLEND_ONE},
          {Render, 0, D3DRS_DESTBLEND, D3DBLEND_ONE}, {Render, 0, D3DRS_BLENDOP, D3DBLENDOP_ADD},
          {Sampler, 0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR}}}};
    // clang-format on
    return desc;
}

template <typename Buffer, typename Data>
void Fill(Buffer* buffer, const Data& data) {
    void* bits = nullptr;
    ASSERT_EQ(S_OK, buffer->Lock(0, 0, &bits));
    std::memcpy(bits, &data, sizeof data);
    ASSERT_EQ(S_OK, buffer->Unlock());
}

class GlEffectTest : public GlDeviceTest {
protected:
    // The effect and two unit squares in clip space, [-1, 0] x [0, 1] (colour 0) and [0, 1] x
    // [-1, 0] (colour 1), 8 vertices (position, unused normal) and 12 indices in managed buffers.
    void SetUp() override {
        GlDeviceTest::SetUp();
        std::string log;
        ASSERT_EQ(S_OK, m_device->CreateEffect(TestEffect(), &m_effect, &log)) << log;
        m_viewProjection = m_effect->GetParameterBySemantic(nullptr, "ViewProjection");
        m_colours = m_effect->GetParameterBySemantic(nullptr, "Float4x8");
        ASSERT_TRUE(m_viewProjection && m_colours);
        const float v[8][8] = {{-1, 1, 0.5f, 0}, {0, 1, 0.5f, 0}, {-1, 0, 0.5f, 0},
                               {0, 0, 0.5f, 0},  {0, 0, 0.5f, 1}, {1, 0, 0.5f, 1},
                               {0, -1, 0.5f, 1}, {1, -1, 0.5f, 1}};
        const std::uint16_t indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
        constexpr D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
            {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_NORMAL, 0},
            D3DDECL_END};
        ASSERT_EQ(S_OK, m_device->CreateVertexBuffer(sizeof v, 0, D3DPOOL_MANAGED, &m_vertices));
        ASSERT_EQ(S_OK, m_device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16,
                                                    D3DPOOL_MANAGED, &m_indices));
        ASSERT_EQ(S_OK, m_device->CreateVertexDeclaration(elements, &m_declaration));
        m_owned.insert(m_owned.end(), {m_effect, m_vertices, m_indices, m_declaration});
        Fill(m_vertices, v);
        Fill(m_indices, indices);
    }
    // Clears the back buffer and sets the squares' buffers and the matrix.
    void Bind(const D3DMATRIX& viewProjection) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_device->SetVertexDeclaration(m_declaration);
        m_device->SetStreamSource(0, m_vertices, 0, 8 * sizeof(float));
        m_device->SetIndices(m_indices);
        EXPECT_EQ(S_OK, m_effect->SetMatrix(m_viewProjection, &viewProjection));
    }
    // Runs `body` inside the one pass of "Flat", begun with `flags`.
    template <typename Body>
    void InPass(std::uint32_t flags, Body body) {
        ASSERT_EQ(S_OK, m_effect->SetTechnique(m_effect->GetTechniqueByName("Flat")));
        std::uint32_t passes = 0;
        ASSERT_EQ(S_OK, m_effect->Begin(&passes, flags));
        EXPECT_EQ(1u, passes);
        ASSERT_EQ(S_OK, m_effect->BeginPass(0));
        body();
        EXPECT_EQ(S_OK, m_effect->EndPass());
        EXPECT_EQ(S_OK, m_effect->End());
    }
    // Draws both squares, red and half-transparent blue, through "Flat" and reads them back.
    Image DrawSquares(const D3DMATRIX& viewProjection) {
        const float colours[8][4] = {{1, 0, 0, 1}, {0, 0, 1, 0.5f}};
        Bind(viewProjection);
        EXPECT_EQ(S_OK, m_effect->SetRawValue(m_colours, colours, 0, sizeof colours));
        InPass(0, [&] {
            EXPECT_EQ(S_OK, m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4));
        });
        return ReadBackBuffer();
    }
    IGraphicsEffect* m_effect = nullptr;
    IGraphicsVertexBuffer* m_vertices = nullptr;
    IGraphicsIndexBuffer* m_indices = nullptr;
    IGraphicsVertexDeclaration* m_declaration = nullptr;
    D3DXHANDLE m_viewProjection = nullptr, m_colours = nullptr;
};

Image Quadrants(std::uint32_t width, std::uint32_t height, D3DCOLOR topLeft, D3DCOLOR bottomRight) {
    Image image{width, height, std::vector<D3DCOLOR>(width * height, 0)};
    for (std::uint32_t i = 0; i < width * height; ++i) {
        const bool left = i % width < width / 2, top = i / width < height / 2;
        image.pixels[i] = left && top ? topLeft : !left && !top ? bottomRight : 0;
    }
    return image;
}

TEST_F(GlEffectTest, RefusesMissingTechniquesOverlongValuesAndBrokenShaders) {
    EXPECT_EQ(nullptr, m_effect->GetTechniqueByName("Missing"));
    const float tooMuch[33 * 4] = {};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_effect->SetRawValue(m_colours, tooMuch, 16, 8 * 16));
    EffectDesc broken = TestEffect();
    broken.techniques[0].vertexShader = "void main() { tovelSetPosition(undefinedThing); }";
    IGraphicsEffect* effect = nullptr;
    std::string log;
    EXPECT_EQ(std::pair(E_FAIL, static_cast<IGraphicsEffect*>(nullptr)),
              (std::pair{m_device->CreateEffect(broken, &effect, &log), effect}));
    EXPECT_NE(std::string::npos, log.find("technique Flat")) << log;
}

// Matrices go up as written, and clip y = +1 is the top row: the identity puts the colour-0
// square top left and the colour-1 square bottom right, added (ONE, ONE) onto black. Translation
// sits in the fourth row for row vectors: moving by (+1, -1) takes the first square to the
// bottom right and the second off the target. Values reach a pass's draws once committed.
TEST_F(GlEffectTest, IndexedDrawsUseTheMatrixAsWrittenAndCommittedValues) {
    EXPECT_TRUE(ImagesNear(Quadrants(kWidth, kHeight, 0xFFFF0000u, 0x800000FFu),
                           DrawSquares(kIdentity), 1));
    D3DMATRIX shift = kIdentity;
    shift.m[3][0] = 1.0f;
    shift.m[3][1] = -1.0f;
    EXPECT_TRUE(ImagesNear(Quadrants(kWidth, kHeight, 0, 0xFFFF0000u), DrawSquares(shift), 1));
    Bind(kIdentity);
    const D3DVECTOR4 green = {0, 1, 0, 1}, white = {1, 1, 1, 1};
    m_effect->SetVector(m_colours, &green);
    const auto drawn = [&] {
        m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
        return ReadBackBuffer().At(0, 0);
    };
    InPass(0, [&] {
        EXPECT_EQ(0xFF00FF00u, drawn());
        // Not committed: the pass still draws with green, so blending adds green onto green.
        m_effect->SetVector(m_colours, &white);
        EXPECT_EQ(0xFF00FF00u, drawn());
        ASSERT_EQ(S_OK, m_effect->CommitChanges());
        EXPECT_EQ(0xFFFFFFFFu, drawn());
        // An integer parameter shifts the colour index to entry 1, the second square's blue.
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_effect->SetInt(m_effect->GetParameterBySemantic(nullptr, "IntConst"), 1);
        m_effect->CommitChanges();
        EXPECT_EQ(0x800000FFu, drawn());
    });
}

// States a pass sets are saved by Begin(0) and restored by End, sampler states as render states;
// states it does not list keep the device's values throughout. Without saving, they stay behind.
TEST_F(GlEffectTest, PassStatesAreRestoredAndOthersKept) {
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const auto get = [&](bool sampler, std::uint32_t s) {
        std::uint32_t v = 0xDEADu;
        sampler ? m_device->GetSamplerState(0, D3DSAMPLERSTATETYPE(s), &v)
                : m_device->GetRenderState(D3DRENDERSTATETYPE(s), &v);
        return v;
    };
    const struct {
        std::uint32_t flags;
        bool sampler;
        std::uint32_t state, during, after;
    } cases[] = {
        {0, false, D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_CW},
        {0, false, D3DRS_ZWRITEENABLE, 0, 1},
        {0, false, D3DRS_DESTBLEND, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
        {0, false, D3DRS_ZFUNC, D3DCMP_ALWAYS, D3DCMP_ALWAYS},
        {0, true, D3DSAMP_MINFILTER, D3DTEXF_LINEAR, D3DTEXF_POINT},
        {D3DXFX_DONOTSAVESTATE, false, D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "flags " << c.flags << " state " << c.state);
        std::uint32_t during = 0;
        InPass(c.flags, [&] { during = get(c.sampler, c.state); });
        EXPECT_EQ(std::pair(c.during, c.after), std::pair(during, get(c.sampler, c.state)));
    }
}

// A loss taken back needs no reset; while the driver resets, nothing may reset, and a default-pool
// target still alive blocks the reset. The reset brings back the default states, managed buffers
// and textures, and the device's memory as it was; a reset may resize.
TEST_F(GlEffectTest, LossAndResetBringBackManagedResourcesAndDefaultStates) {
    const Image source = RandomImage(kWidth, kHeight, 11);
    IGraphicsTexture* texture = MakeTexture(source);
    const auto status = [&](bool reset) {
        return std::tuple{m_device->TestCooperativeLevel(), m_device->Present(),
                          reset ? m_device->Reset(0, 0) : S_OK};
    };
    m_device->SimulateDeviceLoss(DeviceLossTest::Lost);
    EXPECT_EQ(std::tuple(D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICELOST), status(true));
    m_device->SimulateDeviceLoss(DeviceLossTest::None);
    EXPECT_EQ(std::tuple(D3D_OK, D3D_OK, S_OK), status(false));
    m_device->SimulateDeviceLoss(DeviceLossTest::Lost);
    m_device->SimulateDeviceLoss(DeviceLossTest::NotReset);
    EXPECT_EQ(std::tuple(D3DERR_DEVICENOTRESET, D3DERR_DEVICELOST, S_OK), status(false));
    MakeTarget(8, 8);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(0, 0));
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    for (int i = 0; i < 2; ++i) {  // the target's texture and surface
        m_owned.back()->Release();
        m_owned.pop_back();
    }
    const DeviceResourceStatistics before = m_device->GetResourceStatistics();
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(S_OK, m_effect->OnLostDevice());
    ASSERT_EQ(S_OK, m_device->Reset(0, 0));
    ASSERT_EQ(S_OK, m_effect->OnResetDevice());
    EXPECT_EQ(std::tuple(D3D_OK, D3D_OK, S_OK), status(false));
    std::uint32_t cull = 0;
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(std::uint32_t{D3DCULL_CCW}, cull) << "Reset restores default states";
    EXPECT_TRUE(ImagesNear(Quadrants(kWidth, kHeight, 0xFFFF0000u, 0x800000FFu),
                           DrawSquares(kIdentity), 1));
    m_device->SetTexture(0, texture);
    m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_device->SetRenderState(D3DRS_ZENABLE, 0);
    DrawQuad(0, 0, kWidth, kHeight, 0xFFFFFFFFu);
    EXPECT_TRUE(ImagesNear(source, ReadBackBuffer(), 0));
    m_device->SetTexture(0, nullptr);
    const DeviceResourceStatistics after = m_device->GetResourceStatistics();
    EXPECT_EQ(std::pair(before.bytes, before.live), std::pair(after.bytes, after.live));
    ASSERT_EQ(S_OK, m_device->Reset(2 * kWidth, 2 * kHeight));
    EXPECT_TRUE(ImagesNear(Quadrants(2 * kWidth, 2 * kHeight, 0xFFFF0000u, 0x800000FFu),
                           DrawSquares(kIdentity), 1));
}

}  // namespace
}  // namespace tovel_test
