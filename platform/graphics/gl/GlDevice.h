#pragma once
// The drawing device on OpenGL 4.5 core through an SDL GL context. See GlDevice.cpp for what it
// provides and what it does not.

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"

struct SDL_Window;

namespace platform {

// Holds `object` in `slot` (a reference taken), releasing what the slot held.
template <class T>
void Hold(T*& slot, T* object) {
    if (object) {
        object->AddRef();
    }
    if (slot) {
        slot->Release();
    }
    slot = object;
}

// A GL object that keeps on the processor what it needs to be made again: when the device
// replaces a lost context, every one is built anew in the new context from that copy.
class GlContextObject {
public:
    // The object's GL names belong to a context that is gone: make them again in the current
    // one. False when that fails (the object then draws nothing).
    virtual bool RecreateInNewContext() = 0;

protected:
    ~GlContextObject() = default;
};

class GlSurface;
class GlTexture;
class GlVertexBuffer;
class GlIndexBuffer;
class GlVertexDeclaration;

// Under NVIDIA's GLX: a robust context, made current, that is also reset when the driver purges
// video memory; null where that cannot be had (GlxPurgeContext.cpp).
void* CreatePurgeReportingContext(SDL_Window* window);

// A device drawing into `window` (created with SDL_WINDOW_OPENGL), back buffer of the window's
// size. The window must outlive the device.
HRESULT CreateGlDevice(SDL_Window* window, IGraphicsDevice** device);

class GlDevice final : public IGraphicsDevice {
public:
    static constexpr std::uint32_t kStages = 2;

    GlDevice(SDL_Window* window, bool ownsWindow, void* context);
    ~GlDevice() override;
    HRESULT Initialise();

    HRESULT TestCooperativeLevel() override;
    std::string RendererName() const override { return m_rendererName; }
    void SimulateDeviceLoss(DeviceLossTest loss) override;
    DeviceResourceStatistics GetResourceStatistics() const override;
    HRESULT Reset(std::uint32_t width, std::uint32_t height) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present() override;
    HRESULT Clear(std::uint32_t count, const RECT* rects, std::uint32_t flags, D3DCOLOR color,
                  float z, std::uint32_t stencil) override;

    HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                          std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                          IGraphicsTexture** texture) override;
    HRESULT CreateVertexBuffer(std::uint32_t bytes, std::uint32_t usage, D3DPOOL pool,
                               IGraphicsVertexBuffer** buffer) override;
    HRESULT CreateIndexBuffer(std::uint32_t bytes, std::uint32_t usage, D3DFORMAT format,
                              D3DPOOL pool, IGraphicsIndexBuffer** buffer) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IGraphicsVertexDeclaration** declaration) override;
    HRESULT CreateEffect(const EffectDesc& desc, IGraphicsEffect** effect,
                         std::string* messages) override;

    HRESULT ColorFill(IGraphicsSurface* surface, const RECT* rect, D3DCOLOR color) override;
    HRESULT GetBackBuffer(IGraphicsSurface** surface) override;
    HRESULT GetRenderTarget(std::uint32_t index, IGraphicsSurface** surface) override;
    HRESULT SetRenderTarget(std::uint32_t index, IGraphicsSurface* surface) override;
    HRESULT GetDepthStencilSurface(IGraphicsSurface** surface) override;
    HRESULT SetDepthStencilSurface(IGraphicsSurface* surface) override;
    HRESULT GetRenderTargetData(IGraphicsSurface* surface, D3DCOLOR* pixels) override;

    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) override;
    HRESULT SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                            std::uint32_t value) override;
    HRESULT GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                            std::uint32_t* value) override;
    HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                 std::uint32_t value) override;
    HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                 std::uint32_t* value) override;
    HRESULT SetTexture(std::uint32_t stage, IGraphicsTexture* texture) override;
    HRESULT GetTexture(std::uint32_t stage, IGraphicsTexture** texture) override;

    HRESULT SetFVF(std::uint32_t fvf) override;
    HRESULT GetFVF(std::uint32_t* fvf) override;
    HRESULT SetVertexDeclaration(IGraphicsVertexDeclaration* declaration) override;
    HRESULT SetStreamSource(std::uint32_t stream, IGraphicsVertexBuffer* buffer,
                            std::uint32_t offset, std::uint32_t stride) override;
    HRESULT SetIndices(IGraphicsIndexBuffer* buffer) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitives, const void* vertices,
                            std::uint32_t stride) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertex,
                                 std::uint32_t minIndex, std::uint32_t vertices,
                                 std::uint32_t startIndex, std::uint32_t primitives) override;

    // For the resources and the effect: what they hold of the device's memory, and (for what
    // outlives a reset) how they come back in a new context.
    void ResourceCreated(bool defaultPool, std::uint64_t bytes = 0,
                         GlContextObject* rebuild = nullptr);
    void ResourceDestroyed(bool defaultPool, std::uint64_t bytes = 0,
                           GlContextObject* rebuild = nullptr);
    // The stages of the effect pass in progress; 0 puts the fixed-function stage back.
    void SetEffectStages(GLuint vertexProgram, GLuint pixelProgram);

private:
    HRESULT CreateContextObjects();
    void DeleteContextObjects();
    HRESULT ReplaceContext(std::uint32_t width, std::uint32_t height);
    HRESULT CreateBackBuffer(std::uint32_t width, std::uint32_t height);
    void ReleaseBackBuffer();
    void ResetStates();
    void DropBindings();
    void SetTargets(GlSurface* colour, GlSurface* depth);
    void AttachTargets();
    void ApplyStates(bool pretransformed);
    void PreparePipeline();
    void WriteSnapshot(int width, int height);
    static void ListenForSnapshotRequests();
    bool SnapshotDue();

    SDL_Window* m_window;
    bool m_ownsWindow;
    void* m_context;
    std::string m_rendererName;

    std::uint32_t m_liveResources = 0;
    std::uint32_t m_defaultPoolResources = 0;
    std::uint64_t m_defaultPoolCreated = 0;
    std::uint64_t m_resourceBytes = 0;
    std::vector<GlContextObject*> m_contextObjects;
    DeviceLossTest m_loss = DeviceLossTest::None;
    // The context was reset by the driver (or the test hook): only a new one draws again.
    bool m_contextLost = false;
    bool m_inScene = false;

    GlTexture* m_backBuffer = nullptr;
    GlSurface* m_backBufferSurface = nullptr;
    GlSurface* m_autoDepth = nullptr;
    GlSurface* m_renderTarget = nullptr;           // held
    GlSurface* m_depthStencil = nullptr;           // held; may be null
    std::array<GlTexture*, kStages> m_textures{};  // held
    GlVertexDeclaration* m_declaration = nullptr;  // held
    GlVertexBuffer* m_stream = nullptr;            // held
    std::uint32_t m_streamOffset = 0, m_streamStride = 0;
    GlIndexBuffer* m_indices = nullptr;  // held
    std::uint32_t m_fvf = 0;

    std::map<std::uint32_t, std::uint32_t> m_renderStates;
    std::array<std::map<std::uint32_t, std::uint32_t>, kStages> m_samplerStates;
    std::array<std::map<std::uint32_t, std::uint32_t>, kStages> m_stageStates;
    D3DVIEWPORT9 m_viewport{};
    RECT m_scissor{};

    GLuint m_framebuffer = 0, m_pipeline = 0, m_userArray = 0, m_declArray = 0;
    GLuint m_userBuffer = 0;
    std::array<GLuint, kStages> m_samplers{};
    GLuint m_fixedVertex = 0, m_fixedPixel = 0;
    GLint m_targetSizeLocation = -1, m_colorOpLocation = -1, m_alphaOpLocation = -1;
    GLint m_hasTextureLocation = -1;
    GLuint m_effectVertex = 0, m_effectPixel = 0;

    std::string m_snapshotPath;
    std::uint32_t m_snapshotFrame = 30;
    std::uint32_t m_presents = 0;
};

}  // namespace platform
