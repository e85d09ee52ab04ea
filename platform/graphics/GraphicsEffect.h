#pragma once
// The effect: a table of parameters found by semantic and of techniques found by name. Each
// technique is one pass: a vertex stage and/or a pixel stage in GLSL plus the states the pass
// sets. A missing stage is the device's fixed-function one (pre-transformed vertices, or the
// texture-stage operations), exactly as a Direct3D 9 technique with only one shader behaves.
//
// Writing a technique's GLSL: the effect puts "#version 450 core", the stage interface and one
// uniform per parameter (named after the parameter) in front of the source, so the source holds
// only its own functions and main(). Matrices are uploaded as written (row-major, 16 floats):
// in GLSL `v * M` gives the four dot products of v with the rows as written, `M * v` gives the
// row-vector product v·M. Parameter types map to float, int, vec2, vec3, vec4 and mat4, arrays when
// `elements` is not 0. Samplers are `s0` and `s1` (texture stages 0 and 1).
//   vertex stage:  inputs at kAttribPosition, kAttribNormal, kAttribTexcoord0 (+1),
//                  kAttribColor0 (vec4); write the Direct3D clip position with
//                  tovelSetPosition(vec4), and tovel_Diffuse (vec4), tovel_Tex0, tovel_Tex1 (vec2).
//   pixel stage:   read tovel_Diffuse, tovel_Tex0, tovel_Tex1; write tovel_Color.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/GraphicsTypes.h"
#include "platform/base/RefCounted.h"

namespace platform {

using D3DXHANDLE = const struct EffectHandleTag*;  // null: not found

inline constexpr std::uint32_t D3DXFX_DONOTSAVESTATE = 0x1;

enum class EffectParameterType { Float, Int, Float2, Float3, Float4, Float4x4 };

struct EffectParameterDesc {
    std::string name;      // the GLSL uniform
    std::string semantic;  // what GetParameterBySemantic looks for
    EffectParameterType type;
    std::uint32_t elements;       // 0: not an array
    std::vector<float> defaults;  // leading values of the parameter; the rest are zero
};

enum class EffectStateKind { Render, Sampler, TextureStage };

struct EffectStateDesc {
    EffectStateKind kind;
    std::uint32_t stage;  // sampler or texture stage; ignored for render states
    std::uint32_t state;  // D3DRS_*, D3DSAMP_* or D3DTSS_*
    std::uint32_t value;
};

struct EffectTechniqueDesc {
    std::string name;
    std::string vertexShader;  // empty: the fixed-function vertex stage
    std::string pixelShader;   // empty: the texture-stage operations
    std::vector<EffectStateDesc> states;
};

struct EffectDesc {
    std::vector<EffectParameterDesc> parameters;
    std::vector<EffectTechniqueDesc> techniques;
};

class IGraphicsEffect : public RefCounted {
public:
    virtual D3DXHANDLE GetTechniqueByName(const char* name) = 0;
    virtual D3DXHANDLE GetParameterBySemantic(D3DXHANDLE parent, const char* semantic) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) = 0;

    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;
    // flags 0 saves the device's values of the states the pass sets; End puts them back.
    virtual HRESULT Begin(std::uint32_t* passes, std::uint32_t flags) = 0;
    virtual HRESULT BeginPass(std::uint32_t pass) = 0;
    // Parameter values set since BeginPass reach the next draw.
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    // Raw bytes into the parameter's storage (floats or 32-bit ints), starting at byte offset.
    virtual HRESULT SetRawValue(D3DXHANDLE parameter, const void* data, std::uint32_t offset,
                                std::uint32_t bytes) = 0;
    virtual HRESULT SetValue(D3DXHANDLE parameter, const void* data, std::uint32_t bytes) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, float value) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, std::int32_t value) = 0;
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DVECTOR4* vector) = 0;

    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

}  // namespace platform
