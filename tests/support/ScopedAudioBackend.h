#pragma once
// The audio backend chosen for a scope; the choice it started with is put back when it ends.

#include <cstdint>

#include "platform/audio/AudioEngine.h"

namespace tovel_test {

class ScopedAudioBackend {
public:
    explicit ScopedAudioBackend(platform::AudioBackend backend, std::uint32_t offlineChannels = 2)
        : m_previous(platform::SetAudioBackend(backend, offlineChannels)) {}
    ~ScopedAudioBackend() {
        platform::SetAudioBackend(m_previous.backend, m_previous.offlineChannels);
    }
    ScopedAudioBackend(const ScopedAudioBackend&) = delete;
    ScopedAudioBackend& operator=(const ScopedAudioBackend&) = delete;

private:
    platform::AudioBackendChoice m_previous;
};

}  // namespace tovel_test
