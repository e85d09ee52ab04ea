// Bars released again and again under ten sounding keys: under the sanitizers no release frees
// or rebuilds samples a voice still reads; in any build, every note still ends.

#include <atomic>
#include <random>
#include <thread>

#include "keyboard/KeyTable.h"
#include "tests/controls/HarmonicsFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint32_t BusyVoices() {
    const CPlayTask* voices = CSynthesizer::Instance()->m_voices.get();
    return static_cast<std::uint32_t>(std::count_if(voices, voices + CSynthesizer::kVoiceCount,
                                                    [](auto& v) { return v.m_wave.load(); }));
}

TEST_F(HarmonicsControlTest, ReleasingBarsWhileTenNotesSound) {
    constexpr int kEdits = 1000;
    CSynthesizer* synth = CSynthesizer::Instance();
    std::atomic<bool> stop{false};
    // The audio thread plays in real time, as the device would.
    std::thread audio([&] {
        std::vector<float> block(256);
        const Clock::time_point begin = Clock::now();
        for (double played = 0.0; !stop.load();) {
            if (played > std::chrono::duration<double>(Clock::now() - begin).count()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            } else {
                synth->m_engine->RenderOffline(block.data(), 256);
                played += 256.0 / CSynthesizer::kSampleRate;
            }
        }
    });
    // Ten live keys held; one is struck anew now and then, starting on the edited waveforms.
    std::vector<std::uint32_t> keys;
    for (std::uint32_t i = 0; keys.size() < CSynthesizer::kVoiceCount; ++i) {
        if (keyboard->m_keys[i].m_wave) {
            keys.push_back(i);
            state[KeyVirtualKey(i)] = 0x80;
        }
    }
    Clock::time_point last = Clock::now();
    auto scan = [&] {
        const Clock::time_point now = Clock::now();
        keyboard->UpdateKeys(std::chrono::duration<float>(now - last).count());
        last = now;
    };
    scan();
    std::mt19937 random(20240613);
    std::uint32_t busy = 0;
    for (int edit = 0; edit < kEdits; ++edit) {
        ASSERT_TRUE(Drag(1 + edit % CHarmonicsControl::kBarCount,
                         static_cast<std::int32_t>(random() % 161) - 80));
        ASSERT_TRUE(control->OnButtonUp()) << "edit " << edit;
        const std::uint8_t vk = KeyVirtualKey(keys[random() % keys.size()]);
        state[vk] = edit % 3 == 0 ? 0 : 0x80;
        scan();
        state[vk] = 0x80;
        scan();
        busy += BusyVoices();
    }
    EXPECT_GT(busy, 9u * kEdits) << "ten notes sounded through nearly every edit";
    std::fill(std::begin(state), std::end(state), 0);
    keyboard->UpdateKeys(0.01f);
    // A released note ends within about three buffers: give it many more.
    for (int i = 0; i < 5000 && BusyVoices() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop = true;
    audio.join();
    EXPECT_EQ(0u, BusyVoices()) << "a voice never ended";
}

}  // namespace
