#include "tests/support/gpu/DeviceFixture.h"

#include <cstring>

#include "platform/graphics/GraphicsSystem.h"

namespace tovel_test {

using namespace platform;

void GlDeviceTest::SetUp() {
    ASSERT_EQ(S_OK, CreateHiddenGlDevice(kWidth, kHeight, &m_device))
        << "an OpenGL 4.5 core context is required (SDL offscreen driver, EGL)";
}

void GlDeviceTest::TearDown() {
    for (auto it = m_owned.rbegin(); it != m_owned.rend(); ++it) {
        (*it)->Release();
    }
    m_owned.clear();
    if (m_device) {
        m_device->Release();
    }
}

IGraphicsSurface* GlDeviceTest::MakeTarget(std::uint32_t width, std::uint32_t height,
                                           IGraphicsTexture** texture) {
    IGraphicsTexture* created = nullptr;
    IGraphicsSurface* surface = nullptr;
    EXPECT_EQ(S_OK, m_device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET,
                                            D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &created));
    EXPECT_EQ(S_OK, created->GetSurfaceLevel(0, &surface));
    m_owned.insert(m_owned.end(), {created, surface});
    if (texture) {
        *texture = created;
    }
    return surface;
}

IGraphicsTexture* GlDeviceTest::MakeTexture(const Image& image) {
    IGraphicsTexture* texture = nullptr;
    EXPECT_EQ(S_OK, m_device->CreateTexture(image.width, image.height, 1, 0, D3DFMT_A8R8G8B8,
                                            D3DPOOL_MANAGED, &texture));
    std::uint32_t pitch = 0;
    void* bits = nullptr;
    EXPECT_EQ(S_OK, texture->LockRect(0, &pitch, &bits));
    EXPECT_EQ(image.width * 4, pitch);
    std::memcpy(bits, image.pixels.data(), image.pixels.size() * 4);
    EXPECT_EQ(S_OK, texture->UnlockRect(0));
    m_owned.push_back(texture);
    return texture;
}

Image GlDeviceTest::Read(IGraphicsSurface* surface) {
    Image image{surface->GetWidth(), surface->GetHeight(), {}};
    image.pixels.resize(std::size_t{image.width} * image.height);
    EXPECT_EQ(S_OK, m_device->GetRenderTargetData(surface, image.pixels.data()));
    return image;
}

Image GlDeviceTest::ReadBackBuffer() {
    IGraphicsSurface* back = nullptr;
    EXPECT_EQ(S_OK, m_device->GetBackBuffer(&back));
    const Image image = Read(back);
    back->Release();
    return image;
}

void GlDeviceTest::DrawQuad(float left, float top, float right, float bottom, D3DCOLOR diffuse,
                            float z) {
    const TexturedVertex quad[4] = {{left - 0.5f, top - 0.5f, z, 1, diffuse, 0, 0, 0, 0},
                                    {right - 0.5f, top - 0.5f, z, 1, diffuse, 1, 0, 1, 0},
                                    {left - 0.5f, bottom - 0.5f, z, 1, diffuse, 0, 1, 0, 1},
                                    {right - 0.5f, bottom - 0.5f, z, 1, diffuse, 1, 1, 1, 1}};
    EXPECT_EQ(S_OK, m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2));
    EXPECT_EQ(S_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]));
}

}  // namespace tovel_test
