// Ten thousand times the user-interface thread replaces the playing timbre and then stores over
// or deletes the timbre the keys play from, while ten keys sound and the audio thread runs the
// voices. Under SANITIZE=address and SANITIZE=thread this shows that no sounding waveform is freed
// or rewritten and that nothing races; in any build, that every voice ends and every waveform set
// goes once nothing plays it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/keyboard/KeyboardFixture.h"

namespace {

using WaveLifetimeStressTest = KeyboardTest;

TEST_F(WaveLifetimeStressTest, TimbresReplacedStoredOverAndDeletedUnderTenSoundingKeys) {
    constexpr int kRounds = 10000;
    // The notes of the ten highest live keys only, F#4 to D#5, so that the rounds' rebuilds are
    // quick.
    constexpr CNote kLow{7, 4};
    constexpr CNote kHigh{4, 5};
    constexpr std::uint32_t kKeys[] = {37, 38, 39, 40, 41, 42, 44, 45, 46, 47};
    // Held keys feed their notes faster than a buffer spends them, whatever the two threads' pace.
    constexpr float kHeldFrame = 0.5f;

    std::mt19937 random(20240102);
    std::vector<std::weak_ptr<const CNoteWave[]>> sets;  // every set the palette ever held
    auto makeEntry = [&] {
        auto entry = std::make_unique<CTimbre>();
        for (float& h : entry->m_harmonics) {
            h = static_cast<float>(random() % 5) * 0.25f;
        }
        entry->BuildWaves(kLow, kHigh);
        sets.push_back(entry->m_waves);
        return entry;
    };
    std::unique_ptr<CTimbre> palette[4];
    for (auto& entry : palette) {
        entry = makeEntry();
    }
    keyboard->SetTimbre(*palette[0]);
    for (std::uint32_t k : kKeys) {
        ASSERT_NE(nullptr, Key(k).m_wave) << "key " << k;
    }

    std::atomic<bool> stop{false};
    long sounding = 0;  // voices sounding, summed over the rounds
    // The audio thread renders block after block, resting a little between them so that the
    // user-interface thread gets the processor it shares.
    std::thread audio([&] {
        std::vector<float> block(platform::AudioEngine::kBlockFrames);
        while (!stop.load()) {
            synth->m_engine->RenderOffline(block.data(), platform::AudioEngine::kBlockFrames);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    for (std::uint32_t k : kKeys) {
        Press(k);
    }
    for (int round = 0; round < kRounds; ++round) {
        // Now and then a key comes up and goes down again in the next scan, striking anew.
        for (std::uint32_t k : kKeys) {
            if (state[KeyVirtualKey(k)] == 0) {
                Press(k);
            } else if (random() % 8 == 0) {
                Lift(k);
            }
        }
        keyboard->UpdateKeys(kHeldFrame);
        sounding += Sounding();
        auto& played = palette[random() % 4];
        keyboard->SetTimbre(*played);
        // The entry the keys play from is stored over or deleted, by turns.
        if (round % 2 == 0) {
            *played = *palette[random() % 4];
            sets.push_back(played->m_waves);
        } else {
            played = makeEntry();
        }
    }

    for (std::uint32_t k : kKeys) {
        Lift(k);
    }
    keyboard->UpdateKeys(kHeldFrame);
    // A released note ends within about three buffers; the bound only keeps a broken build from
    // hanging.
    for (int i = 0; i < 60000 && Sounding() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();

    for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
        EXPECT_EQ(nullptr, synth->m_voices[i].m_wave.load()) << "voice " << i << " never ended";
    }
    // Once the scan has looked and the keys play another timbre, nothing holds the palette's.
    CTimbre last;
    last.SetSquareWave();
    last.BuildWaves(kLow, kHigh);
    keyboard->SetTimbre(last);
    keyboard->UpdateKeys(kHeldFrame);
    for (auto& entry : palette) {
        entry.reset();
    }
    std::size_t alive = 0;
    for (const auto& set : sets) {
        alive += set.expired() ? 0 : 1;
    }
    EXPECT_EQ(0u, alive) << "of " << sets.size() << " sets";
    RecordProperty("sounding_per_round", std::to_string(static_cast<double>(sounding) / kRounds));
}

}  // namespace
