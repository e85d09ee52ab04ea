// The palette's entries: the singleton, adding and storing timbres, and each position's colours.

#include "palette/TimbrePalette.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#include "controls/HsvColour.h"
#include "graphics/Graphics.h"
#include "graphics/ResourceTexture.h"
#include "jewels/JewelBuffers.h"
#include "jewels/JewelManager.h"
#include "platform/window/MessageBox.h"
#include "resources/Resources.h"

namespace {

CTimbrePalette* g_instance = nullptr;

}  // namespace

PaletteEntry::~PaletteEntry() {
    std::unique_ptr<PaletteEntry> rest = std::move(m_next);
    while (rest) {
        rest = std::move(rest->m_next);
    }
}

CTimbrePalette* CTimbrePalette::Instance() {
    if (!g_instance) {
        g_instance = new (std::nothrow) CTimbrePalette();
        if (g_instance) {
            g_instance->Initialise();
        }
    }
    return g_instance;
}

void CTimbrePalette::DeleteInstance() {
    delete std::exchange(g_instance, nullptr);
}

CTimbrePalette* CTimbrePalette::SetInstance(CTimbrePalette* palette) {
    return std::exchange(g_instance, palette);
}

CTimbrePalette::CTimbrePalette()
    : m_head(std::make_unique<PaletteEntry>()), m_clock([] { return std::time(nullptr); }) {}

CTimbrePalette::~CTimbrePalette() {
    ReleaseDeviceObjects();
    m_blank = nullptr;
    m_pressedEntry = nullptr;
    m_head.reset();
}

HRESULT CTimbrePalette::Initialise() {
    m_graphics = CGraphics::Instance();
    m_device = m_graphics->m_device;
    m_jewels = CJewelManager::Instance();
    HRESULT hr = Layout();
    if (SUCCEEDED(hr)) {
        hr = LoadTimbres();
    }
    if (SUCCEEDED(hr)) {
        hr = D3DXCreateTextureFromResource(m_device, resources::kPatternAtlasResource,
                                           &m_patternTexture);
    }
    if (SUCCEEDED(hr)) {
        hr = CreateJewelDeclaration(m_device, &m_vertexDecl);
    }
    return hr;
}

PaletteEntry* CTimbrePalette::EntryAt(std::uint32_t position) const {
    PaletteEntry* entry = m_head.get();
    for (std::uint32_t i = 0; i < position && entry; ++i) {
        entry = entry->m_next.get();
    }
    return entry;
}

void CTimbrePalette::ColourPosition(std::uint32_t position, const PaletteEntry& entry) {
    std::uint32_t top = kBlankTileColour, bottom = kBlankTileColour;
    platform::D3DVECTOR4 jewel{0.0f, 0.0f, 0.0f, 0.0f};
    if (CTimbre* timbre = entry.m_timbre.get()) {
        if (timbre->m_color.m_hue < 0.0f) {
            timbre->DeriveHue();
        }
        top = TileTopColour(timbre->m_color);
        bottom = TileBottomColour(timbre->m_color);
        PaletteJewelRgb(timbre->m_color, &jewel.x, &jewel.y, &jewel.z);
    }
    TileVertex* tile = Tile(position);
    for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
        tile[v].colour = (v == 0 || v == 1 || v == 3) ? top : bottom;
    }
    m_jewelColours[position] = jewel;
}

PaletteEntry* CTimbrePalette::AddEntry(std::unique_ptr<CTimbre> timbre,
                                       std::unique_ptr<JewelMesh> mesh) {
    auto added = std::make_unique<PaletteEntry>();
    added->m_timbre = std::move(timbre);
    added->m_mesh = mesh ? std::move(mesh) : std::make_unique<JewelMesh>();
    PaletteEntry* entry = added.get();
    ++m_entryCount;
    if (!m_blank) {
        m_blank = m_head.get();
    }

    // In before the last entry, its mesh chained after the previous entry's.
    PaletteEntry* previous = m_blank->m_prev;
    entry->m_prev = previous;
    entry->m_mesh->next = m_blank->m_mesh.get();
    std::unique_ptr<PaletteEntry>& link = previous ? previous->m_next : m_head;
    entry->m_next = std::move(link);
    link = std::move(added);
    if (previous) {
        previous->m_mesh->next = entry->m_mesh.get();
    }
    m_blank->m_prev = entry;
    const std::uint32_t position = m_entryCount - 2;

    if (m_entryCount > kMaxEntries) {
        // The last entry goes, its mesh cut out of the chain first.
        entry->m_mesh->next = nullptr;
        if (m_pressedEntry == m_blank) {
            m_pressedEntry = entry;
        }
        entry->m_next.reset();
        m_blank = entry;
        --m_entryCount;
    }

    // One more tile is drawn while the strip's last drawn tile ends short of the right margin;
    // it goes beside that tile, wherever the strip has scrolled to.
    const std::uint32_t last = m_firstVisible + m_visibleCount - 1;
    if (m_visibleCount < m_entryCount && m_firstVisible + m_visibleCount < kMaxEntries &&
        Tile(last)[1].x < static_cast<float>(m_width) - static_cast<float>(m_gap)) {
        TileVertex* next = Tile(last + 1);
        const float step = static_cast<float>(m_tileWidth + m_gap);
        for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
            next[v].x = Tile(last)[v].x + step;
        }
        ++m_visibleCount;
    }

    std::uint32_t i = position;
    for (PaletteEntry* e = entry; e && i < kMaxEntries; e = e->m_next.get(), ++i) {
        ColourPosition(i, *e);
    }
    return entry;
}

bool CTimbrePalette::StoreTimbreAt(int x, int y, std::unique_ptr<CTimbre> timbre, int jewel) {
    const int n = TileIndexAt(x, y);
    if (n < 0 || static_cast<std::uint32_t>(n) >= m_entryCount || !timbre) {
        return false;
    }
    const auto position = static_cast<std::uint32_t>(n);
    PaletteEntry* entry = EntryAt(position);
    if (entry->m_timbre) {
        *entry->m_timbre = *timbre;
        ColourPosition(position, *entry);
    } else {
        entry = AddEntry(std::move(timbre), std::make_unique<JewelMesh>());
    }
    const JewelMesh* source = m_jewels && jewel >= 0 ? m_jewels->m_meshes.get() : nullptr;
    for (int i = 0; i < jewel && source; ++i) {
        source = source->next;
    }
    if (source) {
        CopyJewelMesh(*entry->m_mesh, *source);
    }

    const HRESULT saved = SaveEntry(*entry);
    // The tile shows the timbre and its jewel whether or not its file could be written.
    RebuildJewelBuffers();
    if (FAILED(saved)) {
        platform::MessageBox(
            m_folder.empty()
                ? "The timbre could not be kept: there is no Timbres folder, and none could be "
                  "made."
                : "The timbre could not be kept in " + (m_folder / entry->m_fileName).string() +
                      ". Check that the folder exists and may be written to, and that the disk "
                      "is not full.");
        return false;
    }
    return true;
}

const JewelMesh* PickRandomJewel(const CJewelManager& library) {
    if (library.m_meshCount == 0) {
        return nullptr;
    }
    const auto index = static_cast<std::uint32_t>(std::rand()) % library.m_meshCount;
    const JewelMesh* mesh = library.m_meshes.get();
    for (std::uint32_t i = 0; i < index && mesh; ++i) {
        mesh = mesh->next;
    }
    return mesh;
}
