// The audio engine on its offline device: buffers, loops, voices, sends, effects and callbacks.

#include "platform/audio/AudioEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/audio/AudioEffect.h"
#include "tests/support/ScopedAudioBackend.h"

using namespace platform;

namespace {

const WaveFormat kMono16{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

// Records every callback as "what@samples played"; the hook then runs and may act on the voice.
struct Recorder : VoiceCallback {
    SourceVoice* voice = nullptr;
    std::vector<std::string> events;
    std::function<void(const std::string&)> hook = [](const std::string&) {};
    void OnVoiceProcessingPassStart(std::uint32_t) override {}
    void OnVoiceProcessingPassEnd() override {}
    void OnStreamEnd() override { Note("stream end"); }
    void OnBufferStart(void*) override { Note("start"); }
    void OnBufferEnd(void*) override { Note("end"); }
    void OnLoopEnd(void*) override { Note("loop"); }
    void OnVoiceError(void*, HRESULT) override { Note("error"); }
    void Note(const std::string& what) {
        VoiceState state{};
        voice->GetState(&state);
        events.push_back(what + "@" + std::to_string(state.SamplesPlayed));
        hook(what);
    }
};

AudioBuffer Buffer(const std::vector<std::int16_t>& samples, std::uint32_t loopCount = 0) {
    AudioBuffer b{};
    b.AudioBytes = static_cast<std::uint32_t>(samples.size() * 2);
    b.pAudioData = reinterpret_cast<const std::uint8_t*>(samples.data());
    b.LoopCount = loopCount;
    return b;
}

// The float a 16-bit sample plays as.
float Level(std::int16_t s, float gain = 1.0f) {
    return static_cast<float>(s) / 32768.0f * gain;
}

class AudioEngineTest : public ::testing::Test {
protected:
    void SetUp() override { Open(1); }
    void TearDown() override { engine->Release(); }
    void Open(std::uint32_t channels) {
        SetAudioBackend(AudioBackend::Offline, channels);
        ASSERT_EQ(AudioEngine::Create(&engine), S_OK);
        ASSERT_EQ(engine->Initialize(), S_OK);
        ASSERT_EQ(engine->CreateMasteringVoice(&master, 0, 44100), S_OK);
    }
    SourceVoice* Source(Recorder& recorder, const VoiceSends* sends = nullptr) {
        EXPECT_EQ(engine->CreateSourceVoice(&recorder.voice, &kMono16, 0, 1.0f, &recorder, sends),
                  S_OK);
        return recorder.voice;
    }
    std::vector<float> Render(std::uint32_t frames) {
        std::vector<float> out(frames * master->Channels(), -9.0f);
        EXPECT_EQ(engine->RenderOffline(out.data(), frames), S_OK);
        return out;
    }
    // Open chooses the backend of each engine; the choice from before the case is put back.
    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Offline, 1};
    AudioEngine* engine = nullptr;
    MasteringVoice* master = nullptr;
};

// Each buffer plays its region once and then its loop region LoopCount more times (the whole
// region when LoopLength is 0); the sound crosses a render-pass boundary on purpose.
TEST_F(AudioEngineTest, BuffersPlayTheirRegionThenLoop) {
    // clang-format off
    const struct {
        std::uint32_t size, playBegin, playLength, loopBegin, loopLength, loopCount;
        std::vector<int> order;  // indices of the samples heard
        std::vector<std::string> events;
    } cases[] = {
        {4, 0, 0, 0, 0, 2, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3},
         {"start@0", "loop@4", "loop@8", "end@12", "stream end@12"}},
        {10, 2, 6, 4, 2, 1, {2, 3, 4, 5, 4, 5, 6, 7},
         {"start@0", "loop@4", "end@8", "stream end@8"}},
    };
    // clang-format on
    const std::vector<std::int16_t> samples = {1000, -2000, 3000, -4000, 500,
                                               -600, 700,   -800, 900,   -1};
    for (const auto& c : cases) {
        Recorder r;
        SourceVoice* v = Source(r);
        AudioBuffer b = Buffer(samples, c.loopCount);
        b.Flags = XAUDIO2_END_OF_STREAM, b.AudioBytes = c.size * 2;
        b.PlayBegin = c.playBegin, b.PlayLength = c.playLength;
        b.LoopBegin = c.loopBegin, b.LoopLength = c.loopLength;
        ASSERT_EQ(v->SubmitSourceBuffer(&b), S_OK);
        ASSERT_EQ(v->Start(), S_OK);
        std::vector<float> out = Render(5), rest = Render(15);
        out.insert(out.end(), rest.begin(), rest.end());
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i], i < c.order.size() ? Level(samples[c.order[i]]) : 0.0f) << i;
        }
        EXPECT_EQ(r.events, c.events);
        v->DestroyVoice();
    }
}

// Stop pauses and Start resumes; Flush drops what is queued, and while stopped what is playing.
TEST_F(AudioEngineTest, StopPausesAndFlushDropsWhatIsNotPlaying) {
    const std::vector<std::int16_t> a = {100, 200, 300, 400}, b = {-1, -2, -3, -4};
    Recorder r;
    SourceVoice* v = Source(r);
    AudioBuffer ba = Buffer(a), bb = Buffer(b);
    v->SubmitSourceBuffer(&ba);
    v->SubmitSourceBuffer(&bb);
    EXPECT_EQ(Render(2)[0], 0.0f) << "nothing plays before Start";
    v->Start();
    EXPECT_EQ(Render(2)[1], Level(200));
    v->Stop();
    EXPECT_EQ(Render(3)[0], 0.0f);
    v->Start();
    EXPECT_EQ(Render(1)[0], Level(300));
    v->FlushSourceBuffers();
    EXPECT_EQ(Render(4), (std::vector<float>{Level(400), 0, 0, 0}));
    EXPECT_EQ(r.events, (std::vector<std::string>{"start@0", "end@4"}));
    v->Stop();
    v->SubmitSourceBuffer(&ba);
    v->FlushSourceBuffers();
    VoiceState state{};
    v->GetState(&state);
    EXPECT_EQ(state.BuffersQueued, 0u);
}

// Multiplies mono samples by a factor; says when it is deleted.
struct Scale : AudioEffect {
    Scale(float factor, bool* deleted) : factor(factor), deleted(deleted) {}
    ~Scale() override { *deleted = true; }
    HRESULT Initialise(std::uint32_t channels, std::uint32_t) override {
        return channels == 1 ? S_OK : E_INVALIDARG;
    }
    HRESULT SetParameters(const void* p, std::uint32_t) override {
        return std::memcpy(&factor, p, sizeof factor), S_OK;
    }
    HRESULT GetParameters(void*, std::uint32_t) const override { return E_NOTIMPL; }
    void Process(float* samples, std::uint32_t frames) override {
        std::for_each(samples, samples + frames, [this](float& s) { s *= factor; });
    }
    void Reset() override {}
    float factor;
    bool* deleted;
};

TEST_F(AudioEngineTest, SourceToSubmixWithEffectToStereoMaster) {
    engine->Release();
    Open(2);
    bool deleted = false;
    SubmixVoice* bus = nullptr;
    ASSERT_EQ(engine->CreateSubmixVoice(&bus, 1, 44100, XAUDIO2_VOICE_USEFILTER), S_OK);
    auto* effect = new Scale(0.25f, &deleted);
    const EffectDescriptor descriptor{effect, true, 1};
    const EffectChain chain{1, &descriptor};
    ASSERT_EQ(bus->SetEffectChain(&chain), S_OK);
    effect->Release();  // the bus keeps it
    const SendDescriptor send{0, bus};
    const VoiceSends sends{1, &send};
    const std::vector<std::int16_t> samples = {16384};
    Recorder r1, r2;
    for (Recorder* r : {&r1, &r2}) {
        AudioBuffer b = Buffer(samples, XAUDIO2_LOOP_INFINITE);
        Source(*r, &sends)->SubmitSourceBuffer(&b);
        r->voice->Start();
    }
    bus->SetVolume(3.0f);
    // (0.5 + 0.5) through the effect (x0.25) and the bus volume (x3), on both channels.
    EXPECT_EQ(Render(4), std::vector<float>(8, 0.75f));
    const float factor = 0.5f;
    ASSERT_EQ(bus->SetEffectParameters(0, &factor, sizeof factor), S_OK);
    EXPECT_EQ(Render(1), std::vector<float>(2, 1.5f));
    bus->DisableEffect(0);
    EXPECT_EQ(Render(4)[0], 3.0f) << "a disabled effect passes its input through";
    EXPECT_EQ(bus->DestroyVoice(), XAUDIO2_E_INVALID_CALL) << "voices still send to the bus";
    EXPECT_EQ(r1.voice->DestroyVoice() | r2.voice->DestroyVoice() | bus->DestroyVoice(), S_OK);
    EXPECT_TRUE(deleted) << "the effect goes with the bus";
}

// The first finished buffer queues the next at a quarter of the gain, as the synthesizer's
// voices do; the second queues one more and destroys the voice, so that one never starts.
TEST_F(AudioEngineTest, CallbacksActOnTheExactNextSampleAndDestroyStopsThem) {
    const std::vector<std::int16_t> samples = {8000, 8000, 8000};
    Recorder r;
    SourceVoice* v = Source(r);
    AudioBuffer b = Buffer(samples);
    int ends = 0;
    r.hook = [&](const std::string& what) {
        if (what == "end" && v->SubmitSourceBuffer(&b) == S_OK) {
            EXPECT_EQ(++ends == 1 ? v->SetVolume(0.5f) : v->DestroyVoice(), S_OK);
        }
    };
    v->SetVolume(2.0f);
    v->SubmitSourceBuffer(&b);
    v->Start();
    const float loud = Level(8000, 2), quiet = Level(8000, 0.5f);
    EXPECT_EQ(Render(4), (std::vector<float>{loud, loud, loud, quiet}));  // inside a render pass
    Render(16);
    EXPECT_EQ(r.events, (std::vector<std::string>{"start@0", "end@3", "start@3", "end@6"}))
        << "no callback after DestroyVoice";
}

}  // namespace
