#pragma once
// The drawing device, with Direct3D 9 semantics: the subset of IDirect3DDevice9 and its resources
// that the system uses, under the same names. Every object is reference counted the COM way.
//
// Orientation: row 0 of every target (the back buffer too) is the top of the picture and v = 0
// addresses row 0. Pre-transformed vertices are in pixels of render target 0 with Direct3D 9
// pixel centres: x = -0.5 is the left edge of pixel 0.

#include <cstdint>
#include <string>

#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/base/RefCounted.h"

namespace platform {

class IGraphicsSurface : public RefCounted {
public:
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    virtual D3DFORMAT GetFormat() const = 0;
};

class IGraphicsTexture : public RefCounted {
public:
    virtual std::uint32_t GetWidth() const = 0;
    virtual std::uint32_t GetHeight() const = 0;
    // Only level 0 exists.
    virtual HRESULT GetSurfaceLevel(std::uint32_t level, IGraphicsSurface** surface) = 0;
    // Managed textures only: 0xAARRGGBB texels, row 0 first; Unlock uploads them.
    virtual HRESULT LockRect(std::uint32_t level, std::uint32_t* pitch, void** bits) = 0;
    virtual HRESULT UnlockRect(std::uint32_t level) = 0;
};

class IGraphicsVertexBuffer : public RefCounted {
public:
    // bytes 0 locks from offset to the end. The contents survive Reset.
    virtual HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** data) = 0;
    virtual HRESULT Unlock() = 0;
};

class IGraphicsIndexBuffer : public RefCounted {
public:
    virtual HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** data) = 0;
    virtual HRESULT Unlock() = 0;
};

class IGraphicsVertexDeclaration : public RefCounted {};

enum class DeviceLossTest { None, Lost, NotReset };

// What the device holds now, for checks that nothing is left behind.
struct DeviceResourceStatistics {
    std::uint32_t live = 0;                 // resources and effects alive
    std::uint32_t liveDefaultPool = 0;      // of them, render targets (the back buffer aside)
    std::uint64_t defaultPoolCreated = 0;   // render targets ever created
    std::uint64_t bytes = 0;                // device memory of textures, depth and buffers
};

class IGraphicsDevice : public RefCounted {
public:
    // D3D_OK, D3DERR_DEVICELOST (the driver is still resetting: wait) or D3DERR_DEVICENOTRESET
    // (the device can be made again: call Reset). A device is lost when the driver resets its
    // context (a GPU fault, video memory purged across a suspend).
    virtual HRESULT TestCooperativeLevel() = 0;
    // The name the driver gives its renderer ("llvmpipe (LLVM 15.0.6, 256 bits)"), for figures
    // that depend on it; safe from any thread.
    virtual std::string RendererName() const = 0;
    // Loses the device as the driver would: Lost while the reset is in progress (Present and
    // Reset fail), NotReset once it is over; the next Reset then replaces the context, as after
    // a real loss. None takes the loss back, as if it had not happened.
    virtual void SimulateDeviceLoss(DeviceLossTest loss) = 0;
    // New back-buffer size (0: keep). Fails with D3DERR_INVALIDCALL while any default-pool
    // resource other than the device's own surfaces is alive. All states return to defaults.
    // After a loss it makes a new context and brings back every managed texture and buffer and
    // every effect with their contents; D3DERR_DEVICELOST while the driver is still resetting.
    virtual HRESULT Reset(std::uint32_t width, std::uint32_t height) = 0;
    virtual DeviceResourceStatistics GetResourceStatistics() const = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Present() = 0;
    virtual HRESULT Clear(std::uint32_t count, const RECT* rects, std::uint32_t flags,
                          D3DCOLOR color, float z, std::uint32_t stencil) = 0;

    virtual HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                  IGraphicsTexture** texture) = 0;
    virtual HRESULT CreateVertexBuffer(std::uint32_t bytes, std::uint32_t usage, D3DPOOL pool,
                                       IGraphicsVertexBuffer** buffer) = 0;
    virtual HRESULT CreateIndexBuffer(std::uint32_t bytes, std::uint32_t usage, D3DFORMAT format,
                                      D3DPOOL pool, IGraphicsIndexBuffer** buffer) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IGraphicsVertexDeclaration** declaration) = 0;
    // Compiles every technique; on failure `messages` receives the compiler's log.
    virtual HRESULT CreateEffect(const EffectDesc& desc, IGraphicsEffect** effect,
                                 std::string* messages) = 0;

    virtual HRESULT ColorFill(IGraphicsSurface* surface, const RECT* rect, D3DCOLOR color) = 0;
    virtual HRESULT GetBackBuffer(IGraphicsSurface** surface) = 0;
    virtual HRESULT GetRenderTarget(std::uint32_t index, IGraphicsSurface** surface) = 0;
    // Also sets the viewport to the whole target and switches the scissor rectangle to it.
    virtual HRESULT SetRenderTarget(std::uint32_t index, IGraphicsSurface* surface) = 0;
    virtual HRESULT GetDepthStencilSurface(IGraphicsSurface** surface) = 0;
    virtual HRESULT SetDepthStencilSurface(IGraphicsSurface* surface) = 0;
    // Copies a render-target surface into 0xAARRGGBB values, row 0 first, width * height of them.
    virtual HRESULT GetRenderTargetData(IGraphicsSurface* surface, D3DCOLOR* pixels) = 0;

    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    virtual HRESULT GetScissorRect(RECT* rect) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) = 0;
    virtual HRESULT SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                                    std::uint32_t value) = 0;
    virtual HRESULT GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE state,
                                    std::uint32_t* value) = 0;
    virtual HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                         std::uint32_t value) = 0;
    virtual HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE state,
                                         std::uint32_t* value) = 0;
    virtual HRESULT SetTexture(std::uint32_t stage, IGraphicsTexture* texture) = 0;
    // A held reference (null when the stage has none).
    virtual HRESULT GetTexture(std::uint32_t stage, IGraphicsTexture** texture) = 0;

    virtual HRESULT SetFVF(std::uint32_t fvf) = 0;
    virtual HRESULT GetFVF(std::uint32_t* fvf) = 0;
    virtual HRESULT SetVertexDeclaration(IGraphicsVertexDeclaration* declaration) = 0;
    virtual HRESULT SetStreamSource(std::uint32_t stream, IGraphicsVertexBuffer* buffer,
                                    std::uint32_t offset, std::uint32_t stride) = 0;
    virtual HRESULT SetIndices(IGraphicsIndexBuffer* buffer) = 0;
    // Pre-transformed vertices in the format of SetFVF, from the caller's memory.
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitives,
                                    const void* vertices, std::uint32_t stride) = 0;
    // Through the vertex stage of the effect pass in progress, with the current declaration.
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::int32_t baseVertex,
                                         std::uint32_t minIndex, std::uint32_t vertices,
                                         std::uint32_t startIndex, std::uint32_t primitives) = 0;
};

}  // namespace platform
