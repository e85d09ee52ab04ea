#pragma once
// The palette: a strip of up to 32 tiles along the bottom of the window, one for each kept
// timbre and, after the last, one blank tile where a new one is dropped. Each tile is a card
// printed with one of sixteen patterns, shaded from the timbre's colour at the top to a pale
// tint at the bottom, with the timbre's jewel spinning and glowing in it. Dragging along the strip
// scrolls it with inertia; dragging a tile up out of the strip and releasing it over the keyboard
// band makes its timbre the one that is played. Everything here runs on the user-interface thread.

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include "graphics/Bloom.h"
#include "graphics/ScreenRegion.h"
#include "palette/PaletteEntry.h"
#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/window/Window.h"

class CGraphics;
class CJewelManager;

// A tile's corner: pre-transformed, its colour, the pattern atlas's and the jewel target's
// texture coordinates (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2).
struct TileVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u0, v0;  // pattern atlas
    float u1, v1;  // jewel target
};
static_assert(sizeof(TileVertex) == 36);

class CTimbrePalette {
public:
    static constexpr std::uint32_t kMaxEntries = 32;  // the blank entry included
    // Two triangles a tile: top-left, top-right, bottom-left, top-right, bottom-right, bottom-left.
    static constexpr std::uint32_t kVerticesPerTile = 6;
    static constexpr std::uint32_t kTileFormat = 0x244;  // XYZRHW | DIFFUSE | TEX2
    // The glow of the jewels is added five times as strongly as their brightness.
    static constexpr float kMergeFactor = 5.0f;

    // A tile dragged out of the strip and released at height y (client pixels): the program
    // gives its timbre to the keyboard, and the harmonics control, when y lies in the keyboard
    // band. Unset, such a drop changes nothing.
    using TileDrop = std::function<void(int y, CTimbre& timbre)>;

    // The palette, created and initialised on the first call; null only when it cannot be made.
    static CTimbrePalette* Instance();
    static void DeleteInstance();
    // Installs `palette` and hands back the previous one, which the caller then owns.
    static CTimbrePalette* SetInstance(CTimbrePalette* palette);

    // Holds the blank entry only; nothing is drawn before Initialise.
    CTimbrePalette();
    CTimbrePalette(const CTimbrePalette&) = delete;
    CTimbrePalette& operator=(const CTimbrePalette&) = delete;
    // Deletes every entry with its timbre and mesh, releases every device object.
    virtual ~CTimbrePalette();

    // Layout, the Timbres folder, the pattern atlas and the jewels' declaration; stops at the
    // first failure and returns it.
    HRESULT Initialise();

    // The strip laid out afresh for render target 0 (the scroll position goes back to the
    // start), and the four jewel targets made at its size.
    HRESULT Layout();
    // The geometry alone, for a back buffer of width x height.
    void LayoutTiles(std::uint32_t width, std::uint32_t height);
    // Releases the four jewel targets.
    HRESULT OnLostDevice();

    // Follows the pointer while a tile is held, scrolls, and draws the strip onto the current
    // render target; total and dt in seconds.
    void Render(float total, float dt);
    // The part of Render that moves the strip: pointer tracking from the polled cursor
    // position while a tile is held, then scrolling.
    void Update(float dt);
    // One frame's pointer tracking at client position (x, y), dt seconds after the last.
    void TrackPointer(int x, int y, float dt);
    // One frame of kinetic scrolling.
    void Scroll(float dt);

    // A press over a drawn tile is taken (true) and held; the window procedure then captures the
    // pointer. Elsewhere the press is left to the others.
    bool OnButtonDown(platform::Window* window, int x, int y);
    // Ends a held press (true); false when none was held.
    bool OnButtonUp(int y);
    // Whether a drawn tile lies under the point, and its position in the list, or -1.
    bool HitTile(int x, int y) const;
    int TileIndexAt(int x, int y) const;
    // Whether the tile under the point holds no timbre.
    bool IsOverBlankTile(int x, int y) const;

    // Adds an entry before the blank tile and returns it, the palette owning timbre and mesh.
    // A full palette keeps its first 31 entries and the latest one: the entry added before this
    // one (at first the blank entry) is deleted.
    PaletteEntry* AddEntry(std::unique_ptr<CTimbre> timbre, std::unique_ptr<JewelMesh> mesh);
    // The timbre dropped on the tile under (x, y), with the library's jewel at position `jewel`:
    // a filled tile takes it over, the blank tile becomes a new entry; then the entry is saved.
    // False when no tile is there, or when the save failed (the user is told, and the tile shows
    // the timbre all the same).
    bool StoreTimbreAt(int x, int y, std::unique_ptr<CTimbre> timbre, int jewel);
    // Packs the entries' meshes, in tile order, into the palette's own buffers.
    HRESULT RebuildJewelBuffers();
    // Where the jewels of the drawn tiles can fall on the jewel target: the glow is made and
    // merged only there, which changes no pixel a tile shows.
    TextureRegion JewelRegion() const;

    // Writes the entry to its file in the Timbres folder, naming it first if it has no name. A
    // write that fails is returned as a failure, with every other file as it was.
    HRESULT SaveEntry(PaletteEntry& entry);
    // Reads every *.tmbr file of the Timbres folder in name order into entries; the built-in
    // timbres stand in when none could be added. The first entry becomes the pressed one.
    HRESULT LoadTimbres();

    // The entry at a position, or null past the end of the list.
    PaletteEntry* EntryAt(std::uint32_t position) const;
    // The first of a tile's six vertices.
    TileVertex* Tile(std::uint32_t position) { return &m_tiles[position * kVerticesPerTile]; }
    const TileVertex* Tile(std::uint32_t position) const {
        return &m_tiles[position * kVerticesPerTile];
    }

    void SetTileDrop(TileDrop drop) { m_tileDrop = std::move(drop); }
    // The clock that names new files; tests give their own.
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }

    CGraphics* m_graphics = nullptr;                // not owned
    platform::IGraphicsDevice* m_device = nullptr;  // not owned
    CJewelManager* m_jewels = nullptr;              // not owned: the library and the renderer
    std::array<TileVertex, kMaxEntries * kVerticesPerTile> m_tiles{};
    std::array<platform::D3DVECTOR4, kMaxEntries> m_jewelColours{};  // red, green, blue, 0
    // Centre of each position's cell in the jewel target, in normalised device coordinates.
    std::array<platform::D3DVECTOR4, kMaxEntries> m_jewelCells{};
    float m_pitch = 0.785398f;
    float m_yawRate = -0.25f;
    float m_rollRate = 0.75f;
    platform::D3DMATRIX m_viewProjection{};
    platform::D3DVIEWPORT9 m_viewport{};
    platform::IGraphicsTexture* m_jewelTarget = nullptr;   // the jewels as drawn
    platform::IGraphicsTexture* m_mergedTarget = nullptr;  // the jewels with their glow
    std::uint32_t m_targetWidth = 0;
    std::uint32_t m_targetHeight = 0;
    platform::IGraphicsTexture* m_brightTarget = nullptr;  // an eighth of the jewel target
    platform::IGraphicsTexture* m_blurTarget = nullptr;
    BloomKernel m_blurParams{};
    platform::IGraphicsTexture* m_patternTexture = nullptr;  // 4 x 4 greyscale patterns
    std::uint32_t m_entryCount = 1;  // the blank entry included
    std::uint32_t m_cellsAcross = 0;
    std::uint32_t m_visibleCount = 1;  // tiles drawn from m_firstVisible on
    std::uint32_t m_firstVisible = 0;
    std::unique_ptr<PaletteEntry> m_head;
    PaletteEntry* m_blank = nullptr;         // the last entry; null until the first is added
    PaletteEntry* m_pressedEntry = nullptr;  // under the last press; the first after loading
    std::int32_t m_leftMargin = 0;
    std::int32_t m_top = 0;
    std::int32_t m_tileWidth = 0;
    std::int32_t m_tileHeight = 0;
    std::int32_t m_gap = 0;
    std::int32_t m_pointerState = 0;  // 0 idle, 1 pressed on the strip, 2 dragging a tile out
    platform::Window* m_window = nullptr;
    std::array<TileVertex, 4> m_dragQuad{};  // top-left, top-right, bottom-left, bottom-right
    std::int32_t m_lastX = 0;
    std::int32_t m_lastY = 0;
    float m_scrollBudget = 0.0f;    // pixels the strip may still travel
    float m_scrollVelocity = 0.0f;  // pixels per second of the pointer's last move along it
    platform::IGraphicsVertexBuffer* m_vertexBuffer = nullptr;
    platform::IGraphicsIndexBuffer* m_indexBuffer = nullptr;
    platform::IGraphicsVertexDeclaration* m_vertexDecl = nullptr;

    // The back buffer the strip is laid out for.
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    // Where the timbre files are kept; empty when there is no such folder.
    std::filesystem::path m_folder;
    // The farthest any vertex of the entries' meshes lies from its mesh's origin.
    float m_meshRadius = 0.0f;

private:
    // Gives position n the colours of its entry's timbre, or of the blank tile.
    void ColourPosition(std::uint32_t position, const PaletteEntry& entry);
    // Reads one file of the folder into a new entry; a file that is not a timbre is skipped.
    void LoadTimbreFile(const std::string& name);
    void AddBuiltInTimbres();
    void ReleaseDeviceObjects();
    void DrawTiles();
    void DrawJewels(float total);

    TileDrop m_tileDrop;
    std::function<std::time_t()> m_clock;
};

// A mesh of the jewel library chosen by rand(), so that a palette loaded before the generator is
// seeded picks the same jewels on every run; null for an empty library.
const JewelMesh* PickRandomJewel(const CJewelManager& library);
