// The key scan with a listener: keys heard between frames start and release their notes at once,
// while the frames keep the columns and the energy a held key gains.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/keyboard/KeyboardFixture.h"

namespace {

constexpr float kFrame = 0.01f;

class ListenedKeysTest : public KeyboardTest {
protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        keyboard->SetClock([this] { return clock; });
        keyboard->SetListenedKeyStateSource([this](std::uint8_t* keys) {
            std::copy(std::begin(state), std::end(state), keys);
            return readable;
        });
    }
    // A frame dt seconds after the previous one, on the keyboard's clock too.
    void Frame(float dt) {
        clock += static_cast<std::uint32_t>(std::lround(dt * 1000.0f));
        keyboard->UpdateKeys(dt);
    }
    void Heard(std::uint32_t milliseconds) {
        clock += milliseconds;
        keyboard->OnKeysChanged();
    }
    std::uint32_t clock = 5000;
};

TEST_F(ListenedKeysTest, AKeyHeardBetweenFramesSoundsAtOnceAndItsColumnFollowsTheFrames) {
    Frame(kFrame);
    Press(40);
    Heard(4);
    CPlayTask* voice = Key(40).m_voice;
    ASSERT_NE(nullptr, voice) << "struck before the next frame";
    EXPECT_EQ(0.5f, voice->m_energy.load());
    EXPECT_EQ(0, Columns());

    // The frame 20 ms on feeds the 16 ms since the strike and raises the column, unfed.
    Frame(0.02f);
    ASSERT_EQ(1, Columns());
    CJewelTask* column = Key(40).m_jewel;
    ASSERT_NE(nullptr, column);
    EXPECT_NEAR(0.5 + 0.9 * 0.016, voice->m_energy.load(), 1e-6);
    EXPECT_EQ(1.0f, column->m_life);
    EXPECT_EQ(1.0f, keyboard->m_litKeys[0].w);
    Frame(1.0f);
    EXPECT_NEAR(0.5 + 0.9 * 1.016, voice->m_energy.load(), 1e-6);
    EXPECT_EQ(2.0f, column->m_life);

    // Lifted: the note is released at once, the column at the next frame.
    Lift(40);
    Heard(3);
    EXPECT_EQ(0.5f, voice->m_energy.load());
    EXPECT_EQ(nullptr, Key(40).m_voice);
    EXPECT_EQ(2.0f, column->m_life);
    Frame(kFrame);
    EXPECT_EQ(0.2f, column->m_life);
    EXPECT_EQ(nullptr, Key(40).m_jewel);
    EXPECT_EQ(0.0f, keyboard->m_litKeys[0].w);
    EXPECT_EQ(0.5f, voice->m_energy.load()) << "released once";
}

TEST_F(ListenedKeysTest, AHeldKeyGainsTheSameEnergyWhicheverThreadStruckIt) {
    // Held for 0.6 s from the strike to the last frame before it is lifted.
    struct Case {
        const char* name;
        bool heard;                  // struck by the listener 7 ms after a frame
        std::vector<float> frames;   // the frames after the strike
    };
    const std::vector<Case> cases = {
        {"struck by a frame, even frames", false, {0.2f, 0.2f, 0.2f}},
        {"struck by a frame, uneven frames", false, {0.05f, 0.5f, 0.05f}},
        {"heard between frames", true, {0.023f, 0.2f, 0.377f}},
        {"heard, then one long frame", true, {0.6f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Frame(kFrame);
        Press(40);
        if (c.heard) {
            // The frame after the strike comes dt after the frame before it.
            Heard(7);
            Frame(c.frames[0] + 0.007f);
        } else {
            Frame(kFrame);
            Frame(c.frames[0]);
        }
        for (std::size_t i = 1; i < c.frames.size(); ++i) {
            Frame(c.frames[i]);
        }
        CPlayTask* voice = Key(40).m_voice;
        ASSERT_NE(nullptr, voice);
        EXPECT_NEAR(0.5 + 0.9 * 0.6, voice->m_energy.load(), 1e-5);
        Lift(40);
        Frame(kFrame);
        PlayOneSecond();
        PlayOneSecond();
        ASSERT_EQ(0, Sounding());
    }
}

TEST_F(ListenedKeysTest, ATapBetweenFramesSoundsAndItsColumnRisesReleased) {
    Frame(kFrame);
    Press(40);
    Heard(2);
    Lift(40);
    Heard(30);
    ASSERT_EQ(1, Sounding());
    EXPECT_EQ(0.5f, synth->m_voices[0].m_energy.load());
    Frame(0.04f);
    ASSERT_EQ(1, Columns());
    EXPECT_EQ(nullptr, Key(40).m_jewel);
    EXPECT_EQ(0.5f, synth->m_voices[0].m_energy.load()) << "a lifted key is not fed";
}

TEST_F(ListenedKeysTest, AKeyThatFindsNoVoiceIsStruckByTheFramesAsBefore) {
    std::vector<std::uint32_t> live;
    for (std::uint32_t i = 0; i < keyboard->m_keyCount; ++i) {
        if (Key(i).m_wave) {
            live.push_back(i);
        }
    }
    for (std::uint32_t k = 0; k < CSynthesizer::kVoiceCount; ++k) {
        Press(live[k]);
    }
    Heard(1);
    ASSERT_EQ(10, Sounding());
    Press(live[10]);
    Heard(1);
    EXPECT_EQ(nullptr, Key(live[10]).m_voice);
    Frame(kFrame);
    EXPECT_EQ(11, Columns()) << "ten heard, and the eleventh struck by the frame";
    Frame(kFrame);
    EXPECT_EQ(12, Columns());
}

}  // namespace
