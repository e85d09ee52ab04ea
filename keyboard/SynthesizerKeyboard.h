#pragma once
// The computer keyboard as the instrument: 48 keys, each given a note of the current timbre, a
// key scan once per frame that starts, feeds and releases voices, and a rising jewel column for
// every struck note. The keyboard also keeps its own copy of the current timbre, the one that is
// shown and dragged from the keyboard band. Everything here runs on the user-interface thread.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "keyboard/KeyboardKey.h"
#include "platform/GraphicsTypes.h"
#include "platform/HResult.h"
#include "synth/Synthesizer.h"
#include "synth/Timbre.h"

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
    void SetKeyStateSource(KeyStateSource source) { m_keyStateSource = std::move(source); }

    // Makes `timbre` the playing timbre. The keys point into its waveforms, so the caller keeps
    // them alive, and does not rebuild them while they sound, until the next SetTimbre. A hue
    // still to be derived is derived here, in `timbre` itself.
    void SetTimbre(CTimbre& timbre);

    // The per-frame key scan, dt seconds after the previous one.
    void UpdateKeys(float dt);
    // One frame of a key that is down; true when it struck a note (voice or not).
    bool HoldKey(CKeyboardKey& key, float dt);

    // The key colours as the keyboard scene uploads them: (red, green, blue, 0) per key.
    void RebuildKeyColours();
    // The positions (x, y, z, 1) of the first kLitKeyCount keys in index order that hold a
    // voice; the remaining entries are 0.
    void RebuildLitKeys();

    std::unique_ptr<CKeyboardKey[]> m_keys;  // m_keyCount keys, in key-table order
    std::uint32_t m_keyCount = 0;
    std::unique_ptr<CTimbre> m_timbre;  // own copy of the current timbre; null before SetTimbre

    // The keyboard scene's fields follow: graphics objects, key mesh, targets and cameras. The
    // two constant arrays are filled by the key scan and allocated on first use.
    std::unique_ptr<platform::D3DVECTOR4[]> m_keyColours;  // m_keyCount entries
    std::unique_ptr<platform::D3DVECTOR4[]> m_litKeys;     // kLitKeyCount entries

private:
    HRESULT BuildKeyTable();
    void ReleaseKey(CKeyboardKey& key);
    // The slot recording which key's note `voice` plays; null for a voice not of the synthesizer.
    const CKeyboardKey** PlayerSlot(const CPlayTask* voice);
    bool PlaysNoteOf(const CKeyboardKey& key);

    KeyStateSource m_keyStateSource;
    // Which key last started each voice. A held key whose note has ended keeps its voice, so that
    // it does not strike again; once another key starts a note there, the first key neither feeds
    // nor releases it.
    std::array<const CKeyboardKey*, CSynthesizer::kVoiceCount> m_voicePlayers{};

    static CSynthesizerKeyboard* s_instance;
};
