#pragma once
// A synthesizer on the offline backend, and a timbre built over its range.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "synth/Synthesizer.h"
#include "synth/Timbre.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

class OfflineSynthTest : public ::testing::Test {
protected:
    void SetUp() override {
        synth = CSynthesizer::Instance();
        ASSERT_NE(synth->m_master, nullptr);
        timbre.SetSawtoothWave();
        ASSERT_EQ(timbre.BuildWaves(synth->m_lowest, synth->m_highest), 59u);
    }
    // The bus passes its input through, so the voices' own output can be measured.
    void Dry() { ASSERT_EQ(synth->m_reverbBus->DisableEffect(0), S_OK); }
    std::shared_ptr<const CNoteWave> Wave(CNote note) { return timbre.WaveOf(note); }
    std::vector<float> Render(std::uint32_t frames) {
        std::vector<float> out(frames);
        EXPECT_EQ(synth->m_engine->RenderOffline(out.data(), frames), S_OK);
        return out;
    }
    bool AllFree() const {
        for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
            if (synth->m_voices[i].m_wave.load()) {
                return false;
            }
        }
        return true;
    }
    tovel_test::ScopedAudioBackend m_backend{platform::AudioBackend::Offline, 1};
    CTimbre timbre;  // outlives the synthesizer, whose voices play its waveforms
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    CSynthesizer* synth = nullptr;
};
