// The effect's technique and parameter table: each technique's name and pass states, and each
// parameter's name, semantic, type, array length and default. The effect lives in three places:
// this table; the techniques' GLSL source in resources/effect/Effect.glsl; and the effect
// framework that compiles and runs it in platform/graphics/gl/GlEffect.cpp.

#include "graphics/EffectDescription.h"

#include <string>

using namespace platform;

namespace {

EffectStateDesc Render(std::uint32_t state, std::uint32_t value) {
    return {EffectStateKind::Render, 0, state, value};
}

EffectStateDesc Sampler(std::uint32_t sampler, std::uint32_t state, std::uint32_t value) {
    return {EffectStateKind::Sampler, sampler, state, value};
}

EffectStateDesc Stage(std::uint32_t stage, std::uint32_t state, std::uint32_t value) {
    return {EffectStateKind::TextureStage, stage, state, value};
}

// Jewels add their light onto what is there and never hide one another.
std::vector<EffectStateDesc> AdditiveJewelStates() {
    return {Render(D3DRS_CULLMODE, D3DCULL_NONE),  Render(D3DRS_ZWRITEENABLE, 0),
            Render(D3DRS_ALPHABLENDENABLE, 1),     Render(D3DRS_SRCBLEND, D3DBLEND_ONE),
            Render(D3DRS_DESTBLEND, D3DBLEND_ONE), Render(D3DRS_BLENDOP, D3DBLENDOP_ADD)};
}

std::vector<EffectStateDesc> AdditiveBlend() {
    return {Render(D3DRS_ALPHABLENDENABLE, 1), Render(D3DRS_SRCBLEND, D3DBLEND_ONE),
            Render(D3DRS_DESTBLEND, D3DBLEND_ONE), Render(D3DRS_BLENDOP, D3DBLENDOP_ADD)};
}

std::vector<EffectStateDesc> Join(std::vector<EffectStateDesc> a,
                                  const std::vector<EffectStateDesc>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Define(const char* technique, std::string_view source) {
    return std::string("#define TECHNIQUE_") + technique + "\n" + std::string(source);
}

}  // namespace

EffectDesc DescribeEffect(std::string_view source) {
    using T = EffectParameterType;
    EffectDesc desc;
    desc.parameters = {
        {"g_mViewProjection", "ViewProjection", T::Float4x4, 0, {}},
        {"g_aFloat4x8", "Float4x8", T::Float4, 8, {}},
        {"g_aFloat4x16", "Float4x16", T::Float4, 16, {}},
        {"g_aFloat4x32", "Float4x32", T::Float4, 32, {}},
        {"g_aFloat4x48", "Float4x48", T::Float4, 48, {}},
        {"g_aFloat4x16_2", "Float4x16_2", T::Float4, 16, {}},
        {"g_aFloat4x32_2", "Float4x32_2", T::Float4, 32, {}},
        {"g_aFloat2x16", "Float2x16", T::Float2, 16, {}},
        {"g_aFloatx16", "Floatx16", T::Float, 16, {}},
        {"g_aIntx16", "Intx16", T::Int, 16, {}},
        {"g_vLightPosition", "LightPosition", T::Float3, 0, {}},
        {"g_vLightColor", "LightColor", T::Float3, 0, {1.0f, 1.0f, 1.0f}},
        {"g_fLightPower", "LightPower", T::Float, 0, {1.0f}},
        {"g_vColor", "Color", T::Float4, 0, {1.0f, 1.0f, 1.0f, 1.0f}},
        {"g_mRotation", "Rotation", T::Float4x4, 0, {}},
        {"g_vCamera", "CameraPosition", T::Float3, 0, {0.0f, 5.0f, -10.0f}},
        {"g_nConst", "IntConst", T::Int, 0, {0.0f}},
        {"g_fConst", "FloatConst", T::Float, 0, {1.0f}},
    };

    const std::vector<EffectStateDesc> keyboard = {
        Render(D3DRS_CULLMODE, D3DCULL_NONE),
        Sampler(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR),
        Sampler(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
        Stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE),
        Stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE),
        Stage(0, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH),
        Stage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
        Stage(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE),
        Stage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2),
    };
    const std::vector<EffectStateDesc> clampedMinification = {
        Sampler(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR),
        Sampler(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP),
        Sampler(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP),
    };

    auto vertex = [&](const char* name, std::vector<EffectStateDesc> states) {
        desc.techniques.push_back({name, Define(name, source), "", std::move(states)});
    };
    auto pixel = [&](const char* name, std::vector<EffectStateDesc> states) {
        desc.techniques.push_back({name, "", Define(name, source), std::move(states)});
    };
    vertex("Keyboard", keyboard);
    vertex("PaletteJewel", AdditiveJewelStates());
    vertex("KeyboardClearJewel", AdditiveJewelStates());
    vertex("KeyboardColorJewel", AdditiveJewelStates());
    vertex("ClearJewel", AdditiveJewelStates());
    vertex("SeveralColorJewel", AdditiveJewelStates());
    pixel("BrightPassFilter", clampedMinification);
    // The blur reads a source of its own size, where the level of detail is exactly 0 and the
    // driver's rounding would pick either filter per 2x2 block; both filters alike make the taps
    // between texels blend, as the minification filter asks, and spare the driver that choice.
    pixel("GaussBlurF4x32", Join(Join(clampedMinification, AdditiveBlend()),
                                 {Sampler(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR)}));
    pixel("GaussBlurF4x16", {Sampler(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR),
                             Sampler(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR)});
    // The scene and its glow are only ever magnified or read texel for texel, where linear
    // filtering returns the texel; the same filter for minification spares the driver the
    // per-block choice between the two, which is most of the merge's cost in software.
    pixel("MergeRenderTarget",
          Join({Sampler(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
                Sampler(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR),
                Sampler(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
                Sampler(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), Render(D3DRS_ALPHATESTENABLE, 0)},
               AdditiveBlend()));
    return desc;
}
