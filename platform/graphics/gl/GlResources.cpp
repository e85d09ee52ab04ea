// GL resources of the drawing device: see GlResources.h.
// Textures are GL_RGBA8 with one level; texel row 0 is GL row 0 (t = 0), so v = 0 addresses the
// first row written, which is the top of the picture. Buffers keep their bytes on the processor
// as managed Direct3D resources do.

#include "platform/graphics/gl/GlResources.h"

#include <cstring>

#include "platform/graphics/gl/GlDevice.h"

namespace platform {

GlTexture::GlTexture(GlDevice* device, std::uint32_t width, std::uint32_t height, bool renderTarget,
                     D3DPOOL pool, bool countsAsDefaultPool)
    : m_device(device),
      m_width(width),
      m_height(height),
      m_renderTarget(renderTarget),
      m_pool(pool),
      m_countsAsDefaultPool(countsAsDefaultPool) {
    m_device->ResourceCreated(m_countsAsDefaultPool && pool == D3DPOOL_DEFAULT, Bytes(), Rebuild());
    CreateStorage();
    if (pool == D3DPOOL_MANAGED) {
        m_shadow.assign(static_cast<std::size_t>(width) * height, 0u);
    }
}

GlTexture::~GlTexture() {
    glDeleteTextures(1, &m_name);
    m_device->ResourceDestroyed(m_countsAsDefaultPool && m_pool == D3DPOOL_DEFAULT, Bytes(),
                                Rebuild());
}

void GlTexture::CreateStorage() {
    glCreateTextures(GL_TEXTURE_2D, 1, &m_name);
    glTextureStorage2D(m_name, 1, GL_RGBA8, static_cast<GLsizei>(m_width),
                       static_cast<GLsizei>(m_height));
    glTextureParameteri(m_name, GL_TEXTURE_MAX_LEVEL, 0);
}

bool GlTexture::RecreateInNewContext() {
    CreateStorage();
    return m_name != 0 && SUCCEEDED(UnlockRect(0));
}

HRESULT GlTexture::GetSurfaceLevel(std::uint32_t level, IGraphicsSurface** surface) {
    if (level != 0 || !surface) {
        return D3DERR_INVALIDCALL;
    }
    *surface = new GlSurface(this);
    return D3D_OK;
}

HRESULT GlTexture::LockRect(std::uint32_t level, std::uint32_t* pitch, void** bits) {
    if (level != 0 || m_pool != D3DPOOL_MANAGED || !pitch || !bits) {
        return D3DERR_INVALIDCALL;
    }
    *pitch = m_width * 4;
    *bits = m_shadow.data();
    return D3D_OK;
}

HRESULT GlTexture::UnlockRect(std::uint32_t level) {
    if (level != 0 || m_pool != D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    // On a little-endian machine 0xAARRGGBB words are the bytes B, G, R, A.
    glTextureSubImage2D(m_name, 0, 0, 0, static_cast<GLsizei>(m_width),
                        static_cast<GLsizei>(m_height), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        m_shadow.data());
    return D3D_OK;
}

GlSurface::GlSurface(GlTexture* texture) : m_texture(texture) {
    m_texture->AddRef();
}

GlSurface::GlSurface(GlDevice* device, std::uint32_t width, std::uint32_t height)
    : m_device(device), m_width(width), m_height(height) {
    m_device->ResourceCreated(false, std::uint64_t{width} * height * 2);
    glCreateRenderbuffers(1, &m_depth);
    glNamedRenderbufferStorage(m_depth, GL_DEPTH_COMPONENT16, static_cast<GLsizei>(width),
                               static_cast<GLsizei>(height));
}

GlSurface::~GlSurface() {
    if (m_texture) {
        m_texture->Release();
        return;
    }
    glDeleteRenderbuffers(1, &m_depth);
    m_device->ResourceDestroyed(false, std::uint64_t{m_width} * m_height * 2);
}

std::uint32_t GlSurface::GetWidth() const {
    return m_texture ? m_texture->GetWidth() : m_width;
}

std::uint32_t GlSurface::GetHeight() const {
    return m_texture ? m_texture->GetHeight() : m_height;
}

GlBufferStore::GlBufferStore(GlDevice* device, std::uint32_t bytes)
    : m_device(device), m_bytes(bytes, 0) {
    m_device->ResourceCreated(false, bytes, this);
    glCreateBuffers(1, &m_name);
    glNamedBufferStorage(m_name, bytes ? bytes : 1, nullptr, GL_DYNAMIC_STORAGE_BIT);
}

GlBufferStore::~GlBufferStore() {
    glDeleteBuffers(1, &m_name);
    m_device->ResourceDestroyed(false, m_bytes.size(), this);
}

bool GlBufferStore::RecreateInNewContext() {
    glCreateBuffers(1, &m_name);
    glNamedBufferStorage(m_name, m_bytes.empty() ? 1 : static_cast<GLsizeiptr>(m_bytes.size()),
                         m_bytes.empty() ? nullptr : m_bytes.data(), GL_DYNAMIC_STORAGE_BIT);
    return m_name != 0;
}

HRESULT GlBufferStore::Lock(std::uint32_t offset, std::uint32_t bytes, void** data) {
    if (!data || m_locked || offset > m_bytes.size() ||
        (bytes != 0 && bytes > m_bytes.size() - offset)) {
        return D3DERR_INVALIDCALL;
    }
    m_lockOffset = offset;
    m_lockBytes = bytes ? bytes : static_cast<std::uint32_t>(m_bytes.size()) - offset;
    m_locked = true;
    *data = m_bytes.data() + offset;
    return D3D_OK;
}

HRESULT GlBufferStore::Unlock() {
    if (!m_locked) {
        return D3DERR_INVALIDCALL;
    }
    m_locked = false;
    if (m_lockBytes > 0) {
        glNamedBufferSubData(m_name, m_lockOffset, m_lockBytes, m_bytes.data() + m_lockOffset);
    }
    return D3D_OK;
}

GlVertexDeclaration::GlVertexDeclaration(GlDevice* device, std::vector<D3DVERTEXELEMENT9> elements)
    : m_device(device), m_elements(std::move(elements)) {
    m_device->ResourceCreated(false);
}

GlVertexDeclaration::~GlVertexDeclaration() {
    m_device->ResourceDestroyed(false);
}

}  // namespace platform
