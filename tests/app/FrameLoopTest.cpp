// The frame loop's choice between dispatching, drawing and waiting; a key pressed while a frame
// draws starts its note before that frame ends; the restore button's rectangle.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>
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
            if (m_afterFrame) {
                m_afterFrame();
            }
        };
    }
    void TearDown() override {
        m_window.reset();  // its destroy event still reaches the log
        deviceLost = false;
        active = true;
    }

    std::unique_ptr<WindowSystem> m_system;
    std::unique_ptr<Window> m_window;
    std::function<void()> m_afterFrame;  // what happens after each drawn frame
    FrameLoopHooks m_hooks;
    std::uint32_t m_now = 1000;
    std::vector<std::uint32_t> m_log;
    std::vector<std::uint32_t> m_sleeps;
    std::vector<std::pair<float, float>> m_frames;
};

// A quit during start-up ends the loop before the first frame, the events before it delivered;
// then frames advance by the clock across its wrap and after a pause, each followed by a sleep.
// A lost device is retried without drawing or sleeping where the program's device is tested.
TEST_F(FrameLoopTest, FramesAdvanceByTheClockAcrossItsWrapAndAfterAPauseSleepingAfterEach) {
    m_system->PostMessage(m_window.get(), kWake, 0, 0);
    m_system->PostQuitMessage(7);
    EXPECT_EQ(7, RunFrameLoop(*m_system, m_hooks));
    EXPECT_EQ(std::vector<std::uint32_t>{kWake}, m_log);
    EXPECT_TRUE(m_frames.empty());

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
    return std::any_of(synth.m_voices.get(), synth.m_voices.get() + CSynthesizer::kVoiceCount,
                       [](const auto& voice) { return voice.m_wave.load() != nullptr; });
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
    const auto& quad = restoreButtonQuad;
    EXPECT_EQ(std::tuple(950.0f, 20.0f, 975.0f, 45.0f, 1.0f, 1.0f),
              std::tuple(quad[0].x, quad[0].y, quad[3].x, quad[3].y, quad[1].u, quad[2].v));
    const std::tuple<float, float, bool> points[] = {
        {960, 30, true}, {950, 30, false}, {960, 20, false}, {975, 30, false}, {960, 45, false}};
    for (const auto& [x, y, hit] : points) {
        EXPECT_EQ(hit, HitRestoreButton(x, y)) << x << ", " << y;
    }
}

}  // namespace
