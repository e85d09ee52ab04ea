// The frame loop's choice between dispatching, drawing and waiting; a key pressed while a frame
// draws starts its note before that frame ends; the restore button's rectangle.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/KeyListening.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

namespace {

using namespace platform;

constexpr std::uint32_t kWake = WM_TIMER + 0x100;  // a test event that makes the window active

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = CreateNullWindowSystem();
        m_window = m_system->CreateWindow(
            WindowDesc{}, [this](Window* w, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
                m_log.push_back(message);
                if (message == kWake) {
                    active = true;
                }
                return DefWindowProc(w, message, wParam, lParam);
            });
        m_log.clear();  // the create event
        deviceLost = false;
        active = true;
        m_hooks.clock = [this] { return m_now; };
        m_hooks.sleep = [this](std::uint32_t ms) { m_sleeps.push_back(ms); };
        m_hooks.resetDevice = [] {};
        m_hooks.frame = [this](float total, float dt) {
            m_frames.emplace_back(total, dt);
            Frame();
        };
    }
    void TearDown() override {
        m_window.reset();  // its destroy event still reaches the log
        deviceLost = false;
        active = true;
    }

    // What happens after each drawn frame; by default the clock moves on 16 ms.
    std::function<void()> m_afterFrame;
    void Frame() {
        if (m_afterFrame) {
            m_afterFrame();
        }
    }

    std::unique_ptr<WindowSystem> m_system;
    std::unique_ptr<Window> m_window;
    FrameLoopHooks m_hooks;
    std::uint32_t m_now = 1000;
    std::vector<std::uint32_t> m_log;
    std::vector<std::uint32_t> m_sleeps;
    std::vector<std::pair<float, float>> m_frames;
};

TEST_F(FrameLoopTest, AQuitDuringStartUpEndsTheLoopBeforeTheFirstFrame) {
    m_system->PostMessage(m_window.get(), kWake, 0, 0);
    m_system->PostQuitMessage(7);
    EXPECT_EQ(7, RunFrameLoop(*m_system, m_hooks));
    EXPECT_EQ(std::vector<std::uint32_t>{kWake}, m_log) << "events before the quit still arrive";
    EXPECT_TRUE(m_frames.empty());
}

// A lost device is retried without drawing or sleeping where the program's device is tested.
TEST_F(FrameLoopTest, FramesAdvanceByTheClockAcrossItsWrapAndAfterAPauseSleepingAfterEach) {
    m_now = 0xFFFFFFF0u;
    m_afterFrame = [this] {
        m_now += 0x20;  // wraps on the first frame
        if (m_frames.size() == 3) {
            // Minimised for five seconds, then restored.
            active = false;
            m_now += 5000;
            m_system->PostMessage(m_window.get(), kWake, 0, 0);
        } else if (m_frames.size() == 4) {
            m_system->PostQuitMessage(0);
        }
    };
    EXPECT_EQ(0, RunFrameLoop(*m_system, m_hooks));
    ASSERT_EQ(4u, m_frames.size());
    EXPECT_FLOAT_EQ(0.0f, m_frames[0].second);
    EXPECT_FLOAT_EQ(0.032f, m_frames[1].second) << "a wrap gives a small positive step";
    EXPECT_FLOAT_EQ(0.064f, m_frames[2].first);
    EXPECT_FLOAT_EQ(5.032f, m_frames[3].second) << "the first frame after a pause covers it";
    EXPECT_EQ((std::vector<std::uint32_t>{10, 10, 10, 10}), m_sleeps);
}

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
    keyboard->SetKeyStateSource(
        [&system](std::uint8_t* keys) { return system.GetKeyboardState(keys); });
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

TEST(RestoreButtonTest, ASquareNearTheTopRightCornerHitOnlyStrictlyInside) {
    BuildRestoreButtonQuad(1000, 800);
    EXPECT_FLOAT_EQ(950.0f, restoreButtonQuad[0].x);
    EXPECT_FLOAT_EQ(20.0f, restoreButtonQuad[0].y);
    EXPECT_FLOAT_EQ(975.0f, restoreButtonQuad[3].x);
    EXPECT_FLOAT_EQ(45.0f, restoreButtonQuad[3].y);
    EXPECT_EQ(1.0f, restoreButtonQuad[1].u);
    EXPECT_EQ(1.0f, restoreButtonQuad[2].v);
    EXPECT_EQ(0x00000000u, restoreButtonQuad[3].diffuse);
    const std::pair<float, float> inside = {960.0f, 30.0f}, edges[] = {{950.0f, 30.0f},
                                                                       {960.0f, 20.0f},
                                                                       {975.0f, 30.0f},
                                                                       {960.0f, 45.0f}};
    EXPECT_TRUE(HitRestoreButton(inside.first, inside.second));
    for (const auto& [x, y] : edges) {
        EXPECT_FALSE(HitRestoreButton(x, y)) << x << ", " << y;
    }
}

}  // namespace
