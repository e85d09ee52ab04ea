#pragma once
// A deviceless harmonics control at 1024 x 768 editing the sawtooth an offline keyboard plays.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "controls/HarmonicsControl.h"
#include "graphics/Graphics.h"
#include "jewels/JewelManager.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "platform/window/NullWindow.h"
#include "tests/support/DevicelessJewels.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

// The top y of a bar's filled part, and the pixel column through its middle.
inline float Top(const CHarmonicsControl& control, int bar) {
    return control.m_bars[6 * (bar - 1)].y;
}
inline std::int32_t Middle(const CHarmonicsControl& control, int bar) {
    const HarmonicsVertex* v = &control.m_bars[6 * (bar - 1)];
    return static_cast<std::int32_t>((v[0].x + v[1].x) / 2);
}

class HarmonicsControlTest : public ::testing::Test {
protected:
    static constexpr std::int32_t kWindowLeft = 100, kWindowTop = 50;  // the client area
    void SetUp() override {
        ASSERT_NE(nullptr, tovel_test::InstallDevicelessJewels());
        keyboard = CSynthesizerKeyboard::Instance();
        keyboard->SetKeyStateSource([this](std::uint8_t* keys) {
            std::copy(std::begin(state), std::end(state), keys);
            return true;
        });
        start.SetSawtoothWave();
        CSynthesizer* synth = CSynthesizer::Instance();
        ASSERT_EQ(59u, start.BuildWaves(synth->m_lowest, synth->m_highest));
        keyboard->SetTimbre(start);
        platform::WindowDesc desc;
        desc.x = kWindowLeft, desc.y = kWindowTop, desc.width = 1024, desc.height = 768;
        window = system->CreateWindow(desc, nullptr);
        control->LoadTimbre(start);
        control->Layout(1024, 768);
    }
    void PointerAt(std::int32_t x, std::int32_t y) {
        system->SetCursorPosition(platform::POINT{x + kWindowLeft, y + kWindowTop});
    }
    // Presses on the bar's top edge and moves the pointer by dy; true when the press held.
    bool Drag(int bar, std::int32_t dy) {
        const std::int32_t x = Middle(*control, bar);
        const auto y = static_cast<std::int32_t>(Top(*control, bar));
        if (!control->OnButtonDown(x, y, window.get())) {
            return false;
        }
        PointerAt(x, y + dy);
        control->UpdateDrag();
        return true;
    }

    // Declared in the order of start-up, so that they go in the order of shutdown.
    tovel_test::ScopedAudioBackend m_backend{platform::AudioBackend::Offline, 1};
    tovel_test::ScopedInstance<CGraphics> m_graphics;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    tovel_test::ScopedInstance<CSynthesizerKeyboard> m_keyboard;
    std::unique_ptr<platform::NullWindowSystem> system{new platform::NullWindowSystem()};
    std::unique_ptr<platform::Window> window;
    std::unique_ptr<CHarmonicsControl> control = std::make_unique<CHarmonicsControl>();
    CSynthesizerKeyboard* keyboard = nullptr;
    CTimbre start;
    std::uint8_t state[platform::kVirtualKeyCount] = {};
};
