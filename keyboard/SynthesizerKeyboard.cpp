#include "keyboard/SynthesizerKeyboard.h"

#include <algorithm>
#include <new>
#include <utility>

#include "controls/HsvColour.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "platform/window/KeyMap.h"
#include "platform/system/SystemServices.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

using namespace platform;

namespace {

CSynthesizerKeyboard* g_instance = nullptr;

constexpr std::uint8_t kKeyDown = 0x80;
// A released key's column grows this much longer, then fades.
constexpr float kReleasedColumnLife = 0.2f;

}  // namespace

CSynthesizerKeyboard* CSynthesizerKeyboard::Instance() {
    if (!g_instance) {
        g_instance = new CSynthesizerKeyboard();
        g_instance->Init();
    }
    return g_instance;
}

void CSynthesizerKeyboard::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CSynthesizerKeyboard* CSynthesizerKeyboard::SetInstance(CSynthesizerKeyboard* keyboard) {
    return std::exchange(g_instance, keyboard);
}

CSynthesizerKeyboard::~CSynthesizerKeyboard() {
    m_keys.reset();
    m_keyCount = 0;
    ReleaseSceneObjects();
    CSynthesizer::DeleteInstance();
    CJewelManager::DeleteInstance();
}

HRESULT CSynthesizerKeyboard::Init() {
    HRESULT hr = BuildKeyTable();
    if (SUCCEEDED(hr)) {
        hr = BuildKeyMesh();
    }
    if (FAILED(hr)) {
        MessageBox("Error on SynthesizerKeyBoard::Init()");
        platform::PostQuitMessage(platform::kFailureExitCode);
    }
    return S_OK;
}

HRESULT CSynthesizerKeyboard::BuildKeyTable() {
    m_keys.reset(new (std::nothrow) CKeyboardKey[kKeyCount]());
    if (!m_keys) {
        m_keyCount = 0;
        return E_OUTOFMEMORY;
    }
    for (std::uint32_t i = 0; i < kKeyCount; ++i) {
        m_keys[i].m_virtualKey = KeyVirtualKey(i);
        m_keys[i].m_position = KeyPosition(i);
    }
    m_keyCount = kKeyCount;
    return S_OK;
}

void CSynthesizerKeyboard::SetKeyStateSource(KeyStateSource source) {
    std::lock_guard lock(m_notes);
    m_keyStateSource = std::move(source);
    m_listened = false;
}

void CSynthesizerKeyboard::SetListenedKeyStateSource(KeyStateSource source) {
    std::lock_guard lock(m_notes);
    m_keyStateSource = std::move(source);
    m_listened = true;
}

void CSynthesizerKeyboard::SetClock(std::function<std::uint32_t()> clock) {
    std::lock_guard lock(m_notes);
    m_clock = std::move(clock);
}

void CSynthesizerKeyboard::SetTimbre(CTimbre& timbre) {
    // A listener may be starting a note on one of the keys' waves.
    std::lock_guard lock(m_notes);
    if (!m_timbre) {
        m_timbre = std::make_unique<CTimbre>(timbre);
    } else {
        *m_timbre = timbre;
    }

    // High keys are paler: the saturation falls by one semitone's share of the synthesizer's
    // range from one live key to the next.
    CSynthesizer* synth = CSynthesizer::Instance();
    const auto step = static_cast<float>(
        1.0L / static_cast<long double>(Distance(synth->m_lowest, synth->m_highest)));
    float saturation = 1.0f;
    const auto notes = AssignNotes(synth->m_lowest);
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        CKeyboardKey& key = m_keys[i];
        if (!notes[i]) {
            key.m_color = CHSVColor(0.0f, 0.0f, 0.0f);
            key.m_wave = nullptr;
            key.m_red = key.m_green = key.m_blue = 0.0f;
            continue;
        }
        if (timbre.m_color.m_hue < 0.0f) {
            timbre.DeriveHue();
        }
        // Null when the timbre has no waveform for the note: the key stays silent.
        key.m_wave = timbre.WaveOf(*notes[i]);
        SetKeyColour(key, timbre.m_color.m_hue, saturation, 1.0f);
        saturation = static_cast<float>(static_cast<double>(saturation) - step);
    }
    RebuildKeyColours();
}

void CSynthesizerKeyboard::UpdateKeys(float dt) {
    std::lock_guard lock(m_notes);
    // Notes that ended since the last frame give up their waveforms here, never on the audio
    // thread.
    CSynthesizer::Instance()->ReleaseEndedWaves();
    std::uint8_t state[kVirtualKeyCount] = {};
    if (!m_keyStateSource || !m_keyStateSource(state)) {
        return;
    }
    m_scanSeconds += static_cast<double>(dt);
    m_scanClock = m_clock ? m_clock() : timeGetTime();
    bool changed = false;
    std::array<bool, kKeyCount> struck{};
    ShowColumnChanges(struck, changed);
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        CKeyboardKey& key = m_keys[i];
        m_keyDown[i] = (state[key.m_virtualKey] & kKeyDown) != 0;
        if (m_keyDown[i]) {
            if (!struck[i]) {
                changed = HoldKey(key, dt) || changed;
            } else if (PlaysNoteOf(key)) {
                // Struck between frames: fed for the time since, which is never more than the
                // frame; its column rose this frame and is fed from the next.
                const double held = std::clamp(m_scanSeconds - m_struckAt[i], 0.0,
                                               static_cast<double>(dt));
                key.m_voice->Sustain(static_cast<float>(held));
            }
        } else if (key.m_voice) {
            // A key that never got a voice is not released: its column keeps the life it had.
            ReleaseKey(key);
            changed = true;
        }
    }
    if (changed) {
        RebuildLitKeysLocked();
    }
}

void CSynthesizerKeyboard::OnKeysChanged() {
    std::lock_guard lock(m_notes);
    std::uint8_t state[kVirtualKeyCount] = {};
    if (!m_listened || !m_keyStateSource || !m_keyStateSource(state)) {
        return;
    }
    ApplyKeyChanges(state);
}

void CSynthesizerKeyboard::ApplyKeyChanges(const std::uint8_t* state) {
    const std::uint32_t now = m_clock ? m_clock() : timeGetTime();
    const double struckAt =
        m_scanSeconds + static_cast<double>(ElapsedMilliseconds(m_scanClock, now)) * 0.001;
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        CKeyboardKey& key = m_keys[i];
        const bool down = (state[key.m_virtualKey] & kKeyDown) != 0;
        if (down == m_keyDown[i]) {
            continue;
        }
        m_keyDown[i] = down;
        if (down) {
            if (key.m_wave && !key.m_voice && StartNote(key)) {
                m_struckAt[i] = struckAt;
                m_columnChanges.push_back({i, true});
            }
        } else if (key.m_voice) {
            ReleaseNoteOf(key);
            m_columnChanges.push_back({i, false});
        }
    }
}

void CSynthesizerKeyboard::ShowColumnChanges(std::array<bool, kKeyCount>& struck, bool& changed) {
    for (const ColumnChange& change : m_columnChanges) {
        CKeyboardKey& key = m_keys[change.key];
        if (change.struck) {
            SpawnColumn(key);
            struck[change.key] = true;
        } else if (key.m_jewel) {
            key.m_jewel->m_life = kReleasedColumnLife;
            key.m_jewel = nullptr;
        }
        changed = true;
    }
    m_columnChanges.clear();
}

bool CSynthesizerKeyboard::HoldKey(CKeyboardKey& key, float dt) {
    if (!key.m_wave) {
        return false;
    }
    if (key.m_voice) {
        if (PlaysNoteOf(key)) {
            key.m_voice->Sustain(dt);
        }
        if (key.m_jewel) {
            key.m_jewel->m_life += dt;
        }
        return false;
    }
    // Without a free voice the key stays silent and strikes again on the next frame, with one
    // more column each time, until a voice frees.
    StartNote(key);
    SpawnColumn(key);
    return true;
}

void CSynthesizerKeyboard::SpawnColumn(CKeyboardKey& key) {
    key.m_jewel = CJewelManager::Instance()->SpawnColumn(
        key.m_position.x, key.m_position.y, key.m_position.z, key.m_color.m_hue,
        key.m_color.m_saturation, key.m_color.m_value);
}

bool CSynthesizerKeyboard::StartNote(CKeyboardKey& key) {
    CPlayTask* voice = CSynthesizer::Instance()->FindFreeVoice();
    if (voice) {
        voice->Play(key.m_wave, CPlayTask::kStartEnergy);
        if (const CKeyboardKey** player = PlayerSlot(voice)) {
            *player = &key;
        }
    }
    key.m_voice = voice;
    return voice != nullptr;
}

void CSynthesizerKeyboard::ReleaseNoteOf(CKeyboardKey& key) {
    const CKeyboardKey** player = PlayerSlot(key.m_voice);
    if (player && *player == &key) {
        key.m_voice->ReleaseNote();
        *player = nullptr;
    }
    key.m_voice = nullptr;
}

void CSynthesizerKeyboard::ReleaseKey(CKeyboardKey& key) {
    ReleaseNoteOf(key);
    if (key.m_jewel) {
        key.m_jewel->m_life = kReleasedColumnLife;
        key.m_jewel = nullptr;
    }
}

const CKeyboardKey** CSynthesizerKeyboard::PlayerSlot(const CPlayTask* voice) {
    const std::uint32_t index = CSynthesizer::Instance()->VoiceIndex(voice);
    return index < CSynthesizer::kVoiceCount ? &m_voicePlayers[index] : nullptr;
}

bool CSynthesizerKeyboard::PlaysNoteOf(const CKeyboardKey& key) {
    const CKeyboardKey** player = PlayerSlot(key.m_voice);
    return player && *player == &key;
}

void CSynthesizerKeyboard::RebuildKeyColours() {
    if (!m_keyColours) {
        m_keyColours = std::make_unique<D3DVECTOR4[]>(kKeyCount);
    }
    for (std::uint32_t i = 0; i < m_keyCount; ++i) {
        m_keyColours[i] = {m_keys[i].m_red, m_keys[i].m_green, m_keys[i].m_blue, 0.0f};
    }
}

void CSynthesizerKeyboard::RebuildLitKeys() {
    // The keys' voices change on a listener's thread too.
    std::lock_guard lock(m_notes);
    RebuildLitKeysLocked();
}

void CSynthesizerKeyboard::RebuildLitKeysLocked() {
    if (!m_litKeys) {
        m_litKeys = std::make_unique<D3DVECTOR4[]>(kLitKeyCount);
    }
    std::uint32_t lit = 0;
    for (std::uint32_t i = 0; i < kLitKeyCount; ++i) {
        m_litKeys[i] = {0.0f, 0.0f, 0.0f, 0.0f};
    }
    for (std::uint32_t i = 0; i < m_keyCount && lit < kLitKeyCount; ++i) {
        if (m_keys[i].m_voice) {
            const D3DVECTOR3& p = m_keys[i].m_position;
            m_litKeys[lit++] = {p.x, p.y, p.z, 1.0f};
        }
    }
}
