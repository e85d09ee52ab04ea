#include "platform/audio/AudioEngine.h"

#include "platform/audio/backend/AudioOutput.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace platform {

namespace {

constexpr std::uint32_t kDefaultSampleRate = 44100;
constexpr std::uint32_t kMinSampleRate = 1000;
constexpr std::uint32_t kMaxSampleRate = 200000;
constexpr std::uint32_t kMaxChannels = 8;
constexpr float kMinFrequencyRatio = 1.0f / 1024.0f;
constexpr float kMaxFrequencyRatio = 1024.0f;

std::mutex g_backendMutex;
AudioBackendChoice g_backend;

}  // namespace

AudioBackendChoice SetAudioBackend(AudioBackend backend, std::uint32_t offlineChannels) {
    std::lock_guard lock(g_backendMutex);
    return std::exchange(
        g_backend,
        AudioBackendChoice{backend, std::clamp<std::uint32_t>(offlineChannels, 1, kMaxChannels)});
}

HRESULT AudioEngine::Create(AudioEngine** engine) {
    if (!engine) {
        return E_INVALIDARG;
    }
    *engine = nullptr;
    std::unique_ptr<AudioOutput> output;
    {
        std::lock_guard lock(g_backendMutex);
        if (g_backend.backend == AudioBackend::Unavailable) {
            return E_FAIL;
        }
        output = g_backend.backend == AudioBackend::Offline
                     ? CreateOfflineAudioOutput(g_backend.offlineChannels)
                     : CreateSdlAudioOutput();
    }
    if (!output) {
        return E_OUTOFMEMORY;
    }
    *engine = new (std::nothrow) AudioEngine(std::move(output));
    return *engine ? S_OK : E_OUTOFMEMORY;
}

AudioEngine::AudioEngine(std::unique_ptr<AudioOutput> output) : m_output(std::move(output)) {}

AudioEngine::~AudioEngine() { DestroyAll(); }

bool AudioEngine::IsOffline() const { return m_output->IsOffline(); }

void AudioEngine::DestroyAll() {
    // The device goes first, so that no render pass runs while the voices are freed.
    m_output->Close();
    std::lock_guard lock(m_mutex);
    for (SourceVoice* voice : m_sources) {
        delete voice;
    }
    for (SubmixVoice* voice : m_submixes) {
        delete voice;
    }
    delete m_master;
    m_sources.clear();
    m_submixes.clear();
    m_master = nullptr;
}

HRESULT AudioEngine::Initialize(std::uint32_t /*flags*/, std::uint32_t /*processor*/) {
    std::lock_guard lock(m_mutex);
    if (m_initialised) {
        return XAUDIO2_E_INVALID_CALL;
    }
    HRESULT hr = m_output->Initialise();
    m_initialised = SUCCEEDED(hr);
    return hr;
}

HRESULT AudioEngine::GetDeviceCount(std::uint32_t* count) {
    if (!count) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_mutex);
    if (!m_initialised) {
        return XAUDIO2_E_INVALID_CALL;
    }
    *count = m_output->GetDeviceCount();
    return S_OK;
}

HRESULT AudioEngine::GetDeviceDetails(std::uint32_t index, DeviceDetails* details) {
    if (!details) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(m_mutex);
    if (!m_initialised) {
        return XAUDIO2_E_INVALID_CALL;
    }
    return m_output->GetDeviceDetails(index, details);
}

HRESULT AudioEngine::CreateMasteringVoice(MasteringVoice** voice, std::uint32_t channels,
                                          std::uint32_t sampleRate, std::uint32_t /*flags*/,
                                          std::uint32_t deviceIndex, const EffectChain* chain) {
    if (!voice) {
        return E_INVALIDARG;
    }
    *voice = nullptr;
    std::uint32_t rate = sampleRate == XAUDIO2_DEFAULT_SAMPLERATE ? kDefaultSampleRate : sampleRate;
    if (rate < kMinSampleRate || rate > kMaxSampleRate || channels > kMaxChannels) {
        return E_INVALIDARG;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialised || m_master || m_opening) {
            return XAUDIO2_E_INVALID_CALL;
        }
        m_opening = true;
    }
    // Opened without the graph lock: the device's thread holds the device's own lock while it
    // renders, and rendering takes the graph lock. Until the voice is in place it renders silence.
    std::uint32_t opened = 0;
    HRESULT hr = m_output->Open(deviceIndex, rate, channels, &AudioEngine::RenderCallback, this,
                                &opened);
    std::lock_guard lock(m_mutex);
    m_opening = false;
    if (FAILED(hr)) {
        return hr;
    }
    auto* master = new (std::nothrow) MasteringVoice(*this, Voice::Kind::Mastering, opened, 0);
    if (!master) {
        m_output->Close();
        return E_OUTOFMEMORY;
    }
    m_sampleRate = rate;
    m_scratch.assign(kBlockFrames, 0.0f);
    m_master = master;
    if (chain) {
        hr = master->SetEffectChain(chain);
        if (FAILED(hr)) {
            m_output->Close();
            m_master = nullptr;
            delete master;
            return hr;
        }
    }
    *voice = master;
    return S_OK;
}

HRESULT AudioEngine::CreateSubmixVoice(SubmixVoice** voice, std::uint32_t channels,
                                       std::uint32_t sampleRate, std::uint32_t /*flags*/,
                                       std::uint32_t processingStage, const VoiceSends* sends,
                                       const EffectChain* chain) {
    if (!voice) {
        return E_INVALIDARG;
    }
    *voice = nullptr;
    std::lock_guard lock(m_mutex);
    if (!m_master) {
        return XAUDIO2_E_INVALID_CALL;
    }
    if (channels == 0 || channels > kMaxChannels ||
        (sampleRate != XAUDIO2_DEFAULT_SAMPLERATE && sampleRate != m_sampleRate)) {
        return E_INVALIDARG;
    }
    auto* submix = new (std::nothrow) SubmixVoice(*this, Voice::Kind::Submix, channels,
                                                  processingStage);
    if (!submix) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = ResolveSends(sends, *submix);
    if (SUCCEEDED(hr) && chain) {
        hr = submix->SetEffectChain(chain);
    }
    if (FAILED(hr)) {
        delete submix;
        return hr;
    }
    auto at = std::upper_bound(m_submixes.begin(), m_submixes.end(), processingStage,
                               [](std::uint32_t stage, const SubmixVoice* v) {
                                   return stage < v->m_stage;
                               });
    m_submixes.insert(at, submix);
    *voice = submix;
    return S_OK;
}

HRESULT AudioEngine::CreateSourceVoice(SourceVoice** voice, const WaveFormat* format,
                                       std::uint32_t /*flags*/, float maxFrequencyRatio,
                                       VoiceCallback* callback, const VoiceSends* sends,
                                       const EffectChain* chain) {
    if (!voice || !format) {
        return E_INVALIDARG;
    }
    *voice = nullptr;
    std::lock_guard lock(m_mutex);
    if (!m_master) {
        return XAUDIO2_E_INVALID_CALL;
    }
    bool pcm16Mono = format->wFormatTag == WAVE_FORMAT_PCM && format->nChannels == 1 &&
                     format->wBitsPerSample == 16 && format->nBlockAlign == 2;
    if (!pcm16Mono || format->nSamplesPerSec != m_sampleRate ||
        !(maxFrequencyRatio >= kMinFrequencyRatio && maxFrequencyRatio <= kMaxFrequencyRatio)) {
        return E_INVALIDARG;
    }
    // Volume is applied sample by sample as the buffers play, so that a change made in a callback
    // lands on the exact sample; an effect after it would blur that.
    if (chain && chain->EffectCount > 0) {
        return E_NOTIMPL;
    }
    auto* source = new (std::nothrow) SourceVoice(*this, callback);
    if (!source) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = ResolveSends(sends, *source);
    if (FAILED(hr)) {
        delete source;
        return hr;
    }
    m_sources.push_back(source);
    *voice = source;
    return S_OK;
}

HRESULT AudioEngine::ResolveSends(const VoiceSends* sends, Voice& voice) {
    voice.m_sends.clear();
    if (!sends) {
        voice.m_sends.push_back(m_master);
        return S_OK;
    }
    if (sends->SendCount > 0 && !sends->pSends) {
        return E_INVALIDARG;
    }
    for (std::uint32_t i = 0; i < sends->SendCount; ++i) {
        Voice* target = sends->pSends[i].pOutputVoice;
        bool known = target == m_master ||
                     std::find(m_submixes.begin(), m_submixes.end(), target) != m_submixes.end();
        if (!known || target->m_destroyed || target == &voice) {
            return E_INVALIDARG;
        }
        // Voices are mixed stage by stage, so a submix may only feed a later stage.
        if (voice.m_kind == Voice::Kind::Submix && target->m_kind == Voice::Kind::Submix &&
            target->m_stage <= voice.m_stage) {
            return E_INVALIDARG;
        }
        if (voice.m_channels != 1 && voice.m_channels != target->m_channels) {
            return E_INVALIDARG;
        }
        voice.m_sends.push_back(target);
    }
    return S_OK;
}

void AudioEngine::Remove(Voice& voice) {
    switch (voice.m_kind) {
        case Voice::Kind::Source:
            std::erase(m_sources, &voice);
            break;
        case Voice::Kind::Submix:
            std::erase(m_submixes, &voice);
            break;
        case Voice::Kind::Mastering:
            m_master = nullptr;
            break;
    }
}

HRESULT AudioEngine::RenderOffline(float* out, std::uint32_t frames) {
    if (!out && frames > 0) {
        return E_INVALIDARG;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_output->IsOffline() || !m_master) {
            return XAUDIO2_E_INVALID_CALL;
        }
    }
    Render(out, frames);
    return S_OK;
}

void AudioEngine::RenderCallback(void* context, float* out, std::uint32_t frames) {
    static_cast<AudioEngine*>(context)->Render(out, frames);
}

void AudioEngine::Render(float* out, std::uint32_t frames) {
    std::lock_guard lock(m_mutex);
    if (!m_master) {
        return;
    }
    const std::uint32_t channels = m_master->m_channels;
    m_rendering = true;
    while (frames > 0) {
        std::uint32_t block = std::min(frames, kBlockFrames);
        RenderBlock(out, block);
        out += static_cast<std::size_t>(block) * channels;
        frames -= block;
    }
    m_rendering = false;
    // Voices destroyed from a callback during the pass are freed now that nothing refers to them.
    auto purge = [](auto& voices) {
        std::erase_if(voices, [](Voice* v) {
            if (v->m_destroyed) {
                delete v;
                return true;
            }
            return false;
        });
    };
    purge(m_sources);
    purge(m_submixes);
}

void AudioEngine::RenderBlock(float* out, std::uint32_t frames) {
    for (SubmixVoice* submix : m_submixes) {
        std::fill_n(submix->m_input.begin(), frames * submix->m_channels, 0.0f);
    }
    std::fill_n(m_master->m_input.begin(), frames * m_master->m_channels, 0.0f);

    // By index: a callback may create voices while the pass runs.
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        SourceVoice* source = m_sources[i];
        if (source->m_destroyed || !source->m_started) {
            continue;
        }
        source->Render(m_scratch.data(), frames);
        if (!source->m_destroyed) {
            source->Send(m_scratch.data(), frames);
        }
    }
    for (SubmixVoice* submix : m_submixes) {
        if (submix->m_destroyed) {
            continue;
        }
        submix->ProcessInput(frames);
        submix->Send(submix->m_input.data(), frames);
    }
    m_master->ProcessInput(frames);
    std::copy_n(m_master->m_input.begin(), frames * m_master->m_channels, out);
}

}  // namespace platform
