#pragma once
// An audio effect that a voice runs over its mixed input before sending it on, the stand-in for
// an XAPO in a voice's effect chain. The engine calls every operation with its graph lock held,
// so Process never runs at the same time as SetParameters or Reset.

#include <cstdint>

#include "platform/base/HResult.h"
#include "platform/base/RefCounted.h"

namespace platform {

class AudioEffect : public RefCounted {
public:
    // Called once when the effect joins a voice's chain, before any other call. The effect may
    // allocate here; Process must not allocate.
    virtual HRESULT Initialise(std::uint32_t channels, std::uint32_t sampleRate) = 0;
    virtual HRESULT SetParameters(const void* parameters, std::uint32_t bytes) = 0;
    virtual HRESULT GetParameters(void* parameters, std::uint32_t bytes) const = 0;
    // Processes frames * channels interleaved samples in place.
    virtual void Process(float* samples, std::uint32_t frames) = 0;
    // Forgets all internal state (delay lines, filters), as when the effect is re-enabled.
    virtual void Reset() = 0;
};

}  // namespace platform
