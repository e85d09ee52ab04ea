#include "platform/audio/AudioVoices.h"

#include <algorithm>
#include <cmath>

#include "platform/audio/AudioEffect.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/backend/AudioOutput.h"

namespace platform {

namespace {
// 16-bit samples play as floats in [-1, 1).
constexpr float kSampleScale = 1.0f / 32768.0f;
}  // namespace

Voice::Voice(AudioEngine& engine, Kind kind, std::uint32_t channels, std::uint32_t stage)
    : m_engine(engine), m_kind(kind), m_channels(channels), m_stage(stage) {
    if (kind != Kind::Source) {
        m_input.assign(static_cast<std::size_t>(AudioEngine::kBlockFrames) * channels, 0.0f);
    }
}

Voice::~Voice() {
    for (EffectSlot& slot : m_effects) {
        slot.effect->Release();
    }
}

HRESULT Voice::SetVolume(float volume, std::uint32_t /*operationSet*/) {
    if (!(std::fabs(volume) <= XAUDIO2_MAX_VOLUME_LEVEL)) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_engine.m_mutex);
    m_volume = volume;
    return S_OK;
}

void Voice::GetVolume(float* volume) const {
    if (!volume) {
        return;
    }
    std::lock_guard lock(m_engine.m_mutex);
    *volume = m_volume;
}

HRESULT Voice::SetEffectChain(const EffectChain* chain) {
    std::uint32_t count = chain ? chain->EffectCount : 0;
    if (count > 0 && !chain->pEffectDescriptors) {
        return E_INVALIDARG;
    }
    if (m_kind == Kind::Source && count > 0) {
        return E_NOTIMPL;
    }
    std::lock_guard lock(m_engine.m_mutex);
    for (std::uint32_t i = 0; i < count; ++i) {
        const EffectDescriptor& d = chain->pEffectDescriptors[i];
        if (!d.pEffect || d.OutputChannels != m_channels) {
            return E_INVALIDARG;
        }
    }
    std::vector<EffectSlot> effects;
    for (std::uint32_t i = 0; i < count; ++i) {
        const EffectDescriptor& d = chain->pEffectDescriptors[i];
        HRESULT hr = d.pEffect->Initialise(m_channels, m_engine.m_sampleRate);
        if (FAILED(hr)) {
            return hr;
        }
        effects.push_back({d.pEffect, d.InitialState});
    }
    for (EffectSlot& slot : effects) {
        slot.effect->AddRef();
    }
    for (EffectSlot& slot : m_effects) {
        slot.effect->Release();
    }
    m_effects = std::move(effects);
    return S_OK;
}

HRESULT Voice::EnableEffect(std::uint32_t index, std::uint32_t /*operationSet*/) {
    std::lock_guard lock(m_engine.m_mutex);
    if (index >= m_effects.size()) {
        return E_INVALIDARG;
    }
    if (!m_effects[index].enabled) {
        m_effects[index].effect->Reset();
        m_effects[index].enabled = true;
    }
    return S_OK;
}

HRESULT Voice::DisableEffect(std::uint32_t index, std::uint32_t /*operationSet*/) {
    std::lock_guard lock(m_engine.m_mutex);
    if (index >= m_effects.size()) {
        return E_INVALIDARG;
    }
    m_effects[index].enabled = false;
    return S_OK;
}

HRESULT Voice::SetEffectParameters(std::uint32_t index, const void* parameters,
                                   std::uint32_t bytes, std::uint32_t /*operationSet*/) {
    std::lock_guard lock(m_engine.m_mutex);
    if (index >= m_effects.size()) {
        return E_INVALIDARG;
    }
    return m_effects[index].effect->SetParameters(parameters, bytes);
}

HRESULT Voice::GetEffectParameters(std::uint32_t index, void* parameters,
                                   std::uint32_t bytes) const {
    std::lock_guard lock(m_engine.m_mutex);
    if (index >= m_effects.size()) {
        return E_INVALIDARG;
    }
    return m_effects[index].effect->GetParameters(parameters, bytes);
}

HRESULT Voice::DestroyVoice() {
    AudioEngine& engine = m_engine;
    std::unique_lock lock(engine.m_mutex);
    auto feedsThis = [this](const Voice* v) {
        return !v->m_destroyed &&
               std::find(v->m_sends.begin(), v->m_sends.end(), this) != v->m_sends.end();
    };
    if (std::any_of(engine.m_sources.begin(), engine.m_sources.end(), feedsThis) ||
        std::any_of(engine.m_submixes.begin(), engine.m_submixes.end(), feedsThis)) {
        return XAUDIO2_E_INVALID_CALL;
    }
    if (m_kind == Kind::Mastering) {
        if (engine.m_rendering) {
            return XAUDIO2_E_INVALID_CALL;
        }
        // Closing waits for the device's render pass, which needs the lock.
        lock.unlock();
        engine.m_output->Close();
        lock.lock();
    } else if (engine.m_rendering) {
        // Called back from the pass that is running: it still walks the voice lists.
        m_destroyed = true;
        return S_OK;
    }
    engine.Remove(*this);
    delete this;
    return S_OK;
}

void Voice::ProcessInput(std::uint32_t frames) {
    for (EffectSlot& slot : m_effects) {
        if (slot.enabled) {
            slot.effect->Process(m_input.data(), frames);
        }
    }
    if (m_volume != 1.0f) {
        std::size_t n = static_cast<std::size_t>(frames) * m_channels;
        for (std::size_t i = 0; i < n; ++i) {
            m_input[i] *= m_volume;
        }
    }
}

void Voice::Send(const float* output, std::uint32_t frames) const {
    for (Voice* target : m_sends) {
        float* in = target->m_input.data();
        if (m_channels == target->m_channels) {
            std::size_t n = static_cast<std::size_t>(frames) * m_channels;
            for (std::size_t i = 0; i < n; ++i) {
                in[i] += output[i];
            }
        } else {
            // Mono into several channels: the same signal at full level on each.
            const std::uint32_t c = target->m_channels;
            for (std::uint32_t f = 0; f < frames; ++f) {
                for (std::uint32_t k = 0; k < c; ++k) {
                    in[f * c + k] += output[f];
                }
            }
        }
    }
}

SourceVoice::SourceVoice(AudioEngine& engine, VoiceCallback* callback)
    : Voice(engine, Kind::Source, 1, 0), m_callback(callback) {}

HRESULT SourceVoice::Start(std::uint32_t /*flags*/, std::uint32_t /*operationSet*/) {
    std::lock_guard lock(m_engine.m_mutex);
    m_started = true;
    return S_OK;
}

HRESULT SourceVoice::Stop(std::uint32_t /*flags*/, std::uint32_t /*operationSet*/) {
    std::lock_guard lock(m_engine.m_mutex);
    m_started = false;
    return S_OK;
}

HRESULT SourceVoice::SubmitSourceBuffer(const AudioBuffer* buffer, const void* /*bufferWma*/) {
    if (!buffer) {
        return E_INVALIDARG;
    }
    const AudioBuffer& b = *buffer;
    if (!b.pAudioData || b.AudioBytes == 0 || b.AudioBytes % 2 != 0 ||
        reinterpret_cast<std::uintptr_t>(b.pAudioData) % alignof(std::int16_t) != 0) {
        return E_INVALIDARG;
    }
    const std::uint64_t total = b.AudioBytes / 2;
    if (b.PlayBegin >= total) {
        return E_INVALIDARG;
    }
    const std::uint64_t playEnd = b.PlayBegin + (b.PlayLength ? b.PlayLength : total - b.PlayBegin);
    if (playEnd > total) {
        return E_INVALIDARG;
    }
    std::uint64_t loopEnd = playEnd;
    if (b.LoopCount == 0) {
        if (b.LoopBegin != 0 || b.LoopLength != 0) {
            return E_INVALIDARG;
        }
    } else {
        if (b.LoopCount > XAUDIO2_LOOP_INFINITE || b.LoopBegin < b.PlayBegin ||
            b.LoopBegin >= playEnd) {
            return E_INVALIDARG;
        }
        loopEnd = b.LoopLength ? std::uint64_t{b.LoopBegin} + b.LoopLength : playEnd;
        if (loopEnd > playEnd) {
            return E_INVALIDARG;
        }
    }
    std::lock_guard lock(m_engine.m_mutex);
    if (m_count == XAUDIO2_MAX_QUEUED_BUFFERS) {
        return XAUDIO2_E_INVALID_CALL;
    }
    m_queue[(m_head + m_count) % XAUDIO2_MAX_QUEUED_BUFFERS] = {
        b, static_cast<std::uint32_t>(playEnd), static_cast<std::uint32_t>(loopEnd)};
    ++m_count;
    return S_OK;
}

HRESULT SourceVoice::FlushSourceBuffers() {
    std::lock_guard lock(m_engine.m_mutex);
    if (m_started && m_frontStarted && m_count > 0) {
        m_count = 1;
    } else {
        m_count = 0;
        m_frontStarted = false;
    }
    return S_OK;
}

void SourceVoice::GetState(VoiceState* state) const {
    if (!state) {
        return;
    }
    std::lock_guard lock(m_engine.m_mutex);
    state->pCurrentBufferContext = m_count > 0 ? m_queue[m_head].desc.pContext : nullptr;
    state->BuffersQueued = m_count;
    state->SamplesPlayed = m_samplesPlayed;
}

void SourceVoice::PopFront() {
    m_head = (m_head + 1) % XAUDIO2_MAX_QUEUED_BUFFERS;
    --m_count;
    m_frontStarted = false;
}

void SourceVoice::Render(float* out, std::uint32_t frames) {
    std::fill_n(out, frames, 0.0f);
    if (m_callback) {
        m_callback->OnVoiceProcessingPassStart(frames * 2);
    }
    std::uint32_t done = 0;
    // Events are handled as soon as the play position reaches them, even at the end of the
    // pass, so a buffer's end is reported before the pass returns.
    while (m_started && m_count > 0 && !m_destroyed) {
        QueuedBuffer& front = Front();
        if (!m_frontStarted) {
            m_frontStarted = true;
            m_position = front.desc.PlayBegin;
            m_loopsLeft = front.desc.LoopCount;
            if (m_callback) {
                m_callback->OnBufferStart(front.desc.pContext);
            }
            continue;
        }
        const bool looping = m_loopsLeft > 0;
        const std::uint32_t end = looping ? front.loopEnd : front.playEnd;
        if (m_position >= end) {
            void* context = front.desc.pContext;
            if (looping) {
                if (m_loopsLeft != XAUDIO2_LOOP_INFINITE) {
                    --m_loopsLeft;
                }
                m_position = front.desc.LoopBegin;
                if (m_callback) {
                    m_callback->OnLoopEnd(context);
                }
            } else {
                const bool endOfStream = (front.desc.Flags & XAUDIO2_END_OF_STREAM) != 0;
                PopFront();
                if (m_callback) {
                    m_callback->OnBufferEnd(context);
                    if (endOfStream) {
                        m_callback->OnStreamEnd();
                    }
                }
            }
            continue;
        }
        if (done == frames) {
            break;
        }
        const std::uint32_t run = std::min(end - m_position, frames - done);
        const auto* samples = reinterpret_cast<const std::int16_t*>(front.desc.pAudioData);
        const float gain = m_volume * kSampleScale;
        for (std::uint32_t k = 0; k < run; ++k) {
            out[done + k] = static_cast<float>(samples[m_position + k]) * gain;
        }
        done += run;
        m_position += run;
        m_samplesPlayed += run;
    }
    if (m_callback) {
        m_callback->OnVoiceProcessingPassEnd();
    }
}

}  // namespace platform
