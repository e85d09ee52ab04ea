// The program's own logic on the null window: the frame loop's choice between dispatching,
// drawing and waiting; a key pressed while a frame draws starts its note before that frame ends;
// the restore button's rectangle; the left button and the pointer routed to the components in
// their order, with capture and cursors, from synthetic events and through the window procedure
// to the program's own components.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/KeyListening.h"
#include "app/PointerRouting.h"
#include "app/WindowProcedure.h"
#include "jewels/JewelManager.h"
#include "keyboard/KeyTable.h"
#include "platform/audio/AudioEngine.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DevicelessJewels.h"
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
        // Long enough never to end a frame in which the note does start.
        heardWhileDrawing = tovel_test::WaitFor([&] { return Sounding(*synth); }, 10.0);
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

// Three components that each accept what their flag says, and write down every question asked.
class PointerRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = CreateNullWindowSystem();
        m_window = m_system->CreateWindow(WindowDesc{}, nullptr);
        m_previousHover = std::exchange(hoverCursor, &m_hover);
        m_previousGrab = std::exchange(grabCursor, &m_grab);
        PointerComponent* components[] = {&m_routes.palette, &m_routes.harmonics,
                                          &m_routes.keyboardBand};
        const char* names[] = {"palette", "harmonics", "band"};
        for (int i = 0; i < 3; ++i) {
            const std::string name = names[i];
            components[i]->buttonDown = [this, name, i](Window* window, int x, int y) {
                EXPECT_EQ(m_window.get(), window);
                m_log.push_back(name + " down " + std::to_string(x) + "," + std::to_string(y));
                return m_accepts[i];
            };
            components[i]->buttonUp = [this, name, i](int, int) {
                m_log.push_back(name + " up");
                return m_accepts[i];
            };
            components[i]->holding = [this, i] { return m_holds[i]; };
            components[i]->takeable = [this, i](int, int) { return m_takeable[i]; };
        }
        m_routes.overRestoreButton = [this](int, int) { return m_overRestore; };
        m_routes.restoreButtonReleased = [this](Window*) { m_log.push_back("restore"); };
    }
    void TearDown() override {
        hoverCursor = m_previousHover;
        grabCursor = m_previousGrab;
    }

    Cursor* Send(std::uint32_t message, int x, int y) { return Send(message, x, y, m_routes); }
    Cursor* Send(std::uint32_t message, int x, int y, const PointerRoutes& routes) {
        m_system->SetCursor(m_system->GetArrowCursor());
        EXPECT_TRUE(RoutePointerEvent(
            routes, m_window.get(), message,
            MAKELPARAM(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))));
        return m_system->GetCursor();
    }
    Cursor* Arrow() const { return m_system->GetArrowCursor(); }

    std::unique_ptr<WindowSystem> m_system;
    std::unique_ptr<Window> m_window;
    Cursor m_hover, m_grab;
    Cursor* m_previousHover = nullptr;
    Cursor* m_previousGrab = nullptr;
    PointerRoutes m_routes;
    bool m_accepts[3] = {}, m_holds[3] = {}, m_takeable[3] = {};
    bool m_overRestore = false;
    std::vector<std::string> m_log;
};

// Presses and releases go to the components in order until one takes them; a taken press
// captures the pointer, a taken release gives it back.
TEST_F(PointerRoutingTest, ButtonsGoToTheFirstComponentThatTakesThem) {
    // A captured pointer left of and above the window arrives wrapped, never negative.
    EXPECT_EQ(Arrow(), Send(WM_LBUTTONDOWN, -1, 20));
    EXPECT_EQ((std::vector<std::string>{"palette down 65535,20", "harmonics down 65535,20",
                                        "band down 65535,20"}),
              m_log);
    EXPECT_EQ(nullptr, m_system->GetCapture()) << "nobody took it";
    EXPECT_FALSE(RoutePointerEvent(m_routes, m_window.get(), WM_KEYUP, 0));
    for (int taker = 0; taker < 3; ++taker) {
        m_log.clear();
        m_accepts[0] = m_accepts[1] = false;
        m_accepts[taker] = m_accepts[2] = true;  // the band would take it too, but is asked last
        EXPECT_EQ(&m_grab, Send(WM_LBUTTONDOWN, 30, 40));
        EXPECT_EQ(m_window.get(), m_system->GetCapture());
        EXPECT_EQ(&m_hover, Send(WM_LBUTTONUP, 5, 5));
        EXPECT_EQ(static_cast<std::size_t>(2 * taker + 2), m_log.size()) << "taker " << taker;
        EXPECT_EQ(nullptr, m_system->GetCapture());
    }
    // A release taken by nobody: over the restore button full screen is left, elsewhere nothing
    // happens, and the capture stays.
    m_accepts[0] = m_accepts[1] = m_accepts[2] = false;
    m_system->SetCapture(m_window.get());
    for (bool over : {false, true}) {
        m_log.clear();
        m_overRestore = over;
        EXPECT_EQ(Arrow(), Send(WM_LBUTTONUP, 5, 5));
        EXPECT_EQ(over ? 4u : 3u, m_log.size());
        EXPECT_EQ(m_window.get(), m_system->GetCapture());
    }
}

TEST_F(PointerRoutingTest, TheCursorShowsAClosedHandWhileHoldingAndAnOpenOneOverWhatCanBeTaken) {
    // What the pointer is over: the component holding it and the one it could take (0..2, or -1).
    const std::tuple<const char*, int, int, bool, Cursor*> cases[] = {
        {"nothing", -1, -1, false, nullptr},
        {"a held tile", 0, -1, false, &m_grab},
        {"a held bar over a tile", 1, 0, false, &m_grab},
        {"the held timbre over the restore button", 2, -1, true, &m_grab},
        {"a filled tile", -1, 0, false, &m_hover},
        {"a bar", -1, 1, false, &m_hover},
        {"the keyboard band", -1, 2, false, &m_hover},
        {"the restore button's area", -1, -1, true, &m_hover},
    };
    for (const auto& [what, holding, takeable, overRestore, expected] : cases) {
        for (int i = 0; i < 3; ++i) {
            m_holds[i] = holding == i;
            m_takeable[i] = takeable == i;
        }
        m_overRestore = overRestore;
        EXPECT_EQ(expected ? expected : Arrow(), Send(WM_MOUSEMOVE, 100, 100)) << what;
    }
    EXPECT_TRUE(m_log.empty()) << "moving presses nothing";
}

// The program's own components through its window procedure: the palette with a square wave and
// the blank tile, the harmonics control, and the keyboard band (300 < y < 450, above the strip).
class ProgramRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, tovel_test::InstallDevicelessJewels());
        keyboard = CSynthesizerKeyboard::Instance();
        m_timbre.SetAllEvenHiWave();
        CSynthesizer* synth = CSynthesizer::Instance();
        m_timbre.BuildWaves(synth->m_lowest, synth->m_highest);
        keyboard->SetTimbre(m_timbre);
        harmonicsControl = CHarmonicsControl::Instance();
        harmonicsControl->LoadTimbre(m_timbre);
        harmonicsControl->Layout(1024, 768);
        keyboard->m_targetHeight = 600;
        m_palette.LayoutTiles(1024, 768);
        auto square = std::make_unique<CTimbre>();
        square->SetSquareWave();
        m_palette.AddEntry(std::move(square), nullptr);
        m_palette.SetTileDrop(DropTileOnKeyboard);
        palette = &m_palette;

        m_system = std::make_unique<NullWindowSystem>();
        m_window = m_system->CreateWindow(WindowDesc{}, MainWindowProc);
        const std::vector<std::uint8_t> image(4 * 4 * 4, 0xFF);
        hoverCursor = m_system->CreateCursor(image.data(), 4, 4, 1, 1);
        grabCursor = m_system->CreateCursor(image.data(), 4, 4, 2, 2);
    }
    void TearDown() override {
        hoverCursor = grabCursor = nullptr;
        harmonicsControl = nullptr;
        keyboard = nullptr;
        palette = nullptr;
    }

    void Send(std::uint32_t message, std::int32_t x, std::int32_t y) {
        m_window->CallProcedure(
            message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
            MAKELPARAM(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)));
    }
    // A set-cursor event and its move, as the system sends them for an uncaptured pointer.
    void Hover(std::int32_t x, std::int32_t y) {
        m_window->CallProcedure(WM_SETCURSOR, 0, 0);
        Send(WM_MOUSEMOVE, x, y);
    }

    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Offline, 1};
    tovel_test::ScopedInstance<CGraphics> m_graphics;
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    tovel_test::ScopedInstance<CJewelManager> m_jewels;
    tovel_test::ScopedInstance<CSynthesizerKeyboard> m_keyboard;
    tovel_test::ScopedInstance<CHarmonicsControl> m_control;
    CTimbre m_timbre;
    CTimbrePalette m_palette;
    std::unique_ptr<NullWindowSystem> m_system;
    std::unique_ptr<Window> m_window;
};

// A filled tile, a bar and the band show the open hand, the blank tile and elsewhere the arrow; a
// bar is held with the closed hand until the release hands the edit to the keyboard, and a tile
// dropped on the keyboard band is what the keyboard plays and the bars show.
TEST_F(ProgramRoutingTest, TheBarsThePaletteAndTheBandTakePart) {
    // Bar 3 is empty: its top edge lies at the bottom of the band.
    const std::int32_t x = 253, y = 131;
    const std::tuple<int, int, Cursor*> hovers[] = {{x, y, hoverCursor},
                                                    {600, 600, m_system->GetArrowCursor()},
                                                    {80, 600, hoverCursor},
                                                    {228, 600, m_system->GetArrowCursor()},
                                                    {80, 400, hoverCursor}};
    for (const auto& [hx, hy, cursor] : hovers) {
        Hover(hx, hy);
        EXPECT_EQ(cursor, m_system->GetCursor()) << hx << ", " << hy;
    }
    Send(WM_LBUTTONDOWN, 600, 600);
    Send(WM_LBUTTONUP, 600, 600);
    EXPECT_EQ(nullptr, m_system->GetCapture()) << "a press beside everything takes nothing";

    Send(WM_LBUTTONDOWN, x, y);
    EXPECT_EQ(m_window.get(), m_system->GetCapture());
    // Held, the pointer keeps the closed hand wherever it goes, above the window included,
    // where its coordinates arrive wrapped.
    Send(WM_MOUSEMOVE, 600, -30);
    EXPECT_EQ(grabCursor, m_system->GetCursor());
    harmonicsControl->m_timbre.m_harmonics[2] = 1.0f;  // what the drag would have done
    Send(WM_LBUTTONUP, 600, -30);
    EXPECT_EQ(nullptr, m_system->GetCapture());
    EXPECT_EQ(hoverCursor, m_system->GetCursor());
    EXPECT_EQ(1.0f, keyboard->m_timbre->m_harmonics[2]) << "the release hands over the edit";

    // A press in the band that the palette does not take holds the keyboard's timbre.
    Send(WM_LBUTTONDOWN, 80, 400);
    EXPECT_EQ(1, keyboard->m_dragState);
    Send(WM_MOUSEMOVE, 228, 600);
    EXPECT_EQ(grabCursor, m_system->GetCursor()) << "held over the blank tile";
    Send(WM_LBUTTONUP, 80, 400);
    EXPECT_EQ(0, keyboard->m_dragState);
    EXPECT_EQ(nullptr, m_system->GetCapture());

    // Dropped on the band's edges nothing changes; inside it the keyboard and the bars take the
    // square wave (bar 3 at its amplitude).
    for (const int dropY : {300, 450, 301, 449}) {
        keyboard->SetTimbre(m_timbre);
        harmonicsControl->LoadTimbre(m_timbre);
        Send(WM_LBUTTONDOWN, 80, 600);
        Send(WM_MOUSEMOVE, 80, 600);
        EXPECT_EQ(grabCursor, m_system->GetCursor());
        m_palette.TrackPointer(80, dropY, 0.016f);
        Send(WM_LBUTTONUP, 80, dropY);
        EXPECT_EQ(nullptr, m_system->GetCapture());
        const bool inside = dropY == 301 || dropY == 449;
        EXPECT_EQ(inside ? "Square wave" : m_timbre.m_name, keyboard->m_timbre->m_name) << dropY;
        EXPECT_EQ(inside ? "Square wave" : m_timbre.m_name, harmonicsControl->m_timbre.m_name);
        if (inside) {
            EXPECT_FLOAT_EQ(132.0f - 111.0f * keyboard->m_timbre->m_harmonics[2],
                            harmonicsControl->m_bars[6 * 2].y);
        }
    }
}

}  // namespace
