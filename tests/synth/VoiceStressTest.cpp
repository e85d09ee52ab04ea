// The user-interface thread starts, feeds and releases notes while the audio thread runs the
// buffer callbacks, with no lock between them. Under SANITIZE=thread this shows no race; in any
// build, that every note ends and frees its slot.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "tests/synth/SynthFixture.h"

namespace {

using VoiceStressTest = OfflineSynthTest;

TEST_F(VoiceStressTest, ThousandsOfNotesAgainstTheAudioThread) {
    constexpr int kNotes = 4000;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> block(256);
        while (!stop.load()) {
            synth->m_engine->RenderOffline(block.data(), 256);
        }
    });
    // Keys go down, stay down for a few scans and come up, ten at most at once, as a player's
    // would; a key keeps its slot until it is released, even if the note ended meanwhile.
    std::mt19937 random(20261206);
    struct Key {
        CPlayTask* voice = nullptr;
        int scansLeft = 0;
    } keys[16];
    int started = 0, refused = 0;
    while (started < kNotes) {
        for (Key& key : keys) {
            if (key.voice && --key.scansLeft > 0) {
                key.voice->Sustain(0.01f);
            } else if (key.voice) {
                key.voice->ReleaseNote();
                key.voice = nullptr;
            } else if (random() % 4 == 0 && started < kNotes) {
                if (!(key.voice = synth->FindFreeVoice())) {
                    ++refused;
                    continue;
                }
                CNote note{static_cast<std::uint32_t>(1 + random() % 12),
                           static_cast<std::uint32_t>(2 + random() % 5)};
                key.voice->Play(Wave(Distance(note, synth->m_highest) < 0 ? synth->m_highest : note),
                                CPlayTask::kStartEnergy);
                key.scansLeft = 1 + static_cast<int>(random() % 30);
                ++started;
            }
        }
        std::this_thread::yield();
    }
    for (Key& key : keys) {
        if (key.voice) {
            key.voice->ReleaseNote();
        }
    }
    // A released note ends within about three buffers: give it many more.
    for (int i = 0; i < 2000 && !AllFree(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();
    for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
        const CPlayTask& v = synth->m_voices[i];
        platform::VoiceState state{};
        v.m_voice->GetState(&state);
        EXPECT_TRUE(!v.m_wave.load() && v.m_energy.load() == 0.0f && state.BuffersQueued == 0)
            << "voice " << i << " never ended";
    }
    RecordProperty("refused", refused);
}

}  // namespace
