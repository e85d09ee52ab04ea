#pragma once
// A timbre: twelve harmonic amplitudes, a colour derived from them, a name, and one pre-computed
// period per note of its range, so that nothing is synthesised while a note sounds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "synth/HSVColor.h"
#include "synth/Note.h"
#include "synth/NoteWave.h"

class CTimbre {
public:
    static constexpr std::size_t kHarmonicCount = 12;
    static constexpr std::size_t kNameCapacity = 260;  // characters, the terminator included
    // Eleven octaves: wider ranges hold no playable note and are refused.
    static constexpr std::uint32_t kMaxWaveCount = 132;

    CTimbre() = default;
    // Copies everything but the waveforms: the copy reports the source's m_waveCount but has no
    // m_waves until BuildWaves is called on it.
    CTimbre(const CTimbre& source);
    // Copies name, harmonics and colour, then synthesises waveforms of its own for the source's
    // range. Assigning a timbre to itself changes nothing.
    CTimbre& operator=(const CTimbre& source);
    virtual ~CTimbre() = default;

    // Replaces the waveforms by a new set, one per semitone from lowest to highest, and returns
    // their number. When memory runs out, or the range is empty or too wide, the timbre is left
    // with none (0).
    std::uint32_t BuildWaves(CNote lowest, CNote highest);
    // The waveform of `note`, sharing the set it lies in; null when the timbre has none for it
    // (its waveforms were never built, or its range misses the note).
    std::shared_ptr<const CNoteWave> WaveOf(CNote note) const;
    // Synthesises one period for the note already stored in wave. False when the samples could not
    // be allocated; the wave then has none.
    static bool BuildNoteWave(CNoteWave& wave, const float (&amplitudes)[kHarmonicCount]);
    // The hue depends only on the amplitudes, so equal harmonics always show the same colour.
    void DeriveHue();

    void SetAllEvenHiWave();
    void SetSquareWave();
    void SetSawtoothWave();

    // Keeps at most kNameCapacity - 1 characters, cut at a character boundary.
    void SetName(std::string_view name);

    std::string m_name;
    float m_harmonics[kHarmonicCount] = {};
    CHSVColor m_color{0.0f, 0.0f, 0.0f};
    CNote m_lowest;
    CNote m_highest;
    std::uint32_t m_waveCount = 0;
    // The audio thread reads these samples while they sound, so a set is shared by this timbre
    // and by every key and voice that plays from it, and never changes once built: BuildWaves,
    // assignment and destruction only let go of this timbre's share, and a voice lets go of its
    // share on the user-interface thread once its note has ended.
    std::shared_ptr<const CNoteWave[]> m_waves;
};
