#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "synth/Synthesizer.h"
#include "synth/Timbre.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

namespace {

constexpr CNote kC2{1, 2}, kA4{10, 4}, kA6Sharp{11, 6};

// A synthesizer on the offline backend, and a sawtooth built over its range.
class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        timbre.SetSawtoothWave();
        ASSERT_EQ(timbre.BuildWaves(synth->m_lowest, synth->m_highest), 59u);
        ASSERT_EQ(synth->m_reverbBus->DisableEffect(0), S_OK);  // the voices' own output
    }
    std::vector<float> Render(std::uint32_t frames) {
        std::vector<float> out(frames);
        EXPECT_EQ(synth->m_engine->RenderOffline(out.data(), frames), S_OK);
        return out;
    }

    tovel_test::ScopedAudioBackend m_backend{platform::AudioBackend::Offline, 1};
    CTimbre timbre;  // outlives the synthesizer, whose voices play its waveforms
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    CSynthesizer* synth = CSynthesizer::Instance();
};

TEST_F(VoiceTest, BufferLengthsFollowFrequencyAndEnergy) {
    CPlayTask *low = &synth->m_voices[0], *high = &synth->m_voices[1];
    low->Play(timbre.WaveOf(kC2), 0.5f);
    high->Play(timbre.WaveOf(kA6Sharp), 0.5f);
    EXPECT_EQ(low->m_buffer.LoopCount, 13u) << "C2: 14 periods of 675, 0.214 s";
    EXPECT_EQ(high->m_buffer.LoopCount, 254u) << "A#6: capped, 255 periods of 24";
    EXPECT_EQ(CPlayTask::LoopCountFor(440.0f, 0.001), 1u) << "at least one";
    // Holding feeds 0.9 per second; the release sets 0.5 whatever was gathered.
    low->Sustain(0.1f);
    EXPECT_EQ(low->m_energy.load(), static_cast<float>(0.5 + 0.1f * 0.8999999761581421));
    low->ReleaseNote();
    EXPECT_EQ(low->m_energy.load(), 0.5f);
    // After a buffer end has spent 0.2, the release brings it back up to 0.5.
    Render(14 * 675 + 1);
    EXPECT_EQ(low->m_energy.load(), static_cast<float>(0.5 - 0.20000000298023224));
    low->ReleaseNote();
    EXPECT_EQ(low->m_energy.load(), 0.5f);
}

TEST_F(VoiceTest, LastBufferQueuedIgnoresReleaseAndSustainAndIsNeverHandedOut) {
    CPlayTask* voice = synth->FindFreeVoice();
    voice->Play(timbre.WaveOf(kA4), 0.3f);  // one full buffer's worth: the second is the last
    Render(89 * 101);
    ASSERT_TRUE(voice->IsLastBufferQueued());
    const float energy = voice->m_energy.load();
    voice->ReleaseNote();
    voice->Sustain(1.0f);
    EXPECT_EQ(voice->m_energy.load(), energy);
    EXPECT_NE(synth->FindFreeVoice(), voice) << "an ending slot is still busy";
    // The last buffer is cut to the energy left: trunc(440 * 0.1) = 44 loops, 45 periods.
    std::vector<float> out = Render(45 * 101 + 10);
    EXPECT_TRUE(out[45 * 101 - 1] != 0.0f && out[45 * 101] == 0.0f);
    EXPECT_TRUE(voice->m_wave.load() == nullptr && synth->FindFreeVoice() == voice);
}

TEST_F(VoiceTest, TenNotesThroughTheReverbStayFiniteAndWithinFullScale) {
    // The loudest a player can do: ten keys struck at once, stacked by up to a fourth, each preset.
    ASSERT_EQ(synth->m_reverbBus->EnableEffect(0), S_OK);
    float loudest = 0.0f;
    for (auto set :
         {&CTimbre::SetAllEvenHiWave, &CTimbre::SetSawtoothWave, &CTimbre::SetSquareWave}) {
        CTimbre preset;
        (preset.*set)();
        ASSERT_EQ(preset.BuildWaves(synth->m_lowest, synth->m_highest), 59u);
        for (std::uint32_t step = 1; step <= 5; ++step) {
            for (std::uint32_t low = 0; low + 9 * step < 59; low += 3) {
                for (std::uint32_t i = 0; i < 10; ++i) {
                    synth->FindFreeVoice()->Play(
                        {preset.m_waves, &preset.m_waves[low + i * step]}, 0.5f);
                }
                float peak = 0.0f;  // over two seconds of 10 ms key scans, and until all end
                const CPlayTask* v = synth->m_voices.get();
                auto sounding = [&] {
                    return std::any_of(v, v + 10, [](auto& voice) { return voice.m_wave.load(); });
                };
                for (int frame = 0; frame < 200 || sounding(); ++frame) {
                    for (float s : Render(441)) {
                        ASSERT_TRUE(std::isfinite(s));
                        peak = std::max(peak, std::fabs(s));
                    }
                }
                EXPECT_LT(peak, 1.0f) << preset.m_name << " from wave " << low << " by " << step;
                loudest = std::max(loudest, peak);
            }
        }
    }
    EXPECT_GT(loudest, 0.2f) << "the reverb carries the chords";
}

}  // namespace
