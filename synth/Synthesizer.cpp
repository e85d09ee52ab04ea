#include "synth/Synthesizer.h"

#include <functional>
#include <new>
#include <utility>

using namespace platform;

namespace {

CSynthesizer* g_instance = nullptr;

constexpr std::uint32_t kMinDeviceChannels = 1;
constexpr std::uint32_t kMinDeviceBits = 16;
// Voices play their periods as they are: no pitch change, no rate conversion.
constexpr std::uint32_t kSourceVoiceFlags = XAUDIO2_VOICE_NOPITCH | XAUDIO2_VOICE_NOSRC;
constexpr float kMaxFrequencyRatio = 1.0f / 1024.0f;

}  // namespace

CSynthesizer* CSynthesizer::Instance() {
    if (!g_instance) {
        g_instance = new CSynthesizer();
        g_instance->InitAudio();
    }
    return g_instance;
}

void CSynthesizer::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CSynthesizer* CSynthesizer::SetInstance(CSynthesizer* synthesizer) {
    return std::exchange(g_instance, synthesizer);
}

CSynthesizer::~CSynthesizer() {
    // Sources first: a voice that others still send to cannot be destroyed.
    m_voices.reset();
    if (m_reverbBus) {
        m_reverbBus->DestroyVoice();
    }
    if (m_master) {
        m_master->DestroyVoice();
    }
    if (m_engine) {
        m_engine->Release();
    }
}

ReverbParameters CSynthesizer::ReverbSettings() {
    ReverbParameters p{};
    p.WetDryMix = 100.0f;
    p.ReflectionsDelay = 5;
    p.ReverbDelay = 5;
    p.RearDelay = 5;
    p.PositionLeft = 6;
    p.PositionRight = 6;
    p.PositionMatrixLeft = 27;
    p.PositionMatrixRight = 27;
    p.EarlyDiffusion = 8;
    p.LateDiffusion = 8;
    p.LowEQGain = 8;
    p.LowEQCutoff = 4;
    p.HighEQGain = 8;
    p.HighEQCutoff = 4;
    p.RoomFilterFreq = 5000.0f;
    p.RoomFilterMain = 0.0f;
    p.RoomFilterHF = 0.0f;
    p.ReflectionsGain = 0.0f;
    p.ReverbGain = 0.0f;
    p.DecayTime = 1.0f;
    p.Density = 100.0f;
    p.RoomSize = 100.0f;
    return p;
}

HRESULT CSynthesizer::InitAudio() {
    AudioEngine* engine = nullptr;
    if (SUCCEEDED(AudioEngine::Create(&engine))) {
        if (FAILED(engine->Initialize(0, XAUDIO2_ANY_PROCESSOR))) {
            engine->Release();
        } else {
            m_engine = engine;
        }
    }

    HRESULT status = E_FAIL;
    if (m_engine) {
        const std::uint32_t device = ChooseOutputDevice();
        m_engine->CreateMasteringVoice(&m_master, XAUDIO2_DEFAULT_CHANNELS, kSampleRate, 0,
                                       device, nullptr);
        m_engine->CreateSubmixVoice(&m_reverbBus, 1, kSampleRate, XAUDIO2_VOICE_USEFILTER, 0,
                                    nullptr, nullptr);
        AudioEffect* reverb = nullptr;
        CreateReverb(&reverb);
        if (m_reverbBus && reverb) {
            const EffectDescriptor descriptor{reverb, true, 1};
            const EffectChain chain{1, &descriptor};
            m_reverbBus->SetEffectChain(&chain);
        }
        // The bus keeps the effect alive from here on.
        if (reverb) {
            reverb->Release();
        }
        if (m_reverbBus) {
            const ReverbParameters parameters = ReverbSettings();
            status = m_reverbBus->SetEffectParameters(0, &parameters, sizeof parameters);
        }
    }

    CreateVoices();
    m_lowest = kLowest;
    m_highest = kHighest;
    return status;
}

std::uint32_t CSynthesizer::ChooseOutputDevice() {
    std::uint32_t count = 0;
    m_engine->GetDeviceCount(&count);
    for (std::uint32_t i = 0; i < count; ++i) {
        DeviceDetails details;
        if (FAILED(m_engine->GetDeviceDetails(i, &details))) {
            continue;
        }
        const WaveFormat& f = details.OutputFormat;
        if (f.nChannels >= kMinDeviceChannels && f.nSamplesPerSec >= kSampleRate &&
            f.wBitsPerSample >= kMinDeviceBits) {
            return i;
        }
    }
    return 0;
}

void CSynthesizer::CreateVoices() {
    m_voices.reset(new (std::nothrow) CPlayTask[kVoiceCount]);
    if (!m_voices || !m_engine || !m_reverbBus) {
        return;
    }
    const WaveFormat format{WAVE_FORMAT_PCM, 1, kSampleRate, kSampleRate * 2, 2, 16, 0};
    const SendDescriptor send{0, m_reverbBus};
    const VoiceSends sends{1, &send};
    for (std::uint32_t i = 0; i < kVoiceCount; ++i) {
        CPlayTask& task = m_voices[i];
        m_engine->CreateSourceVoice(&task.m_voice, &format, kSourceVoiceFlags, kMaxFrequencyRatio,
                                    &task, &sends, nullptr);
    }
}

CPlayTask* CSynthesizer::FindFreeVoice() {
    if (!m_voices) {
        return nullptr;
    }
    for (std::uint32_t i = 0; i < kVoiceCount; ++i) {
        if (!m_voices[i].m_wave.load()) {
            return &m_voices[i];
        }
    }
    return nullptr;
}

void CSynthesizer::ReleaseEndedWaves() {
    for (std::uint32_t i = 0; m_voices && i < kVoiceCount; ++i) {
        m_voices[i].ReleaseEndedWave();
    }
}

std::uint32_t CSynthesizer::VoiceIndex(const CPlayTask* voice) const {
    const CPlayTask* first = m_voices.get();
    // std::less orders any two pointers, so a voice of some other pool is told apart safely.
    const std::less<const CPlayTask*> before;
    if (!first || !voice || before(voice, first) || !before(voice, first + kVoiceCount)) {
        return kVoiceCount;
    }
    return static_cast<std::uint32_t>(voice - first);
}
