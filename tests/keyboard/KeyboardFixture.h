#pragma once
// A keyboard on the offline backend playing a sawtooth, deviceless jewels, a scripted key state.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "platform/window/KeyMap.h"
#include "tests/support/DevicelessJewels.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(synth->m_master && jewels);
        ASSERT_EQ(S_OK, keyboard->Init());
        keyboard->SetKeyStateSource([this](std::uint8_t* keys) {
            std::copy(std::begin(state), std::end(state), keys);
            return readable;
        });
        timbre.SetSawtoothWave();
        ASSERT_EQ(59u, timbre.BuildWaves(synth->m_lowest, synth->m_highest));
        keyboard->SetTimbre(timbre);
    }
    void TearDown() override { keyboard.reset(); }  // with the synthesizer and the jewel manager
    CKeyboardKey& Key(std::uint32_t i) { return keyboard->m_keys[i]; }
    void Press(std::uint32_t i) { state[KeyVirtualKey(i)] = 0x80; }
    void Lift(std::uint32_t i) { state[KeyVirtualKey(i)] = 0; }
    // The audio thread's share of a second: buffers end, notes run out, voices free.
    void PlayOneSecond() {
        std::vector<float> out(CSynthesizer::kSampleRate);
        ASSERT_EQ(S_OK, synth->m_engine->RenderOffline(out.data(), CSynthesizer::kSampleRate));
    }
    std::int32_t Columns() const { return jewels->m_takenCount; }
    int Sounding() const {
        return static_cast<int>(std::count_if(
            synth->m_voices.get(), synth->m_voices.get() + CSynthesizer::kVoiceCount,
            [](const CPlayTask& v) { return v.m_wave.load() != nullptr; }));
    }

    tovel_test::ScopedAudioBackend m_backend{platform::AudioBackend::Offline, 1};
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    CSynthesizer* synth = CSynthesizer::Instance();
    CJewelManager* jewels = tovel_test::InstallDevicelessJewels();  // owned as the instance
    std::unique_ptr<CSynthesizerKeyboard> keyboard = std::make_unique<CSynthesizerKeyboard>();
    CTimbre timbre;
    std::uint8_t state[platform::kVirtualKeyCount] = {};
    bool readable = true;
};
