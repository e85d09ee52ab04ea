// The drawing device on OpenGL 4.5 core, with Direct3D 9 semantics.
// Provides: Direct3D 9's default render, sampler and texture-stage states for the states the
// system sets; A8R8G8B8 render-target textures of one level and managed (lockable) textures;
// colour fill, clear, viewport, scissor; managed vertex and 16-bit index buffers; vertex
// declarations; pre-transformed vertices (XYZRHW, optional diffuse, up to two texture
// coordinates) from user memory through a fixed-function emulation of texture stages 0 and 1
// (a stage that reads a texture it lacks passes the current colour on, so untextured vertices
// keep their diffuse colour and alpha);
// indexed lists through an effect's vertex stage; the cooperative levels and Reset; present, and
// a PNG of the presented picture when TOVEL_SNAPSHOT=FILE.png (at Present number
// TOVEL_SNAPSHOT_FRAME, default 30, and at the next Present after each SIGUSR1).
// Device loss: the context is made robust with "lose context on reset" where the driver offers
// it, so a GPU reset (or, on NVIDIA, video memory purged across a suspend) shows in the reset
// status: the device is lost while the driver reports the reset, and can be reset once it no
// longer does. Reset then makes a new context and brings back everything that outlives a
// reset (managed textures and buffers from their copies on the processor, effects from their
// sources); render targets are the owners' to make again, as in Direct3D. SimulateDeviceLoss
// drives the same path without a driver's help.
// Limitations: one render target and one stream; no mip maps; the alpha test can only be off;
// indexed draws need an effect's vertex stage (there is no fixed-function transform and
// lighting); stencil is absent (the back buffer's depth is D16). Without robustness in the
// driver a reset goes unnoticed (the picture may stay black until the program restarts).
// Depends on: SDL2 (GL context, window), libepoxy (GL 4.5 core entry points), SDL2_image (PNG).
//
// This file holds the device's lifecycle, targets and resources; the state application and the
// draws are in GlDraw.cpp, the snapshot writer in GlSnapshot.cpp.
//
// Every target, the back buffer too, is a texture whose GL row 0 holds the top of the picture:
// GL window y equals the Direct3D row, so viewports and rectangles pass through unchanged, the
// vertex stage negates clip y, and only Present flips, when it blits to the window.

#include "platform/graphics/gl/GlDevice.h"

#include <SDL.h>

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/graphics/gl/GlEffect.h"
#include "platform/graphics/gl/GlResources.h"
#include "platform/graphics/gl/GlShaders.h"
#include "platform/graphics/gl/GlTranslate.h"

namespace platform {

namespace {

constexpr int kRequiredGlVersion = 45;

#if defined(__SANITIZE_ADDRESS__)
// The leak checker runs at exit, after SDL has unloaded the GL driver; the driver's allocations
// would then show frames of no module and be reported. Keeping every library loaded so far in
// memory until the end keeps what they hold reachable, so only our own leaks are reported.
void KeepLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name && *info->dlpi_name) {
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}
#else
void KeepLoadedLibraries() {}
#endif

// An OpenGL 4.5 core context for the window, made current. Robust with "lose context on reset"
// where the driver has it, so that a GPU reset is reported instead of hanging or drawing
// garbage (and under NVIDIA's GLX also a purge of video memory); an ordinary context otherwise.
SDL_GLContext CreateContext(SDL_Window* window) {
    if (void* context = CreatePurgeReportingContext(window)) {
        return static_cast<SDL_GLContext>(context);
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
        context = SDL_GL_CreateContext(window);
    }
    return context;
}

}  // namespace

HRESULT CreateGlDevice(SDL_Window* window, IGraphicsDevice** device) {
    if (!window || !device) {
        return E_INVALIDARG;
    }
    SDL_GLContext context = CreateContext(window);
    if (!context) {
        std::fprintf(stderr, "GL 4.5 core context: %s\n", SDL_GetError());
        return E_FAIL;
    }
    KeepLoadedLibraries();
    auto* created = new GlDevice(window, false, context);
    const HRESULT hr = created->Initialise();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *device = created;
    return D3D_OK;
}

HRESULT CreateHiddenGlDevice(std::uint32_t width, std::uint32_t height, IGraphicsDevice** device) {
    if (!device || width == 0 || height == 0) {
        return E_INVALIDARG;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return E_FAIL;
    }
    SDL_Window* window = SDL_CreateWindow("tovel", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          static_cast<int>(width), static_cast<int>(height),
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        std::fprintf(stderr, "GL window: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return E_FAIL;
    }
    SDL_GLContext context = CreateContext(window);
    if (!context) {
        std::fprintf(stderr, "GL 4.5 core context: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return E_FAIL;
    }
    KeepLoadedLibraries();
    auto* created = new GlDevice(window, true, context);
    const HRESULT hr = created->Initialise();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *device = created;
    return D3D_OK;
}

bool KeepGraphicsDriverLoaded(std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
        return true;
    }
    if (error) {
        *error = SDL_GetError();
    }
    return false;
}

GlDevice::GlDevice(SDL_Window* window, bool ownsWindow, void* context)
    : m_window(window), m_ownsWindow(ownsWindow), m_context(context) {}

GlDevice::~GlDevice() {
    if (m_framebuffer) {
        DropBindings();
        ReleaseBackBuffer();
        assert(m_liveResources == 0 && "every resource must be released before its device");
        DeleteContextObjects();
    }
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(m_context));
    if (m_ownsWindow) {
        SDL_DestroyWindow(m_window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

HRESULT GlDevice::Initialise() {
    if (SDL_GL_MakeCurrent(m_window, static_cast<SDL_GLContext>(m_context)) != 0) {
        std::fprintf(stderr, "GL context not current: %s\n", SDL_GetError());
        return E_FAIL;
    }
    if (const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER))) {
        m_rendererName = renderer;
    }
    if (epoxy_gl_version() < kRequiredGlVersion || epoxy_is_desktop_gl() == 0) {
        std::fprintf(stderr, "OpenGL 4.5 core is required, the context gives %d\n",
                     epoxy_gl_version());
        return E_FAIL;
    }
    const HRESULT objects = CreateContextObjects();
    if (FAILED(objects)) {
        return objects;
    }
    if (const char* path = std::getenv("TOVEL_SNAPSHOT"); path && *path) {
        m_snapshotPath = path;
        if (const char* frame = std::getenv("TOVEL_SNAPSHOT_FRAME"); frame && *frame) {
            m_snapshotFrame = static_cast<std::uint32_t>(std::strtoul(frame, nullptr, 10));
        }
        ListenForSnapshotRequests();
    }
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_window, &width, &height);
    const HRESULT hr = CreateBackBuffer(static_cast<std::uint32_t>(std::max(width, 1)),
                                        static_cast<std::uint32_t>(std::max(height, 1)));
    ResetStates();
    return hr;
}

HRESULT GlDevice::CreateContextObjects() {
    if (!m_ownsWindow) {
        // A real window presents with the display's rhythm, as the default interval does.
        SDL_GL_SetSwapInterval(1);
    }
    std::string log;
    m_fixedVertex = CompileStage(
        GL_VERTEX_SHADER, std::string(VertexStagePrelude()) + FixedVertexStageSource(), &log);
    m_fixedPixel = CompileStage(GL_FRAGMENT_SHADER,
                                std::string(PixelStagePrelude()) + FixedPixelStageSource(), &log);
    if (!m_fixedVertex || !m_fixedPixel) {
        std::fprintf(stderr, "fixed-function stages: %s\n", log.c_str());
        return E_FAIL;
    }
    m_targetSizeLocation = glGetUniformLocation(m_fixedVertex, "tovel_TargetSize");
    m_colorOpLocation = glGetUniformLocation(m_fixedPixel, "tovel_ColorOp");
    m_alphaOpLocation = glGetUniformLocation(m_fixedPixel, "tovel_AlphaOp");
    m_hasTextureLocation = glGetUniformLocation(m_fixedPixel, "tovel_HasTexture");

    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glCreateFramebuffers(1, &m_framebuffer);
    glCreateProgramPipelines(1, &m_pipeline);
    glCreateVertexArrays(1, &m_userArray);
    glCreateVertexArrays(1, &m_declArray);
    glCreateBuffers(1, &m_userBuffer);
    glCreateSamplers(static_cast<GLsizei>(kStages), m_samplers.data());
    // Inputs a format leaves out read these: Direct3D's diffuse default is opaque white.
    glVertexAttrib4f(kAttribColor0, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttrib4f(kAttribTexcoord0, 0.0f, 0.0f, 0.0f, 1.0f);
    glVertexAttrib4f(kAttribTexcoord0 + 1, 0.0f, 0.0f, 0.0f, 1.0f);
    glVertexAttrib4f(kAttribNormal, 0.0f, 0.0f, 0.0f, 0.0f);
    return D3D_OK;
}

void GlDevice::DeleteContextObjects() {
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteProgramPipelines(1, &m_pipeline);
    glDeleteVertexArrays(1, &m_userArray);
    glDeleteVertexArrays(1, &m_declArray);
    glDeleteBuffers(1, &m_userBuffer);
    glDeleteSamplers(static_cast<GLsizei>(kStages), m_samplers.data());
    glDeleteProgram(m_fixedVertex);
    glDeleteProgram(m_fixedPixel);
    m_framebuffer = m_pipeline = m_userArray = m_declArray = m_userBuffer = 0;
    m_samplers = {};
    m_fixedVertex = m_fixedPixel = 0;
}

HRESULT GlDevice::ReplaceContext(std::uint32_t width, std::uint32_t height) {
    // The new context comes first: when the driver cannot give one yet, the device stays as it
    // was and the reset can be tried again.
    SDL_GLContext old = static_cast<SDL_GLContext>(m_context);
    SDL_GLContext context = CreateContext(m_window);
    if (!context) {
        std::fprintf(stderr, "GL context after a reset: %s\n", SDL_GetError());
        SDL_GL_MakeCurrent(m_window, old);
        return D3DERR_DEVICELOST;
    }
    // What the old context held goes with it; the device's own objects are deleted there, so
    // that no stale name reaches the new context.
    SDL_GL_MakeCurrent(m_window, old);
    ReleaseBackBuffer();
    DeleteContextObjects();
    SDL_GL_MakeCurrent(m_window, context);
    SDL_GL_DeleteContext(old);
    m_context = context;
    HRESULT hr = CreateContextObjects();
    for (GlContextObject* object : m_contextObjects) {
        if (!object->RecreateInNewContext()) {
            hr = E_FAIL;
        }
    }
    const HRESULT backBuffer = CreateBackBuffer(width, height);
    m_contextLost = false;
    return FAILED(hr) ? hr : backBuffer;
}

void GlDevice::ResourceCreated(bool defaultPool, std::uint64_t bytes, GlContextObject* rebuild) {
    ++m_liveResources;
    m_defaultPoolResources += defaultPool ? 1 : 0;
    m_defaultPoolCreated += defaultPool ? 1 : 0;
    m_resourceBytes += bytes;
    if (rebuild) {
        m_contextObjects.push_back(rebuild);
    }
}

void GlDevice::ResourceDestroyed(bool defaultPool, std::uint64_t bytes, GlContextObject* rebuild) {
    --m_liveResources;
    m_defaultPoolResources -= defaultPool ? 1 : 0;
    m_resourceBytes -= bytes;
    if (rebuild) {
        std::erase(m_contextObjects, rebuild);
    }
}

DeviceResourceStatistics GlDevice::GetResourceStatistics() const {
    return {m_liveResources, m_defaultPoolResources, m_defaultPoolCreated, m_resourceBytes};
}

void GlDevice::SetEffectStages(GLuint vertexProgram, GLuint pixelProgram) {
    m_effectVertex = vertexProgram;
    m_effectPixel = pixelProgram;
}

HRESULT GlDevice::CreateBackBuffer(std::uint32_t width, std::uint32_t height) {
    m_backBuffer = new GlTexture(this, width, height, true, D3DPOOL_DEFAULT, false);
    m_backBufferSurface = new GlSurface(m_backBuffer);
    m_autoDepth = new GlSurface(this, width, height);
    SetTargets(m_backBufferSurface, m_autoDepth);
    return D3D_OK;
}

void GlDevice::ReleaseBackBuffer() {
    SetTargets(nullptr, nullptr);
    if (m_backBufferSurface) {
        m_backBufferSurface->Release();
        m_backBufferSurface = nullptr;
    }
    if (m_autoDepth) {
        m_autoDepth->Release();
        m_autoDepth = nullptr;
    }
    if (m_backBuffer) {
        m_backBuffer->Release();
        m_backBuffer = nullptr;
    }
}

void GlDevice::ResetStates() {
    m_renderStates = {
        {D3DRS_ZENABLE, 1},
        {D3DRS_ZWRITEENABLE, 1},
        {D3DRS_ALPHATESTENABLE, 0},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ALPHABLENDENABLE, 0},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_SCISSORTESTENABLE, 0},
    };
    for (std::uint32_t stage = 0; stage < kStages; ++stage) {
        m_samplerStates[stage] = {
            {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
            {D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {D3DSAMP_MINFILTER, D3DTEXF_POINT},
            {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
        };
        const bool first = stage == 0;
        m_stageStates[stage] = {
            {D3DTSS_COLOROP, first ? D3DTOP_MODULATE : D3DTOP_DISABLE},
            {D3DTSS_COLORARG1, D3DTA_TEXTURE},
            {D3DTSS_COLORARG2, D3DTA_CURRENT},
            {D3DTSS_ALPHAOP, first ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE},
            {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
            {D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        };
    }
    m_fvf = 0;
    const std::uint32_t width = m_renderTarget->GetWidth(), height = m_renderTarget->GetHeight();
    m_viewport = {0, 0, width, height, 0.0f, 1.0f};
    m_scissor = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

void GlDevice::DropBindings() {
    for (auto& texture : m_textures) {
        Hold(texture, static_cast<GlTexture*>(nullptr));
    }
    Hold(m_declaration, static_cast<GlVertexDeclaration*>(nullptr));
    Hold(m_stream, static_cast<GlVertexBuffer*>(nullptr));
    Hold(m_indices, static_cast<GlIndexBuffer*>(nullptr));
    SetTargets(m_backBufferSurface, m_autoDepth);
    m_effectVertex = m_effectPixel = 0;
}

void GlDevice::SetTargets(GlSurface* colour, GlSurface* depth) {
    // The old surfaces go only after the framebuffer lets go of them, so no texture or depth
    // buffer is deleted while attached.
    GlSurface* oldColour = m_renderTarget;
    GlSurface* oldDepth = m_depthStencil;
    m_renderTarget = colour;
    m_depthStencil = depth;
    if (colour) {
        colour->AddRef();
    }
    if (depth) {
        depth->AddRef();
    }
    AttachTargets();
    if (oldColour) {
        oldColour->Release();
    }
    if (oldDepth) {
        oldDepth->Release();
    }
}

void GlDevice::AttachTargets() {
    glNamedFramebufferTexture(m_framebuffer, GL_COLOR_ATTACHMENT0,
                              m_renderTarget ? m_renderTarget->Texture()->Name() : 0, 0);
    glNamedFramebufferRenderbuffer(m_framebuffer, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                   m_depthStencil ? m_depthStencil->DepthName() : 0);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
}

HRESULT GlDevice::TestCooperativeLevel() {
    if (m_loss == DeviceLossTest::Lost) {
        return D3DERR_DEVICELOST;
    }
    // The driver reports a reset for as long as it lasts, and nothing once it is over (the
    // robustness rules); a context that saw one stays unusable until it is replaced.
    if (glGetGraphicsResetStatus() != GL_NO_ERROR) {
        if (!m_contextLost) {
            std::fprintf(stderr, "the graphics driver reset its context\n");
        }
        m_contextLost = true;
        return D3DERR_DEVICELOST;
    }
    return m_contextLost ? D3DERR_DEVICENOTRESET : D3D_OK;
}

void GlDevice::SimulateDeviceLoss(DeviceLossTest loss) {
    m_loss = loss == DeviceLossTest::Lost ? DeviceLossTest::Lost : DeviceLossTest::None;
    m_contextLost = loss != DeviceLossTest::None;
}

HRESULT GlDevice::Reset(std::uint32_t width, std::uint32_t height) {
    if (TestCooperativeLevel() == D3DERR_DEVICELOST) {
        return D3DERR_DEVICELOST;
    }
    DropBindings();
    if (m_defaultPoolResources > 0) {
        return D3DERR_INVALIDCALL;
    }
    width = width ? width : m_backBuffer->GetWidth();
    height = height ? height : m_backBuffer->GetHeight();
    if (m_contextLost) {
        if (m_ownsWindow) {
            SDL_SetWindowSize(m_window, static_cast<int>(width), static_cast<int>(height));
        }
        const HRESULT hr = ReplaceContext(width, height);
        if (FAILED(hr)) {
            return hr;
        }
    } else if (width != m_backBuffer->GetWidth() || height != m_backBuffer->GetHeight()) {
        ReleaseBackBuffer();
        if (m_ownsWindow) {
            SDL_SetWindowSize(m_window, static_cast<int>(width), static_cast<int>(height));
        }
        CreateBackBuffer(width, height);
    }
    AttachTargets();
    ResetStates();
    m_inScene = false;
    return D3D_OK;
}

HRESULT GlDevice::BeginScene() {
    if (m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene() {
    if (!m_inScene) {
        return D3DERR_INVALIDCALL;
    }
    m_inScene = false;
    return D3D_OK;
}

HRESULT GlDevice::Present() {
    if (TestCooperativeLevel() != D3D_OK) {
        return D3DERR_DEVICELOST;
    }
    ++m_presents;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(m_window, &width, &height);
    const auto w = static_cast<GLint>(m_backBuffer->GetWidth());
    const auto h = static_cast<GLint>(m_backBuffer->GetHeight());
    glNamedFramebufferTexture(m_framebuffer, GL_COLOR_ATTACHMENT0, m_backBuffer->Name(), 0);
    glDisable(GL_SCISSOR_TEST);
    // Binding the window's framebuffer makes the driver take up the window's new size after a
    // resize; a blit into it unbound went to the buffers of the old size and the window stayed
    // black. The window's row 0 is at the bottom; the back buffer's is the top of the picture.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitNamedFramebuffer(m_framebuffer, 0, 0, 0, w, h, 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                           GL_LINEAR);
    if (SnapshotDue()) {
        WriteSnapshot(width, height);
    }
    SDL_GL_SwapWindow(m_window);
    AttachTargets();
    return D3D_OK;
}

HRESULT GlDevice::Clear(std::uint32_t count, const RECT* rects, std::uint32_t flags, D3DCOLOR color,
                        float z, std::uint32_t) {
    if ((flags & D3DCLEAR_STENCIL) || ((flags & D3DCLEAR_ZBUFFER) && !m_depthStencil) ||
        (count > 0 && !rects)) {
        return D3DERR_INVALIDCALL;
    }
    RECT area = {static_cast<std::int32_t>(m_viewport.X), static_cast<std::int32_t>(m_viewport.Y),
                 static_cast<std::int32_t>(m_viewport.X + m_viewport.Width),
                 static_cast<std::int32_t>(m_viewport.Y + m_viewport.Height)};
    if (m_renderStates[D3DRS_SCISSORTESTENABLE]) {
        area = {std::max(area.left, m_scissor.left), std::max(area.top, m_scissor.top),
                std::min(area.right, m_scissor.right), std::min(area.bottom, m_scissor.bottom)};
    }
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                     static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(color & 0xFF) / 255.0f,
                     static_cast<float>(color >> 24) / 255.0f);
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);  // Clear writes depth whatever ZWRITEENABLE says
        glClearDepthf(z);
    }
    glEnable(GL_SCISSOR_TEST);
    const std::uint32_t pieces = count ? count : 1;
    for (std::uint32_t i = 0; i < pieces; ++i) {
        RECT r = area;
        if (count) {
            r = {std::max(area.left, rects[i].left), std::max(area.top, rects[i].top),
                 std::min(area.right, rects[i].right), std::min(area.bottom, rects[i].bottom)};
        }
        if (r.right <= r.left || r.bottom <= r.top) {
            continue;
        }
        glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(mask);
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                IGraphicsTexture** texture) {
    const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (!texture || width == 0 || height == 0 || format != D3DFMT_A8R8G8B8) {
        return D3DERR_INVALIDCALL;
    }
    if (levels != 1) {
        return E_NOTIMPL;  // mip chains: nothing the system draws needs them yet
    }
    // Render targets live in the default pool; everything else must be lockable.
    if (renderTarget != (pool == D3DPOOL_DEFAULT)) {
        return D3DERR_INVALIDCALL;
    }
    *texture = new GlTexture(this, width, height, renderTarget, pool, true);
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(std::uint32_t bytes, std::uint32_t, D3DPOOL pool,
                                     IGraphicsVertexBuffer** buffer) {
    if (!buffer || bytes == 0 || pool != D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = new GlVertexBuffer(this, bytes);
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(std::uint32_t bytes, std::uint32_t, D3DFORMAT format,
                                    D3DPOOL pool, IGraphicsIndexBuffer** buffer) {
    if (!buffer || bytes == 0 || pool != D3DPOOL_MANAGED || format != D3DFMT_INDEX16) {
        return D3DERR_INVALIDCALL;
    }
    *buffer = new GlIndexBuffer(this, bytes);
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IGraphicsVertexDeclaration** declaration) {
    if (!elements || !declaration) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<D3DVERTEXELEMENT9> list;
    for (const D3DVERTEXELEMENT9* e = elements; e->Stream != 0xFF; ++e) {
        GLuint location;
        GLint size;
        GLenum type;
        GLboolean normalized;
        if (e->Stream != 0 || !AttributeOf(*e, &location, &size, &type, &normalized)) {
            return D3DERR_INVALIDCALL;
        }
        list.push_back(*e);
    }
    *declaration = new GlVertexDeclaration(this, std::move(list));
    return D3D_OK;
}

HRESULT GlDevice::CreateEffect(const EffectDesc& desc, IGraphicsEffect** effect,
                               std::string* messages) {
    return CreateGlEffect(this, desc, effect, messages);
}

HRESULT GlDevice::ColorFill(IGraphicsSurface* surface, const RECT* rect, D3DCOLOR color) {
    auto* target = static_cast<GlSurface*>(surface);
    if (!target || !target->Texture() || !target->Texture()->IsRenderTarget()) {
        return D3DERR_INVALIDCALL;
    }
    const auto w = static_cast<std::int32_t>(target->GetWidth());
    const auto h = static_cast<std::int32_t>(target->GetHeight());
    const RECT r = rect ? *rect : RECT{0, 0, w, h};
    if (r.left < 0 || r.top < 0 || r.right > w || r.bottom > h || r.right < r.left ||
        r.bottom < r.top) {
        return D3DERR_INVALIDCALL;
    }
    if (r.right > r.left && r.bottom > r.top) {
        glClearTexSubImage(target->Texture()->Name(), 0, r.left, r.top, 0, r.right - r.left,
                           r.bottom - r.top, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &color);
    }
    return D3D_OK;
}

HRESULT GlDevice::GetBackBuffer(IGraphicsSurface** surface) {
    if (!surface) {
        return D3DERR_INVALIDCALL;
    }
    m_backBufferSurface->AddRef();
    *surface = m_backBufferSurface;
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTarget(std::uint32_t index, IGraphicsSurface** surface) {
    if (index != 0 || !surface) {
        return D3DERR_INVALIDCALL;
    }
    m_renderTarget->AddRef();
    *surface = m_renderTarget;
    return D3D_OK;
}

HRESULT GlDevice::SetRenderTarget(std::uint32_t index, IGraphicsSurface* surface) {
    auto* target = static_cast<GlSurface*>(surface);
    if (index != 0 || !target || !target->Texture() || !target->Texture()->IsRenderTarget()) {
        return D3DERR_INVALIDCALL;
    }
    SetTargets(target, m_depthStencil);
    const std::uint32_t width = target->GetWidth(), height = target->GetHeight();
    m_viewport = {0, 0, width, height, 0.0f, 1.0f};
    m_scissor = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    return D3D_OK;
}

HRESULT GlDevice::GetDepthStencilSurface(IGraphicsSurface** surface) {
    if (!surface) {
        return D3DERR_INVALIDCALL;
    }
    *surface = m_depthStencil;
    if (!m_depthStencil) {
        return D3DERR_INVALIDCALL;  // Direct3D's answer when none is set
    }
    m_depthStencil->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::SetDepthStencilSurface(IGraphicsSurface* surface) {
    auto* depth = static_cast<GlSurface*>(surface);
    if (depth && depth->Texture()) {
        return D3DERR_INVALIDCALL;
    }
    SetTargets(m_renderTarget, depth);
    return D3D_OK;
}

HRESULT GlDevice::GetRenderTargetData(IGraphicsSurface* surface, D3DCOLOR* pixels) {
    auto* source = static_cast<GlSurface*>(surface);
    if (!source || !source->Texture() || !pixels) {
        return D3DERR_INVALIDCALL;
    }
    const GLsizei bytes = static_cast<GLsizei>(source->GetWidth() * source->GetHeight() * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTextureImage(source->Texture()->Name(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, bytes,
                      pixels);
    return D3D_OK;
}

}  // namespace platform
