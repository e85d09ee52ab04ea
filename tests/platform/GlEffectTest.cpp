// The effect (techniques, parameters, saved states), indexed drawing from managed buffers, and
// the device-loss and reset paths.

#include <cstring>

#include "platform/graphics/D3DMath.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

// A vertex-stage technique shaped like the system's: positions through ViewProjection (applied
// as the row-vector product), colour picked from a float4 array by the index in position.w;
// the pixel stage is the fixed-function one. A pixel-stage technique halves a texture.
EffectDesc TestEffect() {
    EffectDesc desc;
    desc.parameters = {
        {"g_mViewProjection", "ViewProjection", EffectParameterType::Float4x4, 0, {}},
        {"g_aFloat4x8", "Float4x8", EffectParameterType::Float4, 8, {}},
        {"g_fConst", "FloatConst", EffectParameterType::Float, 0, {1.0f}},
        {"g_nConst", "IntConst", EffectParameterType::Int, 0, {0.0f}},
    };
    const std::string vertex = R"(
void main() {
    tovelSetPosition(g_mViewProjection * vec4(tovel_InPosition.xyz, 1.0));
    tovel_Diffuse = g_aFloat4x8[int(floor(tovel_InPosition.w)) + g_nConst];
    tovel_Tex0 = tovel_InTex0;
    tovel_Tex1 = vec2(0.0);
}
)";
    desc.techniques = {
        {"Flat",
         vertex,
         "",
         {{EffectStateKind::Render, 0, D3DRS_CULLMODE, D3DCULL_NONE},
          {EffectStateKind::Render, 0, D3DRS_ZWRITEENABLE, 0},
          {EffectStateKind::Render, 0, D3DRS_ALPHABLENDENABLE, 1},
          {EffectStateKind::Render, 0, D3DRS_SRCBLEND, D3DBLEND_ONE},
          {EffectStateKind::Render, 0, D3DRS_DESTBLEND, D3DBLEND_ONE},
          {EffectStateKind::Render, 0, D3DRS_BLENDOP, D3DBLENDOP_ADD}}},
        {"Half",
         "",
         "void main() { tovel_Color = texture(s0, tovel_Tex0) * g_fConst; }",
         {{EffectStateKind::Sampler, 0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
          {EffectStateKind::Sampler, 0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}}},
    };
    return desc;
}

struct Vertex {
    float x, y, z, w;  // w: the colour entry
    float nx, ny, nz, nw;
};

constexpr D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
    {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_NORMAL, 0},
    D3DDECL_END,
};

class GlEffectTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        ASSERT_NE(nullptr, m_device);
        std::string log;
        ASSERT_EQ(S_OK, m_device->CreateEffect(TestEffect(), &m_effect, &log)) << log;
        m_owned.push_back(m_effect);
        m_viewProjection = m_effect->GetParameterBySemantic(nullptr, "ViewProjection");
        m_colours = m_effect->GetParameterBySemantic(nullptr, "Float4x8");
        ASSERT_NE(nullptr, m_viewProjection);
        ASSERT_NE(nullptr, m_colours);
    }

    // Two unit squares in clip space, [-1, 0] x [0, 1] (colour 0) and [0, 1] x [-1, 0]
    // (colour 1), as 8 vertices and 12 indices in managed buffers.
    void BuildSquares() {
        const Vertex v[8] = {
            {-1, 1, 0.5f, 0, 0, 0, 0, 0}, {0, 1, 0.5f, 0, 0, 0, 0, 0},
            {-1, 0, 0.5f, 0, 0, 0, 0, 0}, {0, 0, 0.5f, 0, 0, 0, 0, 0},
            {0, 0, 0.5f, 1, 0, 0, 0, 0},  {1, 0, 0.5f, 1, 0, 0, 0, 0},
            {0, -1, 0.5f, 1, 0, 0, 0, 0}, {1, -1, 0.5f, 1, 0, 0, 0, 0},
        };
        const std::uint16_t indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
        ASSERT_EQ(S_OK, m_device->CreateVertexBuffer(sizeof v, 0, D3DPOOL_MANAGED, &m_vertices));
        m_owned.push_back(m_vertices);
        ASSERT_EQ(S_OK, m_device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16,
                                                    D3DPOOL_MANAGED, &m_indices));
        m_owned.push_back(m_indices);
        ASSERT_EQ(S_OK, m_device->CreateVertexDeclaration(kElements, &m_declaration));
        m_owned.push_back(m_declaration);
        void* data = nullptr;
        ASSERT_EQ(S_OK, m_vertices->Lock(0, 0, &data));
        std::memcpy(data, v, sizeof v);
        ASSERT_EQ(S_OK, m_vertices->Unlock());
        ASSERT_EQ(S_OK, m_indices->Lock(0, 0, &data));
        std::memcpy(data, indices, sizeof indices);
        ASSERT_EQ(S_OK, m_indices->Unlock());
    }

    // Clears the back buffer and sets the squares' buffers and the matrix.
    void BindSquares(const D3DMATRIX& viewProjection) {
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_device->SetVertexDeclaration(m_declaration);
        m_device->SetStreamSource(0, m_vertices, 0, sizeof(Vertex));
        m_device->SetIndices(m_indices);
        EXPECT_EQ(S_OK, m_effect->SetMatrix(m_viewProjection, &viewProjection));
    }

    // Draws both squares through "Flat" into the back buffer and reads it.
    Image DrawSquares(const D3DMATRIX& viewProjection) {
        const float colours[8][4] = {{1, 0, 0, 1}, {0, 0, 1, 0.5f}};
        BindSquares(viewProjection);
        EXPECT_EQ(S_OK, m_effect->SetRawValue(m_colours, colours, 0, sizeof colours));
        EXPECT_EQ(S_OK, m_effect->SetTechnique(m_effect->GetTechniqueByName("Flat")));
        std::uint32_t passes = 0;
        EXPECT_EQ(S_OK, m_effect->Begin(&passes, 0));
        EXPECT_EQ(1u, passes);
        EXPECT_EQ(S_OK, m_effect->BeginPass(0));
        EXPECT_EQ(S_OK, m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4));
        EXPECT_EQ(S_OK, m_effect->EndPass());
        EXPECT_EQ(S_OK, m_effect->End());
        return ReadBack();
    }

    Image ReadBack() {
        IGraphicsSurface* back = nullptr;
        EXPECT_EQ(S_OK, m_device->GetBackBuffer(&back));
        Image image = Read(back);
        back->Release();
        return image;
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

D3DMATRIX Identity() {
    D3DMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

TEST_F(GlEffectTest, FindsTechniquesByNameAndParametersBySemantic) {
    EXPECT_NE(nullptr, m_effect->GetTechniqueByName("Half"));
    EXPECT_EQ(nullptr, m_effect->GetTechniqueByName("Missing"));
    EXPECT_EQ(m_colours, m_effect->GetParameterByName(nullptr, "g_aFloat4x8"));
    EXPECT_EQ(nullptr, m_effect->GetParameterBySemantic(nullptr, "g_aFloat4x8"));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_effect->SetTechnique(nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_effect->SetMatrix(m_colours, nullptr));
    const float tooMuch[33 * 4] = {};
    EXPECT_EQ(D3DERR_INVALIDCALL, m_effect->SetRawValue(m_colours, tooMuch, 16, 8 * 16));

    EffectDesc broken = TestEffect();
    broken.techniques[1].pixelShader = "void main() { tovel_Color = undefinedThing; }";
    IGraphicsEffect* effect = nullptr;
    std::string log;
    EXPECT_EQ(E_FAIL, m_device->CreateEffect(broken, &effect, &log));
    EXPECT_EQ(nullptr, effect);
    EXPECT_NE(std::string::npos, log.find("technique Half")) << log;
}

// Matrices go up as written, and clip y = +1 is the top row: the identity puts the colour-0
// square top left and the colour-1 square bottom right, added (ONE, ONE) onto black.
TEST_F(GlEffectTest, IndexedListThroughVertexStageUsesMatrixAsWritten) {
    BuildSquares();
    EXPECT_TRUE(ImagesNear(Quadrants(kWidth, kHeight, 0xFFFF0000u, 0x800000FFu),
                           DrawSquares(Identity()), 1));

    // Translation sits in the fourth row for row vectors: moving by (+1, -1) takes the first
    // square to the bottom right and the second off the target.
    D3DMATRIX shift = Identity();
    shift.m[3][0] = 1.0f;
    shift.m[3][1] = -1.0f;
    EXPECT_TRUE(ImagesNear(Quadrants(kWidth, kHeight, 0, 0xFFFF0000u), DrawSquares(shift), 1));
}

TEST_F(GlEffectTest, CommittedValuesReachTheNextDraw) {
    BuildSquares();
    BindSquares(Identity());
    const D3DVECTOR4 green = {0, 1, 0, 1}, white = {1, 1, 1, 1};
    m_effect->SetVector(m_colours, &green);
    m_effect->SetTechnique(m_effect->GetTechniqueByName("Flat"));
    m_effect->Begin(nullptr, 0);
    m_effect->BeginPass(0);
    m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    EXPECT_EQ(0xFF00FF00u, ReadBack().At(0, 0));
    // Not committed: the pass still draws with green, so blending adds green onto green.
    m_effect->SetVector(m_colours, &white);
    m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    EXPECT_EQ(0xFF00FF00u, ReadBack().At(0, 0));
    ASSERT_EQ(S_OK, m_effect->CommitChanges());
    m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    EXPECT_EQ(0xFFFFFFFFu, ReadBack().At(0, 0));
    // An integer parameter shifts the colour index: entry 1 of the array is still zero.
    const D3DXHANDLE offset = m_effect->GetParameterBySemantic(nullptr, "IntConst");
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_effect->SetInt(offset, 1);
    m_effect->CommitChanges();
    m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    EXPECT_EQ(0u, ReadBack().At(0, 0));
    m_effect->EndPass();
    m_effect->End();
}

// States the pass sets are saved by Begin(0) and restored by End; states it does not list keep
// the device's values throughout.
TEST_F(GlEffectTest, PassStatesAreRestoredAndOthersKept) {
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    m_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    auto state = [&](D3DRENDERSTATETYPE s) {
        std::uint32_t value = 0;
        m_device->GetRenderState(s, &value);
        return value;
    };
    struct Expected {
        D3DRENDERSTATETYPE state;
        std::uint32_t during, after;
    };
    const Expected expected[] = {{D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_CW},
                                 {D3DRS_ZWRITEENABLE, 0, 1},
                                 {D3DRS_ALPHABLENDENABLE, 1, 0},
                                 {D3DRS_SRCBLEND, D3DBLEND_ONE, D3DBLEND_ONE},
                                 {D3DRS_DESTBLEND, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
                                 {D3DRS_ZFUNC, D3DCMP_ALWAYS, D3DCMP_ALWAYS}};
    m_effect->SetTechnique(m_effect->GetTechniqueByName("Flat"));
    ASSERT_EQ(S_OK, m_effect->Begin(nullptr, 0));
    ASSERT_EQ(S_OK, m_effect->BeginPass(0));
    for (const Expected& e : expected) {
        EXPECT_EQ(e.during, state(e.state)) << "in the pass, state " << e.state;
    }
    m_effect->EndPass();
    ASSERT_EQ(S_OK, m_effect->End());
    for (const Expected& e : expected) {
        EXPECT_EQ(e.after, state(e.state)) << "after the pass, state " << e.state;
    }

    // Sampler states of a pixel-stage technique follow the same rule.
    m_effect->SetTechnique(m_effect->GetTechniqueByName("Half"));
    m_effect->Begin(nullptr, 0);
    m_effect->BeginPass(0);
    std::uint32_t filter = 0;
    m_device->GetSamplerState(0, D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(static_cast<std::uint32_t>(D3DTEXF_LINEAR), filter);
    m_effect->EndPass();
    m_effect->End();
    m_device->GetSamplerState(0, D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(static_cast<std::uint32_t>(D3DTEXF_POINT), filter);

    // Without saving, the pass's states stay behind.
    m_effect->SetTechnique(m_effect->GetTechniqueByName("Flat"));
    m_effect->Begin(nullptr, D3DXFX_DONOTSAVESTATE);
    m_effect->BeginPass(0);
    m_effect->EndPass();
    m_effect->End();
    EXPECT_EQ(static_cast<std::uint32_t>(D3DCULL_NONE), state(D3DRS_CULLMODE));
}

TEST_F(GlEffectTest, LossLevelsAndResetKeepManagedBuffers) {
    BuildSquares();
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());

    m_device->SimulateDeviceLoss(DeviceLossTest::Lost);
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->TestCooperativeLevel());
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Present());
    EXPECT_EQ(D3DERR_DEVICELOST, m_device->Reset(0, 0));

    m_device->SimulateDeviceLoss(DeviceLossTest::NotReset);
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    // A default-pool render target still alive blocks the reset, as in Direct3D.
    IGraphicsTexture* target = nullptr;
    ASSERT_EQ(S_OK, m_device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                            D3DPOOL_DEFAULT, &target));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(0, 0));
    EXPECT_EQ(D3DERR_DEVICENOTRESET, m_device->TestCooperativeLevel());
    target->Release();

    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(m_effect->OnLostDevice(), S_OK);
    ASSERT_EQ(S_OK, m_device->Reset(2 * kWidth, 2 * kHeight));
    ASSERT_EQ(m_effect->OnResetDevice(), S_OK);
    EXPECT_EQ(D3D_OK, m_device->TestCooperativeLevel());
    EXPECT_EQ(S_OK, m_device->Present());
    std::uint32_t cull = 0;
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(static_cast<std::uint32_t>(D3DCULL_CCW), cull) << "Reset restores default states";
    // The managed buffers kept their contents: the same draw gives the same picture, now at the
    // new size of the back buffer, and the bytes read back unchanged.
    EXPECT_TRUE(ImagesNear(Quadrants(2 * kWidth, 2 * kHeight, 0xFFFF0000u, 0x800000FFu),
                           DrawSquares(Identity()), 1));
    void* data = nullptr;
    ASSERT_EQ(S_OK, m_indices->Lock(2, 4, &data));
    std::uint16_t pair[2];
    std::memcpy(pair, data, sizeof pair);
    m_indices->Unlock();
    EXPECT_EQ(1u, pair[0]);
    EXPECT_EQ(2u, pair[1]);
}

}  // namespace
}  // namespace tovel_test
