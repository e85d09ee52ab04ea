#include "platform/AudioEngine.h"

#include "platform/AudioEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

const WaveFormat kMono16{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

struct Event {
    std::string what;
    std::uint64_t at;  // samples the voice had played when it happened
    bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Event& e) { return os << e.what << "@" << e.at; }

// Records every callback with the sample position it came at; hooks may act on the voice.
class Recorder : public VoiceCallback {
public:
    SourceVoice* voice = nullptr;
    std::vector<Event> events;
    std::function<void()> onBufferEnd;
    std::function<void()> onStreamEnd;

    void OnVoiceProcessingPassStart(std::uint32_t) override { ++passes; }
    void OnVoiceProcessingPassEnd() override {}
    void OnStreamEnd() override {
        Note("stream end");
        if (onStreamEnd) {
            onStreamEnd();
        }
    }
    void OnBufferStart(void*) override { Note("start"); }
    void OnBufferEnd(void*) override {
        Note("end");
        if (onBufferEnd) {
            onBufferEnd();
        }
    }
    void OnLoopEnd(void*) override { Note("loop"); }
    void OnVoiceError(void*, HRESULT) override { Note("error"); }

    int passes = 0;

private:
    void Note(const char* what) {
        VoiceState state{};
        voice->GetState(&state);
        events.push_back({what, state.SamplesPlayed});
    }
};

AudioBuffer Buffer(const std::vector<std::int16_t>& samples, std::uint32_t loopCount = 0,
                   std::uint32_t flags = 0) {
    AudioBuffer b{};
    b.Flags = flags;
    b.AudioBytes = static_cast<std::uint32_t>(samples.size() * 2);
    b.pAudioData = reinterpret_cast<const std::uint8_t*>(samples.data());
    b.LoopCount = loopCount;
    return b;
}

// The float a 16-bit sample plays as.
float Level(std::int16_t s, float gain = 1.0f) { return static_cast<float>(s) / 32768.0f * gain; }

class AudioEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAudioBackend(AudioBackend::Offline, 1);
        ASSERT_EQ(AudioEngine::Create(&engine), S_OK);
        ASSERT_EQ(engine->Initialize(), S_OK);
        ASSERT_EQ(engine->CreateMasteringVoice(&master, 0, 44100), S_OK);
    }
    void TearDown() override {
        SetAudioBackend(AudioBackend::Device);
        if (engine) {
            engine->Release();
        }
    }

    SourceVoice* Source(Recorder& recorder, const VoiceSends* sends = nullptr) {
        SourceVoice* v = nullptr;
        EXPECT_EQ(engine->CreateSourceVoice(&v, &kMono16, 0, 1.0f, &recorder, sends), S_OK);
        recorder.voice = v;
        return v;
    }

    std::vector<float> Render(std::uint32_t frames) {
        std::vector<float> out(frames * master->Channels(), -9.0f);
        EXPECT_EQ(engine->RenderOffline(out.data(), frames), S_OK);
        return out;
    }

    AudioEngine* engine = nullptr;
    MasteringVoice* master = nullptr;
};

TEST_F(AudioEngineTest, BufferPlaysOnceThenLoopsLoopCountMoreTimes) {
    const std::vector<std::int16_t> samples = {1000, -2000, 3000, -4000};
    Recorder r;
    SourceVoice* v = Source(r);
    AudioBuffer b = Buffer(samples, 2, XAUDIO2_END_OF_STREAM);
    ASSERT_EQ(v->SubmitSourceBuffer(&b), S_OK);
    ASSERT_EQ(v->Start(), S_OK);

    // 12 samples of sound cross a render-pass boundary on purpose.
    std::vector<float> out = Render(5);
    std::vector<float> rest = Render(15);
    out.insert(out.end(), rest.begin(), rest.end());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float expected = i < 12 ? Level(samples[i % 4]) : 0.0f;
        ASSERT_EQ(out[i], expected) << "sample " << i;
    }
    const std::vector<Event> expected = {{"start", 0}, {"loop", 4},        {"loop", 8},
                                         {"end", 12},  {"stream end", 12}};
    EXPECT_EQ(r.events, expected);
}

TEST_F(AudioEngineTest, PlayAndLoopRegionsSelectTheSamples) {
    std::vector<std::int16_t> samples(10);
    for (int i = 0; i < 10; ++i) {
        samples[i] = static_cast<std::int16_t>(100 * i);
    }
    Recorder r;
    SourceVoice* v = Source(r);
    AudioBuffer b = Buffer(samples, 1);
    b.PlayBegin = 2;
    b.PlayLength = 6;  // samples 2..7
    b.LoopBegin = 4;
    b.LoopLength = 2;  // samples 4..5, once more
    ASSERT_EQ(v->SubmitSourceBuffer(&b), S_OK);
    v->Start();
    const std::vector<float> out = Render(10);
    const int order[] = {2, 3, 4, 5, 4, 5, 6, 7};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(out[i], Level(samples[order[i]])) << "sample " << i;
    }
    EXPECT_EQ(out[8], 0.0f);
}

TEST_F(AudioEngineTest, CallbackChangesLandOnTheExactNextSample) {
    const std::vector<std::int16_t> samples = {8000, 8000, 8000};
    Recorder r;
    SourceVoice* v = Source(r);
    int ends = 0;
    // Each finished buffer queues the next and halves the gain, as the synthesizer's voices do;
    // the first plays amplified.
    r.onBufferEnd = [&] {
        AudioBuffer next = Buffer(samples, 0, ++ends == 2 ? XAUDIO2_END_OF_STREAM : 0);
        if (ends < 3) {
            ASSERT_EQ(v->SubmitSourceBuffer(&next), S_OK);
        }
        float gain = 0;
        v->GetVolume(&gain);
        v->SetVolume(gain * 0.5f);
    };
    AudioBuffer first = Buffer(samples);
    v->SetVolume(2.0f);
    v->SubmitSourceBuffer(&first);
    v->Start();
    const std::vector<float> out = Render(12);
    const float gains[] = {2.0f, 1.0f, 0.5f};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(out[i], Level(8000, gains[i / 3])) << "sample " << i;
    }
    EXPECT_EQ(out[9], 0.0f);
    EXPECT_EQ(r.events.back(), (Event{"stream end", 9}));
}

TEST_F(AudioEngineTest, StopPausesAndFlushDropsWhatIsNotPlaying) {
    const std::vector<std::int16_t> a = {100, 200, 300, 400};
    const std::vector<std::int16_t> b = {-1, -2, -3, -4};
    Recorder r;
    SourceVoice* v = Source(r);
    AudioBuffer ba = Buffer(a);
    AudioBuffer bb = Buffer(b);
    v->SubmitSourceBuffer(&ba);
    v->SubmitSourceBuffer(&bb);

    EXPECT_EQ(Render(2)[0], 0.0f) << "nothing plays before Start";
    v->Start();
    std::vector<float> out = Render(2);
    EXPECT_EQ(out[1], Level(200));
    v->Stop();
    EXPECT_EQ(Render(3)[0], 0.0f);
    v->Start();
    EXPECT_EQ(Render(1)[0], Level(300)) << "Start resumes where Stop left off";

    // Playing: the current buffer stays, the queued one goes, with no callback for it.
    v->FlushSourceBuffers();
    VoiceState state{};
    v->GetState(&state);
    EXPECT_EQ(state.BuffersQueued, 1u);
    out = Render(4);
    EXPECT_EQ(out[0], Level(400));
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(std::count(r.events.begin(), r.events.end(), Event{"end", 4}), 1);

    // Stopped: everything goes.
    v->Stop();
    v->SubmitSourceBuffer(&ba);
    v->FlushSourceBuffers();
    v->GetState(&state);
    EXPECT_EQ(state.BuffersQueued, 0u);
}

TEST_F(AudioEngineTest, MalformedBuffersAreRefused) {
    const std::vector<std::int16_t> samples(8, 1);
    Recorder r;
    SourceVoice* v = Source(r);
    auto refused = [&](auto change) {
        AudioBuffer b = Buffer(samples, 1);
        change(b);
        return v->SubmitSourceBuffer(&b) == E_INVALIDARG;
    };
    EXPECT_EQ(v->SubmitSourceBuffer(nullptr), E_INVALIDARG);
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.pAudioData = nullptr; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.AudioBytes = 0; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.AudioBytes = 7; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.pAudioData += 1; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.PlayBegin = 8; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.PlayBegin = 4, b.PlayLength = 5; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.LoopBegin = 6, b.LoopLength = 3; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.PlayBegin = 3, b.LoopBegin = 2; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.LoopCount = 256; }));
    EXPECT_TRUE(refused([](AudioBuffer& b) { b.LoopCount = 0, b.LoopLength = 2; }));

    AudioBuffer ok = Buffer(samples);
    for (std::uint32_t i = 0; i < XAUDIO2_MAX_QUEUED_BUFFERS; ++i) {
        ASSERT_EQ(v->SubmitSourceBuffer(&ok), S_OK);
    }
    EXPECT_EQ(v->SubmitSourceBuffer(&ok), XAUDIO2_E_INVALID_CALL) << "the queue holds 64";

    EXPECT_EQ(v->SetVolume(std::nanf("")), E_INVALIDARG);
    WaveFormat stereo = kMono16;
    stereo.nChannels = 2;
    SourceVoice* other = nullptr;
    EXPECT_EQ(engine->CreateSourceVoice(&other, &stereo, 0, 1.0f, nullptr), E_INVALIDARG);
    WaveFormat slow = kMono16;
    slow.nSamplesPerSec = 22050;
    EXPECT_EQ(engine->CreateSourceVoice(&other, &slow, 0, 1.0f, nullptr), E_INVALIDARG);
}

// Multiplies by a factor; counts its references and calls.
class Scale : public AudioEffect {
public:
    explicit Scale(float factor, int* alive) : m_factor(factor), m_alive(alive) { ++*m_alive; }
    ~Scale() override { --*m_alive; }
    HRESULT Initialize(std::uint32_t channels, std::uint32_t) override {
        return channels == 1 ? S_OK : E_INVALIDARG;
    }
    HRESULT SetParameters(const void* p, std::uint32_t bytes) override {
        if (bytes != sizeof(float)) {
            return E_INVALIDARG;
        }
        m_factor = *static_cast<const float*>(p);
        return S_OK;
    }
    HRESULT GetParameters(void* p, std::uint32_t) const override {
        *static_cast<float*>(p) = m_factor;
        return S_OK;
    }
    void Process(float* samples, std::uint32_t frames) override {
        for (std::uint32_t i = 0; i < frames; ++i) {
            samples[i] *= m_factor;
        }
    }
    void Reset() override {}

private:
    float m_factor;
    int* m_alive;
};

TEST(AudioGraphTest, SourceToSubmixWithEffectToStereoMaster) {
    SetAudioBackend(AudioBackend::Offline, 2);
    AudioEngine* engine = nullptr;
    ASSERT_EQ(AudioEngine::Create(&engine), S_OK);
    engine->Initialize();
    MasteringVoice* master = nullptr;
    ASSERT_EQ(engine->CreateMasteringVoice(&master), S_OK);
    EXPECT_EQ(master->Channels(), 2u) << "the offline device's own channel count";

    int alive = 0;
    SubmixVoice* bus = nullptr;
    ASSERT_EQ(engine->CreateSubmixVoice(&bus, 1, 44100, XAUDIO2_VOICE_USEFILTER), S_OK);
    auto* effect = new Scale(0.25f, &alive);
    const EffectDescriptor descriptor{effect, true, 1};
    const EffectChain chain{1, &descriptor};
    ASSERT_EQ(bus->SetEffectChain(&chain), S_OK);
    effect->Release();
    EXPECT_EQ(alive, 1) << "the bus keeps the effect";

    const SendDescriptor send{0, bus};
    const VoiceSends sends{1, &send};
    const std::vector<std::int16_t> samples = {16384};
    Recorder r1, r2;
    SourceVoice* v1 = nullptr;
    SourceVoice* v2 = nullptr;
    ASSERT_EQ(engine->CreateSourceVoice(&v1, &kMono16, 0, 1.0f, &r1, &sends), S_OK);
    ASSERT_EQ(engine->CreateSourceVoice(&v2, &kMono16, 0, 1.0f, &r2, &sends), S_OK);
    r1.voice = v1;
    r2.voice = v2;
    for (SourceVoice* v : {v1, v2}) {
        AudioBuffer b = Buffer(samples, XAUDIO2_LOOP_INFINITE);
        v->SubmitSourceBuffer(&b);
        v->Start();
    }
    bus->SetVolume(3.0f);

    float out[8];
    engine->RenderOffline(out, 4);
    // (0.5 + 0.5) through the effect (x0.25) and the bus volume (x3), on both channels.
    for (float s : out) {
        EXPECT_EQ(s, 0.75f);
    }
    float factor = 0;
    ASSERT_EQ(bus->SetEffectParameters(0, &(factor = 0.5f), sizeof factor), S_OK);
    ASSERT_EQ(bus->GetEffectParameters(0, &factor, sizeof factor), S_OK);
    EXPECT_EQ(factor, 0.5f);
    bus->DisableEffect(0);
    engine->RenderOffline(out, 4);
    EXPECT_EQ(out[0], 3.0f) << "a disabled effect passes its input through";

    EXPECT_EQ(bus->DestroyVoice(), XAUDIO2_E_INVALID_CALL) << "voices still send to the bus";
    EXPECT_EQ(master->DestroyVoice(), XAUDIO2_E_INVALID_CALL);
    EXPECT_EQ(v1->DestroyVoice(), S_OK);
    EXPECT_EQ(v2->DestroyVoice(), S_OK);
    EXPECT_EQ(bus->DestroyVoice(), S_OK);
    EXPECT_EQ(alive, 0) << "the effect goes with the bus";
    EXPECT_EQ(master->DestroyVoice(), S_OK);
    EXPECT_EQ(engine->RenderOffline(out, 1), XAUDIO2_E_INVALID_CALL);
    engine->Release();
    SetAudioBackend(AudioBackend::Device);
}

TEST_F(AudioEngineTest, NoCallbackAfterDestroyVoiceEvenFromInsideOne) {
    const std::vector<std::int16_t> samples = {1, 2};
    Recorder r;
    SourceVoice* v = Source(r);
    r.onBufferEnd = [&] { EXPECT_EQ(v->DestroyVoice(), S_OK); };
    AudioBuffer b = Buffer(samples);
    v->SubmitSourceBuffer(&b);
    v->SubmitSourceBuffer(&b);
    v->Start();
    Render(8);
    EXPECT_EQ(r.events.back(), (Event{"end", 2})) << "the second buffer never starts";
    const std::size_t seen = r.events.size();
    Render(8);
    EXPECT_EQ(r.events.size(), seen);
}

TEST(AudioDeviceTest, SilentDriverKeepsTimeAndCallsBackOnItsOwnThread) {
    // The dummy driver stands for a machine without a sound card: nothing is heard, but the
    // buffers still play out in real time.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SetAudioBackend(AudioBackend::Device);
    AudioEngine* engine = nullptr;
    ASSERT_EQ(AudioEngine::Create(&engine), S_OK);
    ASSERT_EQ(engine->Initialize(), S_OK);
    std::uint32_t count = 0;
    ASSERT_EQ(engine->GetDeviceCount(&count), S_OK);
    EXPECT_GE(count, 1u) << "device 0 is the default output";
    MasteringVoice* master = nullptr;
    ASSERT_EQ(engine->CreateMasteringVoice(&master, 0, 44100), S_OK);
    EXPECT_FALSE(engine->IsOffline());
    float out[2];
    EXPECT_EQ(engine->RenderOffline(out, 1), XAUDIO2_E_INVALID_CALL);

    struct Ended : VoiceCallback {
        std::atomic<bool> ended{false};
        std::thread::id thread;
        void OnVoiceProcessingPassStart(std::uint32_t) override {}
        void OnVoiceProcessingPassEnd() override {}
        void OnStreamEnd() override {
            thread = std::this_thread::get_id();
            ended = true;
        }
        void OnBufferStart(void*) override {}
        void OnBufferEnd(void*) override {}
        void OnLoopEnd(void*) override {}
        void OnVoiceError(void*, HRESULT) override {}
    } callback;
    SourceVoice* v = nullptr;
    ASSERT_EQ(engine->CreateSourceVoice(&v, &kMono16, 0, 1.0f, &callback), S_OK);
    const std::vector<std::int16_t> samples(441, 100);  // 10 ms
    AudioBuffer b = Buffer(samples, 0, XAUDIO2_END_OF_STREAM);
    v->SubmitSourceBuffer(&b);
    v->Start();
    for (int i = 0; i < 500 && !callback.ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(callback.ended);
    EXPECT_NE(callback.thread, std::this_thread::get_id());
    v->DestroyVoice();
    master->DestroyVoice();
    engine->Release();
    ::unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
