#include "graphics/ResourceTexture.h"

#include "platform/graphics/TextureLoader.h"
#include "resources/Resources.h"

HRESULT D3DXCreateTextureFromResource(platform::IGraphicsDevice* device, int id,
                                      platform::IGraphicsTexture** texture) {
    const std::span<const std::uint8_t> image = resources::FindResource(id);
    if (image.empty()) {
        return E_FAIL;
    }
    return platform::D3DXCreateTextureFromFileInMemory(device, image.data(), image.size(), texture);
}

bool LoadResourceImage(int id, std::vector<std::uint8_t>* rgba, int* width, int* height) {
    const std::span<const std::uint8_t> image = resources::FindResource(id);
    return !image.empty() &&
           platform::DecodeImageRgba(image.data(), image.size(), rgba, width, height);
}
