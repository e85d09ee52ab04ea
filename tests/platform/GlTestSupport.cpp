#include "tests/platform/GlTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <SDL.h>

#include "platform/graphics/GraphicsSystem.h"
#include "platform/graphics/TextureLoader.h"

namespace tovel_test {

using namespace platform;

Image LoadPng(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    Image image;
    if (!DecodeImageRgba(bytes.data(), bytes.size(), &rgba, &width, &height)) {
        return image;
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        image.pixels.push_back(static_cast<D3DCOLOR>(rgba[i + 3]) << 24 | rgba[i] << 16 |
                               rgba[i + 1] << 8 | rgba[i + 2]);
    }
    return image;
}

::testing::AssertionResult ImagesNear(const Image& expected, const Image& actual, int tolerance) {
    if (expected.width != actual.width || expected.height != actual.height) {
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
               << "x" << expected.height;
    }
    std::ostringstream report;
    int mismatches = 0;
    for (std::uint32_t y = 0; y < expected.height; ++y) {
        for (std::uint32_t x = 0; x < expected.width; ++x) {
            const D3DCOLOR e = expected.At(x, y), a = actual.At(x, y);
            int worst = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                worst = std::max(worst, std::abs(static_cast<int>((e >> shift) & 0xFF) -
                                                 static_cast<int>((a >> shift) & 0xFF)));
            }
            if (worst > tolerance) {
                if (++mismatches <= 5) {
                    report << std::hex << " (" << std::dec << x << "," << y << "): 0x" << std::hex
                           << a << " expected 0x" << e << ";";
                }
            }
        }
    }
    if (mismatches == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << mismatches << " pixels differ by more than " << tolerance << ":" << report.str();
}

float Channel(D3DCOLOR color, int channel) {
    return static_cast<float>((color >> (8 * channel)) & 0xFF) / 255.0f;
}

D3DCOLOR Pack(float a, float r, float g, float b) {
    auto step = [](float v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    return D3DCOLOR_ARGB(step(a), step(r), step(g), step(b));
}

Image RandomImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    std::mt19937 random(seed);
    Image image{width, height, std::vector<D3DCOLOR>(static_cast<std::size_t>(width) * height)};
    for (D3DCOLOR& p : image.pixels) {
        p = static_cast<D3DCOLOR>(random());
    }
    return image;
}

// Keeps SDL's video subsystem, and with it the GL driver, loaded for the whole run: each test's
// device starts and stops the subsystem, and a driver unloaded between tests leaves allocations
// that the leak checker of sanitizer builds can no longer trace to it.
class VideoSubsystem final : public ::testing::Environment {
public:
    void SetUp() override {
        // No display is needed: EGL on llvmpipe gives an OpenGL 4.5 core context.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
    }
};

const auto* const kVideoSubsystem = ::testing::AddGlobalTestEnvironment(new VideoSubsystem);

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
    EXPECT_EQ(S_OK, m_device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET,
                                            D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &created));
    IGraphicsSurface* surface = nullptr;
    EXPECT_EQ(S_OK, created->GetSurfaceLevel(0, &surface));
    m_owned.push_back(created);
    m_owned.push_back(surface);
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
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    EXPECT_EQ(S_OK, m_device->GetRenderTargetData(surface, image.pixels.data()));
    return image;
}

void GlDeviceTest::DrawQuad(float left, float top, float right, float bottom, D3DCOLOR diffuse,
                            float z) {
    const TexturedVertex quad[4] = {
        {left - 0.5f, top - 0.5f, z, 1.0f, diffuse, 0, 0, 0, 0},
        {right - 0.5f, top - 0.5f, z, 1.0f, diffuse, 1, 0, 1, 0},
        {left - 0.5f, bottom - 0.5f, z, 1.0f, diffuse, 0, 1, 0, 1},
        {right - 0.5f, bottom - 0.5f, z, 1.0f, diffuse, 1, 1, 1, 1},
    };
    EXPECT_EQ(S_OK, m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2));
    EXPECT_EQ(S_OK, m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]));
}

}  // namespace tovel_test
