#pragma once
// Direct3D 9 state values, primitive types and vertex elements in GL's terms. Unknown values map
// to Direct3D's defaults' counterparts; callers validate what they accept.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <epoxy/gl.h>

#include <cstdint>
#include <utility>

#include "platform/graphics/GraphicsTypes.h"

namespace platform {

GLenum BlendFactor(std::uint32_t blend);
GLenum BlendEquation(std::uint32_t op);
GLenum CompareFunction(std::uint32_t cmp);
GLint Filter(std::uint32_t filter);
GLint Address(std::uint32_t address);
// GL mode and vertex count of `primitives` primitives; mode 0 for an unknown type.
std::pair<GLenum, GLsizei> Primitives(D3DPRIMITIVETYPE type, std::uint32_t primitives);
// The attribute location and format of a declaration element; false if it has none here.
bool AttributeOf(const D3DVERTEXELEMENT9& e, GLuint* location, GLint* size, GLenum* type,
                 GLboolean* normalized);

}  // namespace platform
