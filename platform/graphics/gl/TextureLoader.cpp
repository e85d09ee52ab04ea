// Textures and pixel arrays from image bytes, decoded by SDL2_image, and PNG files written by it.
// Provides: every format SDL2_image reads (PNG for the system), converted to A8R8G8B8 with the
// image's own alpha (opaque when it has none), or to RGBA bytes for cursors and icons.
// Limitations: the texture keeps the image's size and has one level; Direct3D's loader would
// round to powers of two and build a mip chain, which the system's power-of-two images drawn at
// their own scale do not need.
// Depends on: SDL2, SDL2_image; the device's managed textures.

#include "platform/graphics/TextureLoader.h"

#include "platform/graphics/gl/SurfaceTexture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstring>

namespace platform {

HRESULT CreateTextureFromSurface(IGraphicsDevice* device, SDL_Surface* surface,
                                 IGraphicsTexture** texture) {
    *texture = nullptr;
    // ARGB8888 words are 0xAARRGGBB, the texture's own layout.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) {
        return E_OUTOFMEMORY;
    }
    IGraphicsTexture* created = nullptr;
    HRESULT hr = device->CreateTexture(static_cast<std::uint32_t>(argb->w),
                                       static_cast<std::uint32_t>(argb->h), 1, 0, D3DFMT_A8R8G8B8,
                                       D3DPOOL_MANAGED, &created);
    std::uint32_t pitch = 0;
    void* bits = nullptr;
    if (SUCCEEDED(hr)) {
        hr = created->LockRect(0, &pitch, &bits);
    }
    if (SUCCEEDED(hr)) {
        for (int y = 0; y < argb->h; ++y) {
            std::memcpy(static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(y) * pitch,
                        static_cast<const std::uint8_t*>(argb->pixels) +
                            static_cast<std::size_t>(y) * argb->pitch,
                        static_cast<std::size_t>(argb->w) * 4);
        }
        hr = created->UnlockRect(0);
    }
    SDL_FreeSurface(argb);
    if (FAILED(hr)) {
        if (created) {
            created->Release();
        }
        return hr;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IGraphicsDevice* device, const void* data,
                                          std::size_t bytes, IGraphicsTexture** texture) {
    if (!device || !data || bytes == 0 || !texture) {
        return D3DERR_INVALIDCALL;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(bytes));
    SDL_Surface* decoded = stream ? IMG_Load_RW(stream, 1) : nullptr;
    if (!decoded) {
        return E_FAIL;
    }
    const HRESULT hr = CreateTextureFromSurface(device, decoded, texture);
    SDL_FreeSurface(decoded);
    return hr;
}

bool DecodeImageRgba(const void* data, std::size_t bytes, std::vector<std::uint8_t>* rgba,
                     int* width, int* height) {
    if (!data || bytes == 0 || bytes > INT32_MAX || !rgba || !width || !height) {
        return false;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(bytes));
    SDL_Surface* decoded = stream ? IMG_Load_RW(stream, 1) : nullptr;
    if (!decoded) {
        return false;
    }
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(decoded);
    if (!converted) {
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(converted->w) * 4;
    rgba->resize(rowBytes * static_cast<std::size_t>(converted->h));
    for (int y = 0; y < converted->h; ++y) {
        std::memcpy(rgba->data() + rowBytes * static_cast<std::size_t>(y),
                    static_cast<const std::uint8_t*>(converted->pixels) +
                        static_cast<std::size_t>(y) * converted->pitch,
                    rowBytes);
    }
    *width = converted->w;
    *height = converted->h;
    SDL_FreeSurface(converted);
    return true;
}

bool SavePng(const std::string& path, const D3DCOLOR* pixels, std::uint32_t width,
             std::uint32_t height, std::string* error) {
    // SDL only reads the pixels; 0xAARRGGBB words are its RGB888 layout with alpha ignored.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<D3DCOLOR*>(pixels), static_cast<int>(width), static_cast<int>(height), 32,
        static_cast<int>(width * 4), SDL_PIXELFORMAT_RGB888);
    const bool saved = surface && IMG_SavePNG(surface, path.c_str()) == 0;
    if (!saved && error) {
        *error = SDL_GetError();
    }
    SDL_FreeSurface(surface);
    return saved;
}

}  // namespace platform
