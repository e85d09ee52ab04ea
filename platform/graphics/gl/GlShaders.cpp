// GLSL shared by the fixed-function stages and the effect: see GlShaders.h.
// Stages talk through fixed locations (diffuse 0, texture coordinates 1 and 2) so that separable
// programs of different origin link in one pipeline without a common compile.

#include "platform/graphics/gl/GlShaders.h"

#include <vector>

namespace platform {

const char* VertexStagePrelude() {
    return R"(#version 450 core
layout(location = 0) in vec4 tovel_InPosition;
layout(location = 1) in vec4 tovel_InNormal;
layout(location = 2) in vec2 tovel_InTex0;
layout(location = 3) in vec2 tovel_InTex1;
layout(location = 4) in vec4 tovel_InColor;
out gl_PerVertex { vec4 gl_Position; };
layout(location = 0) out vec4 tovel_Diffuse;
layout(location = 1) out vec2 tovel_Tex0;
layout(location = 2) out vec2 tovel_Tex1;
// Direct3D's clip space has +y at the top of the picture; our targets keep the top in row 0,
// which GL calls y = 0, hence the negation.
void tovelSetPosition(vec4 clip) { gl_Position = vec4(clip.x, -clip.y, clip.z, clip.w); }
)";
}

const char* PixelStagePrelude() {
    return R"(#version 450 core
layout(location = 0) in vec4 tovel_Diffuse;
layout(location = 1) in vec2 tovel_Tex0;
layout(location = 2) in vec2 tovel_Tex1;
layout(location = 0) out vec4 tovel_Color;
layout(binding = 0) uniform sampler2D s0;
layout(binding = 1) uniform sampler2D s1;
)";
}

GLuint CompileStage(GLenum stage, const std::string& source, std::string* log) {
    const char* text = source.c_str();
    GLuint program = glCreateShaderProgramv(stage, 1, &text);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_TRUE) {
        return program;
    }
    if (log) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        glGetProgramInfoLog(program, length, nullptr, text.data());
        *log += text.data();
    }
    glDeleteProgram(program);
    return 0;
}

const char* FixedVertexStageSource() {
    return R"(
uniform vec2 tovel_TargetSize;
void main() {
    // Direct3D 9 puts pixel centres on whole coordinates, GL half a pixel further on.
    vec2 ndc = vec2((tovel_InPosition.x + 0.5) / tovel_TargetSize.x * 2.0 - 1.0,
                    1.0 - (tovel_InPosition.y + 0.5) / tovel_TargetSize.y * 2.0);
    float w = 1.0 / tovel_InPosition.w;
    tovelSetPosition(vec4(ndc * w, tovel_InPosition.z * w, w));
    tovel_Diffuse = tovel_InColor;
    tovel_Tex0 = tovel_InTex0;
    tovel_Tex1 = tovel_InTex1;
}
)";
}

const char* FixedPixelStageSource() {
    return R"(
uniform ivec3 tovel_ColorOp[2];
uniform ivec3 tovel_AlphaOp[2];
uniform int tovel_HasTexture[2];

vec4 Argument(int which, vec4 current, vec4 texel) {
    if (which == 2) return texel;
    if (which == 1) return current;
    return tovel_Diffuse;
}

vec4 Operate(int op, vec4 a1, vec4 a2, float textureAlpha) {
    if (op == 3) return a2;                                // select argument 2
    if (op == 4) return a1 * a2;                           // modulate
    if (op == 7) return a1 + a2;                           // add
    if (op == 11) return a1 + a2 - a1 * a2;                // add smooth
    if (op == 15) return a1 + a2 * (1.0 - textureAlpha);  // blend texture alpha, premultiplied
    return a1;                                             // select argument 1
}

void main() {
    vec4 current = tovel_Diffuse;
    for (int stage = 0; stage < 2; ++stage) {
        if (tovel_ColorOp[stage].x == 1) break;  // a disabled stage ends the cascade
        ivec3 c = tovel_ColorOp[stage];
        ivec3 a = tovel_AlphaOp[stage];
        // A stage that reads a texture it does not have passes the current colour on, so the
        // default stage states draw untextured vertices in their diffuse colour and alpha.
        if (tovel_HasTexture[stage] == 0 && (c.y == 2 || c.z == 2 || a.y == 2 || a.z == 2)) {
            continue;
        }
        vec4 texel = vec4(1.0);
        if (tovel_HasTexture[stage] != 0) {
            texel = stage == 0 ? texture(s0, tovel_Tex0) : texture(s1, tovel_Tex1);
        }
        vec3 rgb = Operate(c.x, Argument(c.y, current, texel), Argument(c.z, current, texel),
                           texel.a).rgb;
        float alpha = a.x == 1 ? current.a
                               : Operate(a.x, Argument(a.y, current, texel),
                                         Argument(a.z, current, texel), texel.a).a;
        current = clamp(vec4(rgb, alpha), 0.0, 1.0);
    }
    tovel_Color = current;
}
)";
}

}  // namespace platform
