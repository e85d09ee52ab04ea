#pragma once
// The GLSL pieces shared by the device's fixed-function stages and the effect's techniques: the
// stage interfaces (so any vertex stage pairs with any pixel stage in one program pipeline), the
// fixed-function programs, and compilation of one separable stage.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <epoxy/gl.h>

#include <string>

namespace platform {

// "#version" line, stage inputs and outputs, tovelSetPosition (Direct3D clip space in, y negated
// for the top-row-first targets) and the samplers s0, s1 of the pixel stage.
const char* VertexStagePrelude();
const char* PixelStagePrelude();

// A separable program of one stage; 0 with the compiler's and linker's log in `log` on failure.
GLuint CompileStage(GLenum stage, const std::string& source, std::string* log);

// Pre-transformed vertices: pixel positions of render target 0 with Direct3D 9 pixel centres.
// Uniform tovel_TargetSize (vec2) is the size of render target 0.
const char* FixedVertexStageSource();

// The texture-stage operations of stages 0 and 1. Uniforms: tovel_ColorOp[2] and tovel_AlphaOp[2]
// (ivec3: op, arg1, arg2, Direct3D values), tovel_HasTexture[2] (int).
const char* FixedPixelStageSource();

}  // namespace platform
