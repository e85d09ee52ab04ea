// The frame loop's choice between dispatching, retrying the reset, drawing and waiting, and the
// restore button's rectangle.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/Application.h"
#include "platform/window/NullWindow.h"

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
        m_hooks.resetDevice = [this] { ++m_resets; };
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
    int m_resets = 0;
};

TEST_F(FrameLoopTest, AQuitDuringStartUpEndsTheLoopBeforeTheFirstFrame) {
    m_system->PostMessage(m_window.get(), kWake, 0, 0);
    m_system->PostQuitMessage(7);
    EXPECT_EQ(7, RunFrameLoop(*m_system, m_hooks));
    EXPECT_EQ(std::vector<std::uint32_t>{kWake}, m_log) << "events before the quit still arrive";
    EXPECT_TRUE(m_frames.empty());
}

TEST_F(FrameLoopTest, FramesAdvanceByTheClockAcrossItsWrapAndSleepAfterEach) {
    m_now = 0xFFFFFFF0u;
    m_afterFrame = [this] {
        m_now += 0x20;  // wraps on the first frame
        if (m_frames.size() == 3) {
            m_system->PostQuitMessage(0);
        }
    };
    EXPECT_EQ(0, RunFrameLoop(*m_system, m_hooks));
    ASSERT_EQ(3u, m_frames.size());
    EXPECT_FLOAT_EQ(0.0f, m_frames[0].second);
    EXPECT_FLOAT_EQ(0.032f, m_frames[1].second) << "a wrap gives a small positive step";
    EXPECT_FLOAT_EQ(0.064f, m_frames[2].first);
    EXPECT_EQ((std::vector<std::uint32_t>{10, 10, 10}), m_sleeps);
}

TEST_F(FrameLoopTest, TheFirstFrameAfterAPauseCoversTheWholePause) {
    m_afterFrame = [this] {
        if (m_frames.size() == 1) {
            // Minimised for five seconds, then restored.
            active = false;
            m_now += 5000;
            m_system->PostMessage(m_window.get(), kWake, 0, 0);
        } else {
            m_system->PostQuitMessage(0);
        }
    };
    RunFrameLoop(*m_system, m_hooks);
    ASSERT_EQ(2u, m_frames.size());
    EXPECT_FLOAT_EQ(5.0f, m_frames[1].second);
}

TEST_F(FrameLoopTest, ALostDeviceIsResetOnEveryIdleIterationWithoutDrawingOrSleeping) {
    deviceLost = true;
    m_hooks.resetDevice = [this] {
        if (++m_resets == 3) {
            deviceLost = false;
        }
    };
    m_afterFrame = [this] { m_system->PostQuitMessage(0); };
    RunFrameLoop(*m_system, m_hooks);
    EXPECT_EQ(3, m_resets);
    EXPECT_EQ(1u, m_frames.size()) << "drawing resumes once the reset succeeds";
    EXPECT_EQ(1u, m_sleeps.size());
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
    EXPECT_TRUE(HitRestoreButton(960.0f, 30.0f));
    EXPECT_FALSE(HitRestoreButton(950.0f, 30.0f)) << "the edges are outside";
    EXPECT_FALSE(HitRestoreButton(960.0f, 45.0f));
    EXPECT_FALSE(HitRestoreButton(976.0f, 30.0f));
}

}  // namespace
