#pragma once
// The reverb that the instrument's bus carries: a mono feedback-delay-network reverb of our own,
// driven by the same parameter record as the reverb it stands in for.

#include <cstdint>

#include "platform/audio/AudioEffect.h"

namespace platform {

// Field for field the reverb parameter record (52 bytes); units as named on each field.
struct ReverbParameters {
    float WetDryMix;               // percent of the output that is reverberated, 0..100
    std::uint32_t ReflectionsDelay;  // ms from the input to the early reflections, 0..300
    std::uint8_t ReverbDelay;      // ms from the early reflections to the late reverb, 0..85
    std::uint8_t RearDelay;        // ms, rear channels only, 0..5
    std::uint8_t PositionLeft;     // 0..30, multichannel placement
    std::uint8_t PositionRight;    // 0..30
    std::uint8_t PositionMatrixLeft;   // 0..30
    std::uint8_t PositionMatrixRight;  // 0..30
    std::uint8_t EarlyDiffusion;   // 0..15, echo density of the early reflections
    std::uint8_t LateDiffusion;    // 0..15, echo density of the late reverb
    std::uint8_t LowEQGain;        // 0..12, 8 is 0 dB
    std::uint8_t LowEQCutoff;      // 0..9, 50 Hz + 50 Hz per step
    std::uint8_t HighEQGain;       // 0..8, 8 is 0 dB
    std::uint8_t HighEQCutoff;     // 0..14, 1000 Hz + 500 Hz per step
    float RoomFilterFreq;          // Hz, corner of the room low-pass, 20..20000
    float RoomFilterMain;          // dB, room filter level, -100..0
    float RoomFilterHF;            // dB, room filter level at the corner frequency, -100..0
    float ReflectionsGain;         // dB, early reflections, -100..20
    float ReverbGain;              // dB, late reverb, -100..20
    float DecayTime;               // s, time for the late reverb to fall by 60 dB, >= 0.1
    float Density;                 // percent, modal density of the late reverb, 0..100
    float RoomSize;                // feet, apparent size of the room, 1..100
};
static_assert(sizeof(ReverbParameters) == 52, "the parameter record is 52 bytes");

// The stand-in for creating the reverb effect object: one reference, owned by the caller.
HRESULT CreateReverb(AudioEffect** reverb);

}  // namespace platform
