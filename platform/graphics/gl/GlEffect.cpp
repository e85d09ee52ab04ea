// The effect on GL.
// Provides: techniques by name and parameters by semantic (or name), one pass per technique;
// begin with flags 0 saves the device's values of the states the pass sets and End restores
// them; parameter values live on the processor and reach the pass's programs at BeginPass and at
// CommitChanges, as Direct3D's effect framework uploads them.
// Limitations: one pass per technique; parameters are float, int, vec2, vec3, vec4 and mat4 (or
// arrays of them). The programs live as long as the context: when the device replaces a lost
// one, they are compiled again from the sources kept here, so the lost and reset notifications
// have nothing to release or rebuild.
// Depends on: libepoxy (GL 4.5 core) and the device's program pipeline.
//
// The effect lives in three places: this framework; the techniques' GLSL source in
// resources/effect/Effect.glsl; and the technique and parameter table, with each technique's
// pass states, in graphics/EffectDescription.cpp.

#include "platform/graphics/gl/GlEffect.h"

#include <cstring>
#include <vector>

#include "platform/graphics/gl/GlDevice.h"
#include "platform/graphics/gl/GlShaders.h"

namespace platform {

namespace {

std::uint32_t ComponentsOf(EffectParameterType type) {
    switch (type) {
        case EffectParameterType::Float2:
            return 2;
        case EffectParameterType::Float3:
            return 3;
        case EffectParameterType::Float4:
            return 4;
        case EffectParameterType::Float4x4:
            return 16;
        default:
            return 1;
    }
}

const char* GlslType(EffectParameterType type) {
    switch (type) {
        case EffectParameterType::Int:
            return "int";
        case EffectParameterType::Float2:
            return "vec2";
        case EffectParameterType::Float3:
            return "vec3";
        case EffectParameterType::Float4:
            return "vec4";
        case EffectParameterType::Float4x4:
            return "mat4";
        default:
            return "float";
    }
}

struct Parameter {
    EffectParameterDesc desc;
    std::vector<std::uint32_t> words;  // floats or ints, bit for bit
};

struct Technique {
    EffectTechniqueDesc desc;
    GLuint vertex = 0, pixel = 0;
    std::vector<GLint> vertexLocations, pixelLocations;  // per parameter, -1 when unused
};

class GlEffect final : public IGraphicsEffect, private GlContextObject {
public:
    GlEffect(GlDevice* device) : m_device(device) { m_device->ResourceCreated(false, 0, this); }

    ~GlEffect() override {
        if (m_inPass) {
            m_device->SetEffectStages(0, 0);
        }
        for (Technique& t : m_techniques) {
            glDeleteProgram(t.vertex);
            glDeleteProgram(t.pixel);
        }
        m_device->ResourceDestroyed(false, 0, this);
    }

    HRESULT Build(const EffectDesc& desc, std::string* messages) {
        for (const EffectParameterDesc& p : desc.parameters) {
            Parameter parameter{p, {}};
            const std::uint32_t count = ComponentsOf(p.type) * (p.elements ? p.elements : 1);
            parameter.words.assign(count, 0u);
            for (std::size_t i = 0; i < p.defaults.size() && i < count; ++i) {
                if (p.type == EffectParameterType::Int) {
                    parameter.words[i] =
                        static_cast<std::uint32_t>(static_cast<std::int32_t>(p.defaults[i]));
                } else {
                    std::memcpy(&parameter.words[i], &p.defaults[i], 4);
                }
            }
            m_parameters.push_back(std::move(parameter));
            m_uniforms += std::string("uniform ") + GlslType(p.type) + " " + p.name;
            m_uniforms += p.elements ? "[" + std::to_string(p.elements) + "];\n" : ";\n";
        }
        for (const EffectTechniqueDesc& t : desc.techniques) {
            m_techniques.push_back(Technique{t, 0, 0, {}, {}});
            std::string log;
            if (!Compile(m_techniques.back(), &log)) {
                if (messages) {
                    *messages += "technique " + t.name + ": " + log;
                }
                return E_FAIL;
            }
        }
        return D3D_OK;
    }

    D3DXHANDLE GetTechniqueByName(const char* name) override {
        for (const Technique& t : m_techniques) {
            if (name && t.desc.name == name) {
                return reinterpret_cast<D3DXHANDLE>(&t);
            }
        }
        return nullptr;
    }

    D3DXHANDLE GetParameterBySemantic(D3DXHANDLE, const char* semantic) override {
        for (const Parameter& p : m_parameters) {
            if (semantic && p.desc.semantic == semantic) {
                return reinterpret_cast<D3DXHANDLE>(&p);
            }
        }
        return nullptr;
    }

    D3DXHANDLE GetParameterByName(D3DXHANDLE, const char* name) override {
        for (const Parameter& p : m_parameters) {
            if (name && p.desc.name == name) {
                return reinterpret_cast<D3DXHANDLE>(&p);
            }
        }
        return nullptr;
    }

    HRESULT SetTechnique(D3DXHANDLE handle) override {
        Technique* technique = TechniqueOf(handle);
        if (!technique || m_begun) {
            return D3DERR_INVALIDCALL;
        }
        m_technique = technique;
        return D3D_OK;
    }

    HRESULT Begin(std::uint32_t* passes, std::uint32_t flags) override {
        if (!m_technique || m_begun) {
            return D3DERR_INVALIDCALL;
        }
        m_saved.clear();
        if ((flags & D3DXFX_DONOTSAVESTATE) == 0) {
            for (EffectStateDesc state : m_technique->desc.states) {
                if (FAILED(GetState(&state))) {
                    return D3DERR_INVALIDCALL;
                }
                m_saved.push_back(state);
            }
        }
        m_begun = true;
        if (passes) {
            *passes = 1;
        }
        return D3D_OK;
    }

    HRESULT BeginPass(std::uint32_t pass) override {
        if (!m_begun || m_inPass || pass != 0) {
            return D3DERR_INVALIDCALL;
        }
        for (const EffectStateDesc& state : m_technique->desc.states) {
            SetState(state);
        }
        m_device->SetEffectStages(m_technique->vertex, m_technique->pixel);
        m_inPass = true;
        Upload();
        return D3D_OK;
    }

    HRESULT CommitChanges() override {
        if (!m_inPass) {
            return D3DERR_INVALIDCALL;
        }
        Upload();
        return D3D_OK;
    }

    HRESULT EndPass() override {
        if (!m_inPass) {
            return D3DERR_INVALIDCALL;
        }
        m_device->SetEffectStages(0, 0);
        m_inPass = false;
        return D3D_OK;
    }

    HRESULT End() override {
        if (!m_begun) {
            return D3DERR_INVALIDCALL;
        }
        if (m_inPass) {
            EndPass();
        }
        for (const EffectStateDesc& state : m_saved) {
            SetState(state);
        }
        m_saved.clear();
        m_begun = false;
        return D3D_OK;
    }

    HRESULT SetRawValue(D3DXHANDLE handle, const void* data, std::uint32_t offset,
                        std::uint32_t bytes) override {
        Parameter* p = ParameterOf(handle);
        if (!p || !data || offset > p->words.size() * 4 || bytes > p->words.size() * 4 - offset) {
            return D3DERR_INVALIDCALL;
        }
        std::memcpy(reinterpret_cast<std::uint8_t*>(p->words.data()) + offset, data, bytes);
        return D3D_OK;
    }

    HRESULT SetValue(D3DXHANDLE handle, const void* data, std::uint32_t bytes) override {
        return SetRawValue(handle, data, 0, bytes);
    }

    HRESULT SetMatrix(D3DXHANDLE handle, const D3DMATRIX* matrix) override {
        Parameter* p = ParameterOf(handle);
        if (!p || !matrix || p->desc.type != EffectParameterType::Float4x4) {
            return D3DERR_INVALIDCALL;
        }
        return SetRawValue(handle, matrix->m, 0, sizeof(matrix->m));
    }

    HRESULT SetFloat(D3DXHANDLE handle, float value) override {
        Parameter* p = ParameterOf(handle);
        if (!p || p->desc.type == EffectParameterType::Int) {
            return p ? SetInt(handle, static_cast<std::int32_t>(value)) : D3DERR_INVALIDCALL;
        }
        return SetRawValue(handle, &value, 0, 4);
    }

    HRESULT SetInt(D3DXHANDLE handle, std::int32_t value) override {
        Parameter* p = ParameterOf(handle);
        if (!p) {
            return D3DERR_INVALIDCALL;
        }
        if (p->desc.type != EffectParameterType::Int) {
            return SetFloat(handle, static_cast<float>(value));
        }
        return SetRawValue(handle, &value, 0, 4);
    }

    HRESULT SetVector(D3DXHANDLE handle, const D3DVECTOR4* vector) override {
        Parameter* p = ParameterOf(handle);
        if (!p || !vector || p->desc.type == EffectParameterType::Int ||
            p->desc.type == EffectParameterType::Float4x4) {
            return D3DERR_INVALIDCALL;
        }
        // A vector fills as many components as the parameter has.
        const std::uint32_t bytes = ComponentsOf(p->desc.type) * 4;
        return SetRawValue(handle, vector, 0, bytes);
    }

    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    // The technique's stages and where each parameter lives in them.
    bool Compile(Technique& technique, std::string* log) {
        const EffectTechniqueDesc& t = technique.desc;
        if (!t.vertexShader.empty()) {
            technique.vertex = CompileStage(
                GL_VERTEX_SHADER, VertexStagePrelude() + m_uniforms + t.vertexShader, log);
        }
        if (!t.pixelShader.empty()) {
            technique.pixel = CompileStage(
                GL_FRAGMENT_SHADER, PixelStagePrelude() + m_uniforms + t.pixelShader, log);
        }
        technique.vertexLocations.clear();
        technique.pixelLocations.clear();
        for (const Parameter& p : m_parameters) {
            const char* name = p.desc.name.c_str();
            technique.vertexLocations.push_back(
                technique.vertex ? glGetUniformLocation(technique.vertex, name) : -1);
            technique.pixelLocations.push_back(
                technique.pixel ? glGetUniformLocation(technique.pixel, name) : -1);
        }
        return (t.vertexShader.empty() || technique.vertex != 0) &&
               (t.pixelShader.empty() || technique.pixel != 0);
    }

    // Parameter values live here, so they reach the new programs at the next BeginPass.
    bool RecreateInNewContext() override {
        bool compiled = true;
        std::string log;
        for (Technique& t : m_techniques) {
            compiled = Compile(t, &log) && compiled;
        }
        return compiled;
    }

    Technique* TechniqueOf(D3DXHANDLE handle) {
        for (Technique& t : m_techniques) {
            if (reinterpret_cast<D3DXHANDLE>(&t) == handle) {
                return &t;
            }
        }
        return nullptr;
    }

    Parameter* ParameterOf(D3DXHANDLE handle) {
        for (Parameter& p : m_parameters) {
            if (handle && reinterpret_cast<D3DXHANDLE>(&p) == handle) {
                return &p;
            }
        }
        return nullptr;
    }

    HRESULT GetState(EffectStateDesc* state) {
        switch (state->kind) {
            case EffectStateKind::Render:
                return m_device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state->state),
                                                &state->value);
            case EffectStateKind::Sampler:
                return m_device->GetSamplerState(
                    state->stage, static_cast<D3DSAMPLERSTATETYPE>(state->state), &state->value);
            default:
                return m_device->GetTextureStageState(
                    state->stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state->state),
                    &state->value);
        }
    }

    void SetState(const EffectStateDesc& state) {
        switch (state.kind) {
            case EffectStateKind::Render:
                m_device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state.state), state.value);
                break;
            case EffectStateKind::Sampler:
                m_device->SetSamplerState(
                    state.stage, static_cast<D3DSAMPLERSTATETYPE>(state.state), state.value);
                break;
            default:
                m_device->SetTextureStageState(
                    state.stage, static_cast<D3DTEXTURESTAGESTATETYPE>(state.state), state.value);
                break;
        }
    }

    static void UploadTo(GLuint program, GLint location, const Parameter& p) {
        if (!program || location < 0) {
            return;
        }
        const auto n = static_cast<GLsizei>(p.desc.elements ? p.desc.elements : 1);
        const auto* f = reinterpret_cast<const GLfloat*>(p.words.data());
        switch (p.desc.type) {
            case EffectParameterType::Float:
                glProgramUniform1fv(program, location, n, f);
                break;
            case EffectParameterType::Int:
                glProgramUniform1iv(program, location, n,
                                    reinterpret_cast<const GLint*>(p.words.data()));
                break;
            case EffectParameterType::Float2:
                glProgramUniform2fv(program, location, n, f);
                break;
            case EffectParameterType::Float3:
                glProgramUniform3fv(program, location, n, f);
                break;
            case EffectParameterType::Float4:
                glProgramUniform4fv(program, location, n, f);
                break;
            case EffectParameterType::Float4x4:
                // As written: GLSL's columns are the rows of the row-major matrix.
                glProgramUniformMatrix4fv(program, location, n, GL_FALSE, f);
                break;
        }
    }

    void Upload() {
        for (std::size_t i = 0; i < m_parameters.size(); ++i) {
            UploadTo(m_technique->vertex, m_technique->vertexLocations[i], m_parameters[i]);
            UploadTo(m_technique->pixel, m_technique->pixelLocations[i], m_parameters[i]);
        }
    }

    GlDevice* m_device;
    std::string m_uniforms;  // one declaration per parameter, in front of every stage
    std::vector<Parameter> m_parameters;
    std::vector<Technique> m_techniques;
    Technique* m_technique = nullptr;
    std::vector<EffectStateDesc> m_saved;
    bool m_begun = false;
    bool m_inPass = false;
};

}  // namespace

HRESULT CreateGlEffect(GlDevice* device, const EffectDesc& desc, IGraphicsEffect** effect,
                       std::string* messages) {
    if (!device || !effect) {
        return D3DERR_INVALIDCALL;
    }
    auto* created = new GlEffect(device);
    const HRESULT hr = created->Build(desc, messages);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *effect = created;
    return D3D_OK;
}

}  // namespace platform
