// The GL device's per-draw work: the states the system sets, applied to GL just before each draw,
// the bindings of textures, buffers and declarations, and the two kinds of draw. The device's
// lifecycle and resources live in GlDevice.cpp.

#include <algorithm>
#include <cassert>
#include <vector>

#include "platform/graphics/gl/GlDevice.h"
#include "platform/graphics/gl/GlEffect.h"
#include "platform/graphics/gl/GlResources.h"
#include "platform/graphics/gl/GlShaders.h"
#include "platform/graphics/gl/GlTranslate.h"

namespace platform {

namespace {
constexpr GLuint kAttributeCount = 5;
}  // namespace

HRESULT GlDevice::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport || viewport->X + viewport->Width > m_renderTarget->GetWidth() ||
        viewport->Y + viewport->Height > m_renderTarget->GetHeight()) {
        return D3DERR_INVALIDCALL;
    }
    m_viewport = *viewport;
    return D3D_OK;
}

HRESULT GlDevice::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) {
        return D3DERR_INVALIDCALL;
    }
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT GlDevice::SetScissorRect(const RECT* rect) {
    if (!rect) {
        return D3DERR_INVALIDCALL;
    }
    m_scissor = *rect;
    return D3D_OK;
}

HRESULT GlDevice::GetScissorRect(RECT* rect) {
    if (!rect) {
        return D3DERR_INVALIDCALL;
    }
    *rect = m_scissor;
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    auto found = m_renderStates.find(state);
    if (found == m_renderStates.end()) {
        return D3DERR_INVALIDCALL;
    }
    if (state == D3DRS_ALPHATESTENABLE && value != 0) {
        return E_NOTIMPL;
    }
    found->second = value;
    return D3D_OK;
}

HRESULT GlDevice::GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) {
    auto found = m_renderStates.find(state);
    if (found == m_renderStates.end() || !value) {
        return D3DERR_INVALIDCALL;
    }
    *value = found->second;
    return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                                  std::uint32_t value) {
    if (sampler >= kStages || !m_samplerStates[sampler].contains(state)) {
        return D3DERR_INVALIDCALL;
    }
    m_samplerStates[sampler][state] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                                  std::uint32_t* value) {
    if (sampler >= kStages || !value || !m_samplerStates[sampler].contains(state)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_samplerStates[sampler][state];
    return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                       std::uint32_t value) {
    if (stage >= kStages || !m_stageStates[stage].contains(state)) {
        return D3DERR_INVALIDCALL;
    }
    m_stageStates[stage][state] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                       std::uint32_t* value) {
    if (stage >= kStages || !value || !m_stageStates[stage].contains(state)) {
        return D3DERR_INVALIDCALL;
    }
    *value = m_stageStates[stage][state];
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(std::uint32_t stage, IGraphicsTexture* texture) {
    if (stage >= kStages) {
        return D3DERR_INVALIDCALL;
    }
    Hold(m_textures[stage], static_cast<GlTexture*>(texture));
    return D3D_OK;
}

HRESULT GlDevice::GetTexture(std::uint32_t stage, IGraphicsTexture** texture) {
    if (stage >= kStages || !texture) {
        return D3DERR_INVALIDCALL;
    }
    *texture = m_textures[stage];
    if (*texture) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

HRESULT GlDevice::GetFVF(std::uint32_t* fvf) {
    if (!fvf) {
        return D3DERR_INVALIDCALL;
    }
    *fvf = m_fvf;
    return D3D_OK;
}

HRESULT GlDevice::SetFVF(std::uint32_t fvf) {
    const std::uint32_t known = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1 | D3DFVF_TEX2;
    if ((fvf & ~known) != 0 || (fvf & D3DFVF_XYZRHW) == 0 ||
        (fvf & (D3DFVF_TEX1 | D3DFVF_TEX2)) == (D3DFVF_TEX1 | D3DFVF_TEX2)) {
        return D3DERR_INVALIDCALL;
    }
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT GlDevice::SetVertexDeclaration(IGraphicsVertexDeclaration* declaration) {
    Hold(m_declaration, static_cast<GlVertexDeclaration*>(declaration));
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(std::uint32_t stream, IGraphicsVertexBuffer* buffer,
                                  std::uint32_t offset, std::uint32_t stride) {
    if (stream != 0) {
        return D3DERR_INVALIDCALL;
    }
    Hold(m_stream, static_cast<GlVertexBuffer*>(buffer));
    m_streamOffset = offset;
    m_streamStride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IGraphicsIndexBuffer* buffer) {
    Hold(m_indices, static_cast<GlIndexBuffer*>(buffer));
    return D3D_OK;
}

void GlDevice::ApplyStates(bool pretransformed) {
    const std::uint32_t targetWidth = m_renderTarget->GetWidth();
    const std::uint32_t targetHeight = m_renderTarget->GetHeight();
    if (pretransformed) {
        // Pre-transformed positions are pixels of the target; the viewport does not scale them.
        glViewport(0, 0, static_cast<GLsizei>(targetWidth), static_cast<GLsizei>(targetHeight));
        glDepthRangef(0.0f, 1.0f);
    } else {
        glViewport(static_cast<GLint>(m_viewport.X), static_cast<GLint>(m_viewport.Y),
                   static_cast<GLsizei>(m_viewport.Width), static_cast<GLsizei>(m_viewport.Height));
        glDepthRangef(m_viewport.MinZ, m_viewport.MaxZ);
    }
    auto& rs = m_renderStates;
    if (rs[D3DRS_ZENABLE] && m_depthStencil) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunction(rs[D3DRS_ZFUNC]));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        glBlendFunc(BlendFactor(rs[D3DRS_SRCBLEND]), BlendFactor(rs[D3DRS_DESTBLEND]));
        glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
    } else {
        glDisable(GL_BLEND);
    }
    // GL window y is the Direct3D row, so a triangle Direct3D sees clockwise has a positive
    // area in GL's terms, which GL calls counter-clockwise.
    glFrontFace(GL_CCW);
    switch (rs[D3DRS_CULLMODE]) {
        case D3DCULL_CCW:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            break;
        case D3DCULL_CW:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            break;
        default:
            glDisable(GL_CULL_FACE);
            break;
    }
    if (rs[D3DRS_SCISSORTESTENABLE]) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(m_scissor.left, m_scissor.top, std::max(0, m_scissor.right - m_scissor.left),
                  std::max(0, m_scissor.bottom - m_scissor.top));
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
    GLint colorOps[kStages * 3], alphaOps[kStages * 3], hasTexture[kStages];
    for (std::uint32_t stage = 0; stage < kStages; ++stage) {
        auto& ss = m_samplerStates[stage];
        const GLuint sampler = m_samplers[stage];
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, Filter(ss[D3DSAMP_MINFILTER]));
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, Filter(ss[D3DSAMP_MAGFILTER]));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, Address(ss[D3DSAMP_ADDRESSU]));
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, Address(ss[D3DSAMP_ADDRESSV]));
        glBindSampler(stage, sampler);
        glBindTextureUnit(stage, m_textures[stage] ? m_textures[stage]->Name() : 0);
        auto& ts = m_stageStates[stage];
        colorOps[stage * 3] = static_cast<GLint>(ts[D3DTSS_COLOROP]);
        colorOps[stage * 3 + 1] = static_cast<GLint>(ts[D3DTSS_COLORARG1]);
        colorOps[stage * 3 + 2] = static_cast<GLint>(ts[D3DTSS_COLORARG2]);
        alphaOps[stage * 3] = static_cast<GLint>(ts[D3DTSS_ALPHAOP]);
        alphaOps[stage * 3 + 1] = static_cast<GLint>(ts[D3DTSS_ALPHAARG1]);
        alphaOps[stage * 3 + 2] = static_cast<GLint>(ts[D3DTSS_ALPHAARG2]);
        hasTexture[stage] = m_textures[stage] ? 1 : 0;
    }
    glProgramUniform3iv(m_fixedPixel, m_colorOpLocation, kStages, colorOps);
    glProgramUniform3iv(m_fixedPixel, m_alphaOpLocation, kStages, alphaOps);
    glProgramUniform1iv(m_fixedPixel, m_hasTextureLocation, kStages, hasTexture);
    glProgramUniform2f(m_fixedVertex, m_targetSizeLocation, static_cast<float>(targetWidth),
                       static_cast<float>(targetHeight));
}

void GlDevice::PreparePipeline() {
    glUseProgramStages(m_pipeline, GL_VERTEX_SHADER_BIT,
                       m_effectVertex ? m_effectVertex : m_fixedVertex);
    glUseProgramStages(m_pipeline, GL_FRAGMENT_SHADER_BIT,
                       m_effectPixel ? m_effectPixel : m_fixedPixel);
    glUseProgram(0);
    glBindProgramPipeline(m_pipeline);
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitives,
                                  const void* vertices, std::uint32_t stride) {
    const auto [mode, count] = Primitives(type, primitives);
    if (mode == 0 || !vertices || m_fvf == 0) {
        return D3DERR_INVALIDCALL;
    }
    const bool diffuse = (m_fvf & D3DFVF_DIFFUSE) != 0;
    const GLuint texcoords = (m_fvf & D3DFVF_TEX2) ? 2 : (m_fvf & D3DFVF_TEX1) ? 1 : 0;
    const std::uint32_t needed = 16 + (diffuse ? 4 : 0) + 8 * texcoords;
    if (stride < needed) {
        return D3DERR_INVALIDCALL;
    }
    glNamedBufferData(m_userBuffer, static_cast<GLsizeiptr>(count) * stride, vertices,
                      GL_STREAM_DRAW);
    for (GLuint location = 0; location < kAttributeCount; ++location) {
        glDisableVertexArrayAttrib(m_userArray, location);
    }
    auto attribute = [&](GLuint location, GLint size, GLenum type, GLboolean normalized,
                         GLuint offset) {
        glEnableVertexArrayAttrib(m_userArray, location);
        glVertexArrayAttribFormat(m_userArray, location, size, type, normalized, offset);
        glVertexArrayAttribBinding(m_userArray, location, 0);
    };
    attribute(kAttribPosition, 4, GL_FLOAT, GL_FALSE, 0);
    GLuint offset = 16;
    if (diffuse) {
        attribute(kAttribColor0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, offset);
        offset += 4;
    }
    for (GLuint t = 0; t < texcoords; ++t, offset += 8) {
        attribute(kAttribTexcoord0 + t, 2, GL_FLOAT, GL_FALSE, offset);
    }
    glVertexArrayVertexBuffer(m_userArray, 0, m_userBuffer, 0, static_cast<GLsizei>(stride));
    ApplyStates(m_effectVertex == 0);
    PreparePipeline();
    glBindVertexArray(m_userArray);
    glDrawArrays(mode, 0, count);
    return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertex,
                                       std::uint32_t, std::uint32_t, std::uint32_t startIndex,
                                       std::uint32_t primitives) {
    const auto [mode, count] = Primitives(type, primitives);
    if (mode == 0 || !m_declaration || !m_stream || !m_indices || m_effectVertex == 0) {
        return D3DERR_INVALIDCALL;
    }
    for (GLuint location = 0; location < kAttributeCount; ++location) {
        glDisableVertexArrayAttrib(m_declArray, location);
    }
    for (const D3DVERTEXELEMENT9& e : m_declaration->Elements()) {
        GLuint location;
        GLint size;
        GLenum attributeType;
        GLboolean normalized;
        AttributeOf(e, &location, &size, &attributeType, &normalized);
        glEnableVertexArrayAttrib(m_declArray, location);
        glVertexArrayAttribFormat(m_declArray, location, size, attributeType, normalized, e.Offset);
        glVertexArrayAttribBinding(m_declArray, location, 0);
    }
    glVertexArrayVertexBuffer(m_declArray, 0, m_stream->Name(), m_streamOffset,
                              static_cast<GLsizei>(m_streamStride));
    glVertexArrayElementBuffer(m_declArray, m_indices->Name());
    ApplyStates(false);
    PreparePipeline();
    glBindVertexArray(m_declArray);
    glDrawElementsBaseVertex(
        mode, count, GL_UNSIGNED_SHORT,
        reinterpret_cast<const void*>(static_cast<std::uintptr_t>(startIndex) * 2), baseVertex);
    return D3D_OK;
}

}  // namespace platform
