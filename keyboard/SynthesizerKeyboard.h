#pragma once
// The computer keyboard as the instrument: 48 keys, each given a note of the current timbre, a
// key scan once per frame that starts, feeds and releases voices, and a rising jewel column for
// every struck note. The keyboard also keeps its own copy of the current timbre, the one that is
// shown and dragged from the keyboard band. Everything here runs on the user-interface thread,
// except OnKeysChanged: a key listener's thread starts and releases notes there as keys go down
// and up, while the user-interface thread draws. The notes' side of the keys (voices, waveforms,
// the key state last acted on) is shared by both under m_notes; the columns and the picture stay
// with the frame.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/Bloom.h"
#include "keyboard/KeyTable.h"
#include "keyboard/KeyboardKey.h"
#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/base/HResult.h"
#include "platform/window/Window.h"
#include "synth/Synthesizer.h"
#include "synth/Timbre.h"

class CGraphics;
class CJewelManager;

class CSynthesizerKeyboard {
public:
    // Entries of the glow array: at most this many playing keys glow at once.
    static constexpr std::uint32_t kLitKeyCount = 8;

    // Fills keys[vk] for all 256 virtual keys (high bit set: down); false when the state could
    // not be read, and the frame's scan is then skipped.
    using KeyStateSource = std::function<bool(std::uint8_t* keys)>;

    // The keyboard, created and initialised on the first call.
    static CSynthesizerKeyboard* Instance();
    static void DeleteInstance();
    // Installs `keyboard` as the instance and hands back the previous one, which the caller then
    // owns.
    static CSynthesizerKeyboard* SetInstance(CSynthesizerKeyboard* keyboard);

    CSynthesizerKeyboard() = default;
    CSynthesizerKeyboard(const CSynthesizerKeyboard&) = delete;
    CSynthesizerKeyboard& operator=(const CSynthesizerKeyboard&) = delete;
    // Deletes the keys, then the synthesizer and the jewel manager, which the keyboard outlives
    // at shutdown.
    virtual ~CSynthesizerKeyboard();

    // The key table. A failure shows its message and requests the quit; start-up goes on, so the
    // result is always S_OK.
    HRESULT Init();

    // The scan reads all keys at once from here; without a source no key is ever down.
    void SetKeyStateSource(KeyStateSource source);
    // The key state of a listener that calls OnKeysChanged whenever it changes: from then on
    // key changes are acted on as they come, and the frames read the same state.
    void SetListenedKeyStateSource(KeyStateSource source);
    // The millisecond clock that places notes struck between frames in the frames' time.
    void SetClock(std::function<std::uint32_t()> clock);
    // The label of a virtual key in the active layout, for the key names drawn on the keys.
    using KeyNameSource = std::function<std::string(std::uint8_t virtualKey)>;
    void SetKeyNameSource(KeyNameSource source) { m_keyNameSource = std::move(source); }

    // Makes `timbre` the playing timbre. The keys share its waveform set, so the caller may
    // rebuild or delete `timbre` afterwards: the keys, and every note that sounds, keep the
    // waveforms they have. A hue still to be derived is derived here, in `timbre` itself.
    void SetTimbre(CTimbre& timbre);

    // The per-frame key scan, dt seconds after the previous one.
    void UpdateKeys(float dt);
    // The listener's thread: a key gone down starts its note on a free voice at once, a key gone
    // up releases its note at once. The frame's scan then raises and releases their columns, and
    // feeds a note struck here from the moment it was struck, so a held key gains the same
    // energy whichever thread saw it go down. A key that finds no voice is left to the frames,
    // which strike it again each frame as before.
    void OnKeysChanged();
    // One frame of a key that is down; true when it struck a note (voice or not). The caller
    // holds the notes' lock, as UpdateKeys does.
    bool HoldKey(CKeyboardKey& key, float dt);

    // The keyboard scene: the key mesh and the effect handles, made once by Init.
    HRESULT BuildKeyMesh();
    // The targets, kernels, label texture and cameras of the current back-buffer size.
    HRESULT OnResetDevice();
    HRESULT OnLostDevice();
    HRESULT BuildLabelTexture();
    std::vector<platform::D3DVECTOR3> KeyCentres() const;
    // Where the keys' vertices fall on the scene target through the keyboard camera.
    TextureRegion ProjectKeys() const;
    // The keys with their glow, then the jewel columns, added onto the current render target.
    HRESULT RenderScene(float total, float dt);

    // Keeping the current timbre: a press in the keyboard band, pulled out of it, lifts a
    // spinning jewel of the timbre that follows the pointer; released over a palette tile, a
    // copy of the timbre is kept there with that jewel.

    // Whether y lies strictly inside the keyboard band: between half and three quarters of the
    // height, each truncated to whole pixels.
    bool IsInBand(int y) const;
    // A press inside the band is taken (true) and held until its release.
    bool OnButtonDown(int x, int y, platform::Window* window);
    // Ends a held drag (true), keeping the timbre in the palette tile under (x, y) if the drag
    // had left the band; false when nothing was held.
    bool OnButtonUp(int x, int y);
    // One frame of a held drag with the pointer at client (x, y): leaving the band lifts the
    // jewel, and from then on the drag stays lifted wherever the pointer goes.
    void TrackDrag(int x, int y);
    // The lifted jewel's square moves halfway towards the pointer.
    void FollowPointer();

    // The key colours as the keyboard scene uploads them: (red, green, blue, 0) per key.
    void RebuildKeyColours();
    // The positions (x, y, z, 1) of the first kLitKeyCount keys in index order that hold a
    // voice; the remaining entries are 0.
    void RebuildLitKeys();

    std::unique_ptr<CKeyboardKey[]> m_keys;  // m_keyCount keys, in key-table order
    std::uint32_t m_keyCount = 0;
    std::unique_ptr<CTimbre> m_timbre;  // own copy of the current timbre; null before SetTimbre

    // The keyboard scene. The two constant arrays are filled by the key scan and allocated on
    // first use; the targets follow the back buffer.
    CGraphics* m_graphics = nullptr;                            // not owned
    platform::IGraphicsDevice* m_device = nullptr;              // not owned
    platform::IGraphicsEffect* m_effect = nullptr;              // not owned
    CJewelManager* m_jewels = nullptr;                          // not owned
    platform::IGraphicsVertexBuffer* m_vertexBuffer = nullptr;  // 7 vertices per key
    platform::IGraphicsIndexBuffer* m_indexBuffer = nullptr;    // 18 indices per key
    platform::IGraphicsVertexDeclaration* m_declaration = nullptr;
    std::unique_ptr<platform::D3DVECTOR4[]> m_keyColours;  // m_keyCount entries
    std::unique_ptr<platform::D3DVECTOR4[]> m_litKeys;     // kLitKeyCount entries
    std::uint32_t m_targetWidth = 0, m_targetHeight = 0;   // W and H, multiples of 8
    // The keyboard's rectangle: key centres widened by one unit on every side.
    float m_minX = 0.0f, m_maxX = 0.0f, m_minZ = 0.0f, m_maxZ = 0.0f;
    float m_width = 0.0f, m_depth = 0.0f;
    platform::IGraphicsTexture* m_sceneTarget = nullptr;   // W x H
    platform::IGraphicsTexture* m_brightTarget = nullptr;  // W/8 x H/8
    platform::IGraphicsTexture* m_blurTarget = nullptr;    // W/8 x H/8
    BloomKernel m_blurKernel{};                            // a streak downwards
    platform::IGraphicsTexture* m_labelTexture = nullptr;  // key names and natural plates
    platform::IGraphicsTexture* m_jewelTarget = nullptr;   // H/4 square: the dragged jewel
    platform::IGraphicsTexture* m_jewelMerged = nullptr;   // H/4 square: it with its glow
    platform::IGraphicsTexture* m_jewelBright = nullptr;   // H/32 square
    platform::IGraphicsTexture* m_jewelBlur = nullptr;     // H/32 square
    BloomKernel m_jewelKernel{};
    platform::D3DXHANDLE m_hKeyboard = nullptr;
    platform::D3DXHANDLE m_hSeveralColorJewel = nullptr;
    platform::D3DXHANDLE m_hFloat4x48 = nullptr;
    platform::D3DXHANDLE m_hFloat4x8 = nullptr;
    platform::D3DXHANDLE m_hViewProjection = nullptr;
    platform::D3DXHANDLE m_hCameraPosition = nullptr;
    platform::D3DMATRIX m_viewProjection{};
    platform::D3DVECTOR3 m_cameraPosition{};
    TextureRegion m_keysRegion;  // where the keys fall on the scene target
    platform::D3DMATRIX m_jewelViewProjection{};
    platform::D3DVECTOR3 m_jewelEye{};
    platform::D3DVECTOR3 m_jewelLight{-0.5f, -1.5f, -3.0f};
    platform::D3DVIEWPORT9 m_jewelViewport{};
    // Dragging the current timbre out of the keyboard band: 0 idle, 1 pressed inside the band,
    // 2 lifted out of it; the jewel is the library's position of the one shown, -1 for none.
    std::int32_t m_dragState = 0;
    std::int32_t m_dragJewel = -1;
    platform::Window* m_window = nullptr;  // whose client coordinates the pointer is read in
    std::int32_t m_lastX = 0, m_lastY = 0;
    // Top-left, top-right, bottom-left, bottom-right: pre-transformed, textured with the
    // jewel's picture (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1).
    struct DragVertex {
        float x, y, z, rhw;
        platform::D3DCOLOR colour;
        float u, v;
    };
    DragVertex m_dragQuad[4] = {};
    static_assert(sizeof(DragVertex) == 28);

private:
    HRESULT BuildKeyTable();
    // A column rises from the key in its colour (none when all are in use).
    void SpawnColumn(CKeyboardKey& key);
    // A free voice starts the key's note (false when none is free; the key keeps no voice).
    bool StartNote(CKeyboardKey& key);
    // The key's note is released and the key lets go of its voice; its column is left as it is.
    void ReleaseNoteOf(CKeyboardKey& key);
    void ReleaseKey(CKeyboardKey& key);
    // The slot recording which key's note `voice` plays; null for none, or a voice not of the
    // synthesizer.
    const CKeyboardKey** PlayerSlot(const CPlayTask* voice);
    bool PlaysNoteOf(const CKeyboardKey& key);

    void ReleaseSceneObjects();
    // The pointer as the cursor stands now, for a held drag.
    void UpdateDrag();
    // The lifted jewel with its glow, into its square on the current render target.
    void DrawDraggedJewel(float total);

    // One key change of the notes' side that the frame's scan has still to show.
    struct ColumnChange {
        std::uint32_t key;
        bool struck;  // true: the key struck a note; false: its note was released
    };
    // The notes' side of both scans; the caller holds m_notes.
    void ApplyKeyChanges(const std::uint8_t* state);
    void ShowColumnChanges(std::array<bool, kKeyCount>& struck, bool& changed);
    // RebuildLitKeys for a caller that holds m_notes.
    void RebuildLitKeysLocked();

    // Guards the keys' waves and voices, m_voicePlayers, the voices' start and waveform release,
    // and everything below up to m_keyNameSource.
    std::mutex m_notes;
    KeyStateSource m_keyStateSource;
    bool m_listened = false;
    std::array<bool, kKeyCount> m_keyDown{};  // the key state last acted on
    std::vector<ColumnChange> m_columnChanges;
    // The frames' time: seconds of dt added up, and the clock when the last scan ran. A note
    // struck between frames is stamped in it.
    std::function<std::uint32_t()> m_clock;
    double m_scanSeconds = 0.0;
    std::uint32_t m_scanClock = 0;
    std::array<double, kKeyCount> m_struckAt{};
    KeyNameSource m_keyNameSource;
    // Which key last started each voice. A held key whose note has ended keeps its voice, so that
    // it does not strike again; once another key starts a note there, the first key neither feeds
    // nor releases it.
    std::array<const CKeyboardKey*, CSynthesizer::kVoiceCount> m_voicePlayers{};
};
