// Direct3D 9 values in GL's terms: see GlTranslate.h.

#include "platform/graphics/gl/GlTranslate.h"

namespace platform {

GLenum BlendFactor(std::uint32_t blend) {
    switch (blend) {
        case D3DBLEND_ZERO:
            return GL_ZERO;
        case D3DBLEND_SRCCOLOR:
            return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR:
            return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA:
            return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA:
            return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA:
            return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA:
            return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR:
            return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR:
            return GL_ONE_MINUS_DST_COLOR;
        default:
            return GL_ONE;
    }
}

GLenum BlendEquation(std::uint32_t op) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT:
            return GL_FUNC_SUBTRACT;
        case D3DBLENDOP_REVSUBTRACT:
            return GL_FUNC_REVERSE_SUBTRACT;
        case D3DBLENDOP_MIN:
            return GL_MIN;
        case D3DBLENDOP_MAX:
            return GL_MAX;
        default:
            return GL_FUNC_ADD;
    }
}

GLenum CompareFunction(std::uint32_t cmp) {
    switch (cmp) {
        case D3DCMP_NEVER:
            return GL_NEVER;
        case D3DCMP_LESS:
            return GL_LESS;
        case D3DCMP_EQUAL:
            return GL_EQUAL;
        case D3DCMP_GREATER:
            return GL_GREATER;
        case D3DCMP_NOTEQUAL:
            return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL:
            return GL_GEQUAL;
        case D3DCMP_ALWAYS:
            return GL_ALWAYS;
        default:
            return GL_LEQUAL;
    }
}

GLint Filter(std::uint32_t filter) {
    return filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
}

GLint Address(std::uint32_t address) {
    switch (address) {
        case D3DTADDRESS_MIRROR:
            return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP:
            return GL_CLAMP_TO_EDGE;
        default:
            return GL_REPEAT;
    }
}

std::pair<GLenum, GLsizei> Primitives(D3DPRIMITIVETYPE type, std::uint32_t primitives) {
    const auto n = static_cast<GLsizei>(primitives);
    switch (type) {
        case D3DPT_POINTLIST:
            return {GL_POINTS, n};
        case D3DPT_LINELIST:
            return {GL_LINES, 2 * n};
        case D3DPT_LINESTRIP:
            return {GL_LINE_STRIP, n + 1};
        case D3DPT_TRIANGLELIST:
            return {GL_TRIANGLES, 3 * n};
        case D3DPT_TRIANGLESTRIP:
            return {GL_TRIANGLE_STRIP, n + 2};
        case D3DPT_TRIANGLEFAN:
            return {GL_TRIANGLE_FAN, n + 2};
        default:
            return {0, 0};
    }
}

bool AttributeOf(const D3DVERTEXELEMENT9& e, GLuint* location, GLint* size, GLenum* type,
                 GLboolean* normalized) {
    switch (e.Usage) {
        case D3DDECLUSAGE_POSITION:
            *location = kAttribPosition;
            break;
        case D3DDECLUSAGE_NORMAL:
            *location = kAttribNormal;
            break;
        case D3DDECLUSAGE_TEXCOORD:
            *location = kAttribTexcoord0 + e.UsageIndex;
            break;
        case D3DDECLUSAGE_COLOR:
            *location = kAttribColor0;
            break;
        default:
            return false;
    }
    if ((e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex > 1) ||
        (e.Usage != D3DDECLUSAGE_TEXCOORD && e.UsageIndex != 0)) {
        return false;
    }
    *normalized = GL_FALSE;
    *type = GL_FLOAT;
    switch (e.Type) {
        case D3DDECLTYPE_FLOAT1:
            *size = 1;
            return true;
        case D3DDECLTYPE_FLOAT2:
            *size = 2;
            return true;
        case D3DDECLTYPE_FLOAT3:
            *size = 3;
            return true;
        case D3DDECLTYPE_FLOAT4:
            *size = 4;
            return true;
        case D3DDECLTYPE_D3DCOLOR:
            // Bytes B, G, R, A in memory; GL_BGRA swizzles them to r, g, b, a.
            *size = GL_BGRA;
            *type = GL_UNSIGNED_BYTE;
            *normalized = GL_TRUE;
            return true;
        default:
            return false;
    }
}

}  // namespace platform
