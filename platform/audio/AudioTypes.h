#pragma once
// The records, flags and callback interface of the audio engine, under the names the instrument
// calls them by.

#include <cstdint>
#include <string>

#include "platform/base/HResult.h"

namespace platform {

class AudioEffect;
class Voice;

inline constexpr std::uint32_t XAUDIO2_COMMIT_NOW = 0;
inline constexpr std::uint32_t XAUDIO2_DEFAULT_CHANNELS = 0;
inline constexpr std::uint32_t XAUDIO2_DEFAULT_SAMPLERATE = 0;
inline constexpr std::uint32_t XAUDIO2_ANY_PROCESSOR = 0xFFFFFFFFu;

// Voice creation flags.
inline constexpr std::uint32_t XAUDIO2_VOICE_NOPITCH = 0x2;
inline constexpr std::uint32_t XAUDIO2_VOICE_NOSRC = 0x4;
inline constexpr std::uint32_t XAUDIO2_VOICE_USEFILTER = 0x8;

// Buffer flags and limits.
inline constexpr std::uint32_t XAUDIO2_END_OF_STREAM = 0x40;
inline constexpr std::uint32_t XAUDIO2_MAX_LOOP_COUNT = 254;
inline constexpr std::uint32_t XAUDIO2_LOOP_INFINITE = 255;
inline constexpr std::uint32_t XAUDIO2_MAX_QUEUED_BUFFERS = 64;
inline constexpr float XAUDIO2_MAX_VOLUME_LEVEL = 16777216.0f;

inline constexpr HRESULT XAUDIO2_E_INVALID_CALL = static_cast<HRESULT>(0x88960001u);
inline constexpr HRESULT XAUDIO2_E_DEVICE_INVALIDATED = static_cast<HRESULT>(0x88960004u);

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;

struct WaveFormat {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};

// A span of sample memory to play: PlayBegin/PlayLength select the samples played (length 0 is
// "to the end"); after the play region reaches the loop end, playback jumps back to LoopBegin
// LoopCount more times (LoopLength 0 is "to the end of the play region"). The record is copied on
// submission; the samples are not, and must stay valid until the buffer has played.
struct AudioBuffer {
    std::uint32_t Flags;
    std::uint32_t AudioBytes;
    const std::uint8_t* pAudioData;
    std::uint32_t PlayBegin;
    std::uint32_t PlayLength;
    std::uint32_t LoopBegin;
    std::uint32_t LoopLength;
    std::uint32_t LoopCount;
    void* pContext;
};

struct VoiceState {
    void* pCurrentBufferContext;
    std::uint32_t BuffersQueued;  // including the one playing
    std::uint64_t SamplesPlayed;  // since the voice was created
};

struct DeviceDetails {
    std::string DisplayName;
    WaveFormat OutputFormat;
};

struct SendDescriptor {
    std::uint32_t Flags;
    Voice* pOutputVoice;
};

struct VoiceSends {
    std::uint32_t SendCount;
    const SendDescriptor* pSends;
};

struct EffectDescriptor {
    AudioEffect* pEffect;
    bool InitialState;  // enabled
    std::uint32_t OutputChannels;
};

struct EffectChain {
    std::uint32_t EffectCount;
    const EffectDescriptor* pEffectDescriptors;
};

// Notifications of a source voice. They arrive on the audio thread, in order, at the exact sample
// where they happen; a handler may submit, flush, stop or change the volume of its voice, and
// whatever it changes takes effect from the next sample. A voice's callbacks never overlap.
class VoiceCallback {
public:
    virtual void OnVoiceProcessingPassStart(std::uint32_t bytesRequired) = 0;
    virtual void OnVoiceProcessingPassEnd() = 0;
    virtual void OnStreamEnd() = 0;
    virtual void OnBufferStart(void* context) = 0;
    virtual void OnBufferEnd(void* context) = 0;
    virtual void OnLoopEnd(void* context) = 0;
    virtual void OnVoiceError(void* context, HRESULT error) = 0;

protected:
    ~VoiceCallback() = default;
};

}  // namespace platform
