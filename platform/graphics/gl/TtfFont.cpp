// Fonts through SDL_ttf and fontconfig.
// Provides: a face by name and weight (fontconfig substitutes metric-compatible faces, so
// "Arial" bold becomes Liberation Sans Bold); cell or em height in pixels; left or centred,
// top-aligned, unclipped lines drawn as one alpha-blended textured quad whose texels map one to
// one onto pixels; the device's states, texture and vertex format restored afterwards.
// Limitations: one line (no word breaks or tabs); the rectangle's right and bottom only serve
// centring; the last string's texture is kept so that a label drawn every frame is rendered
// once.
// Depends on: SDL2_ttf (FreeType), fontconfig, and the device's managed textures.

#include "platform/graphics/GraphicsFont.h"

#include "platform/graphics/gl/SurfaceTexture.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace platform {

namespace {

constexpr std::uint32_t kBoldWeight = 600;

struct TextVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// The states a text draw changes, put back when it is done.
class SavedStates {
public:
    explicit SavedStates(IGraphicsDevice* device) : m_device(device) {
        for (auto& [state, value] : m_render) {
            m_device->GetRenderState(state, &value);
        }
        for (auto& [stage, state, value] : m_stages) {
            m_device->GetTextureStageState(stage, state, &value);
        }
        for (auto& [state, value] : m_sampler) {
            m_device->GetSamplerState(0, state, &value);
        }
        m_device->GetTexture(0, &m_texture);
        m_device->GetFVF(&m_fvf);
    }

    ~SavedStates() {
        for (const auto& [state, value] : m_render) {
            m_device->SetRenderState(state, value);
        }
        for (const auto& [stage, state, value] : m_stages) {
            m_device->SetTextureStageState(stage, state, value);
        }
        for (const auto& [state, value] : m_sampler) {
            m_device->SetSamplerState(0, state, value);
        }
        m_device->SetTexture(0, m_texture);
        if (m_texture) {
            m_texture->Release();
        }
        if (m_fvf) {
            m_device->SetFVF(m_fvf);
        }
    }

    SavedStates(const SavedStates&) = delete;
    SavedStates& operator=(const SavedStates&) = delete;

private:
    IGraphicsDevice* m_device;
    std::pair<D3DRENDERSTATETYPE, std::uint32_t> m_render[6] = {
        {D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_SRCBLEND, 0}, {D3DRS_DESTBLEND, 0},
        {D3DRS_BLENDOP, 0},          {D3DRS_ZENABLE, 0},  {D3DRS_CULLMODE, 0}};
    struct StageState {
        std::uint32_t stage;
        D3DTEXTURESTAGESTATETYPE state;
        std::uint32_t value;
    };
    StageState m_stages[8] = {{0, D3DTSS_COLOROP, 0},   {0, D3DTSS_COLORARG1, 0},
                              {0, D3DTSS_COLORARG2, 0}, {0, D3DTSS_ALPHAOP, 0},
                              {0, D3DTSS_ALPHAARG1, 0}, {0, D3DTSS_ALPHAARG2, 0},
                              {1, D3DTSS_COLOROP, 0},   {1, D3DTSS_ALPHAOP, 0}};
    std::pair<D3DSAMPLERSTATETYPE, std::uint32_t> m_sampler[4] = {{D3DSAMP_MINFILTER, 0},
                                                                  {D3DSAMP_MAGFILTER, 0},
                                                                  {D3DSAMP_ADDRESSU, 0},
                                                                  {D3DSAMP_ADDRESSV, 0}};
    IGraphicsTexture* m_texture = nullptr;
    std::uint32_t m_fvf = 0;
};

class TtfFont final : public IGraphicsFont {
public:
    TtfFont(IGraphicsDevice* device, TTF_Font* font) : m_device(device), m_font(font) {
        m_device->AddRef();
    }

    ~TtfFont() override {
        if (m_texture) {
            m_texture->Release();
        }
        TTF_CloseFont(m_font);
        TTF_Quit();
        m_device->Release();
    }

    std::int32_t DrawText(const char* text, std::int32_t count, const RECT* rect,
                          std::uint32_t format, D3DCOLOR color) override {
        if (!text || !rect) {
            return 0;
        }
        const std::string line =
            count < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(count));
        const std::int32_t height = TTF_FontHeight(m_font);
        if (line.empty()) {
            return height;
        }
        if (line != m_text || !m_texture) {
            if (FAILED(Render(line))) {
                return 0;
            }
        }
        float left = static_cast<float>(rect->left);
        if (format & DT_CENTER) {
            left += static_cast<float>((rect->right - rect->left - m_width) / 2);
        }
        const float top = static_cast<float>(rect->top);
        const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
        const TextVertex quad[4] = {
            {left - 0.5f, top - 0.5f, 0.0f, 1.0f, color, 0, 0},
            {left + w - 0.5f, top - 0.5f, 0.0f, 1.0f, color, 1, 0},
            {left - 0.5f, top + h - 0.5f, 0.0f, 1.0f, color, 0, 1},
            {left + w - 0.5f, top + h - 0.5f, 0.0f, 1.0f, color, 1, 1},
        };
        SavedStates saved(m_device);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        m_device->SetRenderState(D3DRS_ZENABLE, 0);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        m_device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        m_device->SetTexture(0, m_texture);
        m_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
        return height;
    }

    // Managed textures survive a reset, so there is nothing to drop or rebuild.
    HRESULT OnLostDevice() override { return D3D_OK; }
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    // The line in white with coverage as alpha, so the draw's diffuse colour tints it.
    HRESULT Render(const std::string& line) {
        SDL_Surface* glyphs = TTF_RenderUTF8_Blended(m_font, line.c_str(), {255, 255, 255, 255});
        if (!glyphs) {
            return E_FAIL;
        }
        if (m_texture) {
            m_texture->Release();
            m_texture = nullptr;
        }
        m_text.clear();
        const HRESULT hr = CreateTextureFromSurface(m_device, glyphs, &m_texture);
        m_width = glyphs->w;
        m_height = glyphs->h;
        SDL_FreeSurface(glyphs);
        if (SUCCEEDED(hr)) {
            m_text = line;
        }
        return hr;
    }

    IGraphicsDevice* m_device;
    TTF_Font* m_font;
    IGraphicsTexture* m_texture = nullptr;
    std::string m_text;
    std::int32_t m_width = 0, m_height = 0;
};

}  // namespace

std::string ResolveFontFile(const char* face, std::uint32_t weight, bool italic) {
    if (!face) {
        return {};
    }
    // Loading fontconfig's configuration takes several milliseconds and fonts are made again at
    // every device reset, so each face is looked up once per process.
    static std::mutex resolvedMutex;
    static std::map<std::tuple<std::string, bool, bool>, std::string> resolved;
    const auto key = std::make_tuple(std::string(face), weight >= kBoldWeight, italic);
    std::lock_guard lock(resolvedMutex);
    if (const auto found = resolved.find(key); found != resolved.end()) {
        return found->second;
    }
    // A configuration of our own, destroyed after the match, rather than fontconfig's process
    // default, which lives until exit.
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = config ? FcNameParse(reinterpret_cast<const FcChar8*>(face)) : nullptr;
    std::string file;
    if (pattern) {
        FcPatternAddInteger(pattern, FC_WEIGHT,
                            weight >= kBoldWeight ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcChar8* path = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
            file = reinterpret_cast<const char*>(path);
        }
        if (match) {
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    if (config) {
        FcConfigDestroy(config);
    }
    if (!file.empty()) {
        resolved.emplace(key, file);
    }
    return file;
}

HRESULT D3DXCreateFont(IGraphicsDevice* device, std::int32_t height, std::uint32_t weight,
                       bool italic, const char* face, IGraphicsFont** font) {
    if (!device || !font || height == 0) {
        return D3DERR_INVALIDCALL;
    }
    const std::string file = ResolveFontFile(face, weight, italic);
    if (file.empty() || TTF_Init() != 0) {
        std::fprintf(stderr, "font %s: no face (%s)\n", face ? face : "", TTF_GetError());
        return E_FAIL;
    }
    // At 72 dots per inch a point is a pixel, so a negative height is the size itself; a
    // positive one is the cell, found by shrinking the size until the cell fits.
    int size = height < 0 ? -height : height;
    TTF_Font* opened = TTF_OpenFont(file.c_str(), size);
    while (opened && height > 0 && size > 1 && TTF_FontHeight(opened) > height) {
        TTF_SetFontSize(opened, --size);
    }
    if (!opened) {
        std::fprintf(stderr, "font %s: %s\n", file.c_str(), TTF_GetError());
        TTF_Quit();
        return E_FAIL;
    }
    *font = new TtfFont(device, opened);
    return D3D_OK;
}

}  // namespace platform
