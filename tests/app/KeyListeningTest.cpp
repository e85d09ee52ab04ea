// A key pressed while a frame draws starts its note before that frame ends.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/Application.h"
#include "app/KeyListening.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

namespace {

using namespace platform;

// Long enough never to end a frame in which the note does start.
constexpr auto kGiveUp = std::chrono::seconds(10);
constexpr std::uint32_t kA4Key = 40;

bool Sounding(const CSynthesizer& synth) {
    for (std::uint32_t i = 0; i < CSynthesizer::kVoiceCount; ++i) {
        if (synth.m_voices[i].m_wave.load()) {
            return true;
        }
    }
    return false;
}

TEST(KeyListeningTest, AKeyPressedWhileAFrameDrawsSoundsBeforeTheFrameEnds) {
    tovel_test::ScopedAudioBackend offline(AudioBackend::Offline, 1);
    tovel_test::ScopedInstance<CSynthesizer> synthScope;
    tovel_test::ScopedInstance<CJewelManager> jewelScope(new CJewelManager());
    ASSERT_EQ(S_OK, CJewelManager::Instance()->CreateTasks());
    CSynthesizer* synth = CSynthesizer::Instance();
    ASSERT_NE(nullptr, synth->m_engine);

    NullWindowSystem system;
    std::unique_ptr<Window> window = system.CreateWindow(WindowDesc{}, nullptr);
    auto keyboard = std::make_unique<CSynthesizerKeyboard>();
    ASSERT_EQ(S_OK, keyboard->Init());
    keyboard->SetKeyStateSource([&system](std::uint8_t* keys) { return system.GetKeyboardState(keys); });
    CTimbre timbre;
    timbre.SetSawtoothWave();
    ASSERT_EQ(59u, timbre.BuildWaves(synth->m_lowest, synth->m_highest));
    keyboard->SetTimbre(timbre);
    std::unique_ptr<KeyListener> listener = ListenForKeys(system, window.get(), keyboard.get());
    ASSERT_NE(nullptr, listener);

    // The frame scans, then draws for as long as it takes the note to start: a player presses
    // the key in the middle of it.
    bool heardWhileDrawing = false;
    int frames = 0;
    FrameLoopHooks hooks;
    hooks.sleep = [](std::uint32_t) {};
    hooks.frame = [&](float, float dt) {
        keyboard->UpdateKeys(dt);
        if (++frames > 1) {
            return;
        }
        std::thread player([&] { system.SetKeyDown(KeyVirtualKey(kA4Key), true); });
        const auto giveUp = std::chrono::steady_clock::now() + kGiveUp;
        while (!Sounding(*synth) && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        heardWhileDrawing = Sounding(*synth);
        player.join();
        system.PostQuitMessage(0);
    };
    EXPECT_EQ(0, RunFrameLoop(system, hooks));
    EXPECT_TRUE(heardWhileDrawing) << "the note waited for the frame to end";
    EXPECT_EQ(nullptr, keyboard->m_keys[kA4Key].m_jewel) << "its column waits for the next frame";

    listener.reset();
    keyboard.reset();  // takes the synthesizer and the jewel manager with it
}

}  // namespace
