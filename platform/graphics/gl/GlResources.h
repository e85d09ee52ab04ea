#pragma once
// The GL objects behind the device's resources: textures (with their level-0 surface), depth
// surfaces, vertex and index buffers and vertex declarations. Each keeps a plain pointer to its
// device, which must outlive it (the device asserts so when it goes).

#ifndef TOVEL_PLATFORM_BACKEND
#error "a backend-internal header: only the platform libraries include it"
#endif

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/gl/GlDevice.h"

namespace platform {

// Managed textures and buffers come back in a new context from their copies on the processor;
// render targets do not (their owners make them again, as after any reset).
class GlTexture final : public IGraphicsTexture, private GlContextObject {
public:
    // countsAsDefaultPool: false only for the device's own back buffer.
    GlTexture(GlDevice* device, std::uint32_t width, std::uint32_t height, bool renderTarget,
              D3DPOOL pool, bool countsAsDefaultPool);
    ~GlTexture() override;

    std::uint32_t GetWidth() const override { return m_width; }
    std::uint32_t GetHeight() const override { return m_height; }
    HRESULT GetSurfaceLevel(std::uint32_t level, IGraphicsSurface** surface) override;
    HRESULT LockRect(std::uint32_t level, std::uint32_t* pitch, void** bits) override;
    HRESULT UnlockRect(std::uint32_t level) override;

    GLuint Name() const { return m_name; }
    bool IsRenderTarget() const { return m_renderTarget; }

private:
    bool RecreateInNewContext() override;
    void CreateStorage();
    GlContextObject* Rebuild() { return m_pool == D3DPOOL_MANAGED ? this : nullptr; }
    std::uint64_t Bytes() const { return std::uint64_t{m_width} * m_height * 4; }

    GlDevice* m_device;
    GLuint m_name = 0;
    std::uint32_t m_width, m_height;
    bool m_renderTarget;
    D3DPOOL m_pool;
    bool m_countsAsDefaultPool;
    std::vector<std::uint32_t> m_shadow;  // managed textures: what LockRect hands out
};

// Level 0 of a texture (holding a reference to it), or a depth buffer of its own.
class GlSurface final : public IGraphicsSurface {
public:
    explicit GlSurface(GlTexture* texture);
    GlSurface(GlDevice* device, std::uint32_t width, std::uint32_t height);  // D16 depth
    ~GlSurface() override;

    std::uint32_t GetWidth() const override;
    std::uint32_t GetHeight() const override;
    D3DFORMAT GetFormat() const override { return m_texture ? D3DFMT_A8R8G8B8 : D3DFMT_D16; }

    GlTexture* Texture() const { return m_texture; }
    GLuint DepthName() const { return m_depth; }

private:
    GlDevice* m_device = nullptr;
    GlTexture* m_texture = nullptr;
    GLuint m_depth = 0;
    std::uint32_t m_width = 0, m_height = 0;
};

// Vertex and index buffers alike: a GL buffer and the bytes it was filled from, so that Lock
// hands out memory at once and Unlock uploads only the locked range.
class GlBufferStore final : private GlContextObject {
public:
    GlBufferStore(GlDevice* device, std::uint32_t bytes);
    ~GlBufferStore();
    GlBufferStore(const GlBufferStore&) = delete;
    GlBufferStore& operator=(const GlBufferStore&) = delete;

    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** data);
    HRESULT Unlock();
    GLuint Name() const { return m_name; }

private:
    bool RecreateInNewContext() override;

    GlDevice* m_device;
    GLuint m_name = 0;
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_lockOffset = 0, m_lockBytes = 0;
    bool m_locked = false;
};

class GlVertexBuffer final : public IGraphicsVertexBuffer {
public:
    GlVertexBuffer(GlDevice* device, std::uint32_t bytes) : m_store(device, bytes) {}
    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** data) override {
        return m_store.Lock(offset, bytes, data);
    }
    HRESULT Unlock() override { return m_store.Unlock(); }
    GLuint Name() const { return m_store.Name(); }

private:
    GlBufferStore m_store;
};

class GlIndexBuffer final : public IGraphicsIndexBuffer {
public:
    GlIndexBuffer(GlDevice* device, std::uint32_t bytes) : m_store(device, bytes) {}
    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** data) override {
        return m_store.Lock(offset, bytes, data);
    }
    HRESULT Unlock() override { return m_store.Unlock(); }
    GLuint Name() const { return m_store.Name(); }

private:
    GlBufferStore m_store;
};

class GlVertexDeclaration final : public IGraphicsVertexDeclaration {
public:
    GlVertexDeclaration(GlDevice* device, std::vector<D3DVERTEXELEMENT9> elements);
    ~GlVertexDeclaration() override;
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }

private:
    GlDevice* m_device;
    std::vector<D3DVERTEXELEMENT9> m_elements;
};

}  // namespace platform
