// The playing timbre replaced, stored over or deleted 10,000 times under ten sounding keys: under
// the sanitizers no sounding waveform is freed or rewritten; every voice ends, every set goes.

#include <atomic>
#include <random>
#include <thread>

#include "tests/keyboard/KeyboardFixture.h"

namespace {

using WaveLifetimeStressTest = KeyboardTest;

TEST_F(WaveLifetimeStressTest, TimbresReplacedStoredOverAndDeletedUnderTenSoundingKeys) {
    // The ten highest live keys, F#4 to D#5, so that the rounds' rebuilds are quick.
    constexpr CNote kLow{7, 4}, kHigh{4, 5};
    constexpr std::uint32_t kKeys[] = {37, 38, 39, 40, 41, 42, 44, 45, 46, 47};
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
    std::unique_ptr<CTimbre> palette[4] = {makeEntry(), makeEntry(), makeEntry(), makeEntry()};
    keyboard->SetTimbre(*palette[0]);
    std::atomic<bool> stop{false};
    std::thread audio([&] {  // resting between blocks, so that the other thread gets the processor
        std::vector<float> block(platform::AudioEngine::kBlockFrames);
        while (!stop.load()) {
            synth->m_engine->RenderOffline(block.data(), platform::AudioEngine::kBlockFrames);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    for (int round = 0; round < 10000; ++round) {
        // Now and then a key comes up and goes down again in the next scan, striking anew.
        for (std::uint32_t k : kKeys) {
            state[KeyVirtualKey(k)] = state[KeyVirtualKey(k)] == 0 || random() % 8 ? 0x80 : 0;
        }
        keyboard->UpdateKeys(0.5f);
        ASSERT_TRUE(round > 0 || Sounding() == 10) << "ten keys sound";
        auto& played = palette[random() % 4];
        keyboard->SetTimbre(*played);
        if (round % 2 == 0) {  // the entry the keys play from is stored over or deleted
            *played = *palette[random() % 4];
            sets.push_back(played->m_waves);
        } else {
            played = makeEntry();
        }
    }
    std::fill(std::begin(state), std::end(state), 0);
    keyboard->UpdateKeys(0.5f);
    // A released note ends within about three buffers; the bound keeps a broken build from hanging.
    for (int i = 0; i < 60000 && Sounding() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();
    EXPECT_EQ(0, Sounding()) << "a voice never ended";
    // Once the scan has looked and the keys play another timbre, nothing holds the palette's.
    CTimbre last;
    last.BuildWaves(kLow, kHigh);
    keyboard->SetTimbre(last);
    keyboard->UpdateKeys(0.5f);
    std::fill(std::begin(palette), std::end(palette), nullptr);
    EXPECT_EQ(0, std::count_if(sets.begin(), sets.end(), [](auto& set) { return !set.expired(); }))
        << "of " << sets.size() << " sets";
}

}  // namespace
