// The left button and the pointer routed to the components in their order, with capture and
// cursors, from synthetic events.

#include "app/PointerRouting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "platform/audio/AudioEngine.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedInstance.h"

namespace {

using namespace platform;

// Three components that each accept what their flag says, and write down every question asked.
class PointerRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = CreateNullWindowSystem();
        m_window = m_system->CreateWindow(WindowDesc{}, nullptr);
        m_previousHover = std::exchange(hoverCursor, &m_hover);
        m_previousGrab = std::exchange(grabCursor, &m_grab);
        m_routes.palette = Component("palette", m_accepts[0], m_holds[0], m_takeable[0]);
        m_routes.harmonics = Component("harmonics", m_accepts[1], m_holds[1], m_takeable[1]);
        m_routes.keyboardBand = Component("band", m_accepts[2], m_holds[2], m_takeable[2]);
        m_routes.overRestoreButton = [this](int, int) { return m_overRestore; };
        m_routes.restoreButtonReleased = [this](Window*) { m_log.push_back("restore"); };
    }
    void TearDown() override {
        hoverCursor = m_previousHover;
        grabCursor = m_previousGrab;
    }

    PointerComponent Component(std::string name, bool& accepts, bool& holds, bool& takeable) {
        PointerComponent c;
        c.buttonDown = [=, this, &accepts](Window* window, int x, int y) {
            EXPECT_EQ(m_window.get(), window);
            m_log.push_back(name + " down " + std::to_string(x) + "," + std::to_string(y));
            return accepts;
        };
        c.buttonUp = [=, this, &accepts](int, int) {
            m_log.push_back(name + " up");
            return accepts;
        };
        c.holding = [&holds] { return holds; };
        c.takeable = [&takeable](int, int) { return takeable; };
        return c;
    }

    void Send(std::uint32_t message, int x, int y) { Send(message, x, y, m_routes); }
    void Send(std::uint32_t message, int x, int y, const PointerRoutes& routes) {
        m_system->SetCursor(m_system->GetArrowCursor());
        EXPECT_TRUE(RoutePointerEvent(routes, m_window.get(), message,
                                      MAKELPARAM(static_cast<std::uint32_t>(x),
                                                 static_cast<std::uint32_t>(y))));
    }

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

TEST_F(PointerRoutingTest, PressesGoToTheFirstComponentThatTakesThemAndCaptureThePointer) {
    Send(WM_LBUTTONDOWN, 10, 20);
    EXPECT_EQ((std::vector<std::string>{"palette down 10,20", "harmonics down 10,20",
                                        "band down 10,20"}),
              m_log);
    EXPECT_EQ(nullptr, m_system->GetCapture()) << "nobody took it";
    EXPECT_EQ(m_system->GetArrowCursor(), m_system->GetCursor());

    for (int taker = 0; taker < 3; ++taker) {
        m_log.clear();
        m_accepts[0] = m_accepts[1] = m_accepts[2] = false;
        m_accepts[taker] = true;
        m_accepts[2] = true;  // the band would take it too, but asked last
        Send(WM_LBUTTONDOWN, 30, 40);
        EXPECT_EQ(static_cast<std::size_t>(taker + 1), m_log.size()) << "taker " << taker;
        EXPECT_EQ(m_window.get(), m_system->GetCapture());
        EXPECT_EQ(&m_grab, m_system->GetCursor());
        m_system->ReleaseCapture();
    }
}

TEST_F(PointerRoutingTest, ReleasesGoInTheSameOrderAndGiveThePointerBack) {
    m_system->SetCapture(m_window.get());
    m_accepts[1] = true;
    Send(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ((std::vector<std::string>{"palette up", "harmonics up"}), m_log);
    EXPECT_EQ(nullptr, m_system->GetCapture());
    EXPECT_EQ(&m_hover, m_system->GetCursor());

    // Taken by nobody: over the restore button full screen is left, elsewhere nothing happens.
    m_accepts[1] = false;
    m_system->SetCapture(m_window.get());
    for (bool over : {false, true}) {
        m_log.clear();
        m_overRestore = over;
        Send(WM_LBUTTONUP, 5, 5);
        EXPECT_EQ(over ? 4u : 3u, m_log.size());
        EXPECT_EQ(over, !m_log.empty() && m_log.back() == "restore");
        EXPECT_EQ(m_window.get(), m_system->GetCapture()) << "the capture stays";
        EXPECT_EQ(m_system->GetArrowCursor(), m_system->GetCursor());
    }
}

TEST_F(PointerRoutingTest, TheCursorShowsAClosedHandWhileHoldingAndAnOpenOneOverWhatCanBeTaken) {
    struct Case {
        const char* what;
        int holding, takeable;  // which component (0..2), or -1
        bool overRestore;
        Cursor* expected;
    };
    const Case cases[] = {
        {"nothing", -1, -1, false, nullptr},
        {"a held tile", 0, -1, false, &m_grab},
        {"a held bar over a tile", 1, 0, false, &m_grab},
        {"the held timbre over the restore button", 2, -1, true, &m_grab},
        {"a filled tile", -1, 0, false, &m_hover},
        {"a bar", -1, 1, false, &m_hover},
        {"the keyboard band", -1, 2, false, &m_hover},
        {"the restore button's area", -1, -1, true, &m_hover},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) {
            m_holds[i] = c.holding == i;
            m_takeable[i] = c.takeable == i;
        }
        m_overRestore = c.overRestore;
        Send(WM_MOUSEMOVE, 100, 100);
        EXPECT_EQ(c.expected ? c.expected : m_system->GetArrowCursor(), m_system->GetCursor())
            << c.what;
    }
    EXPECT_TRUE(m_log.empty()) << "moving presses nothing";
}

TEST_F(PointerRoutingTest, CoordinatesAreTheUnsignedHalvesOfTheEvent) {
    // A captured pointer left of and above the window arrives wrapped, never negative.
    Send(WM_LBUTTONDOWN, -1, -2);
    EXPECT_EQ("palette down 65535,65534", m_log.front());
    EXPECT_FALSE(RoutePointerEvent(m_routes, m_window.get(), WM_KEYUP, 0));
}

// The program's own routes with its palette: the blank tile keeps the arrow, a filled tile shows
// the open hand, and a tile dropped on the keyboard band changes what the keyboard plays.
class ProgramPointerRoutesTest : public PointerRoutingTest {
protected:
    void SetUp() override {
        PointerRoutingTest::SetUp();
        m_palette.LayoutTiles(1024, 768);
        auto timbre = std::make_unique<CTimbre>();
        timbre->SetSquareWave();
        m_palette.AddEntry(std::move(timbre), nullptr);
        m_palette.SetTileDrop(DropTileOnKeyboard);
        // The band, 300 < y < 450, lies wholly above the strip.
        m_keyboard.m_targetHeight = 600;
        palette = &m_palette;
        keyboard = &m_keyboard;
    }
    void TearDown() override {
        palette = nullptr;
        keyboard = nullptr;
        PointerRoutingTest::TearDown();
    }

    Cursor* MoveTo(int x, int y) {
        Send(WM_MOUSEMOVE, x, y, ProgramPointerRoutes());
        return m_system->GetCursor();
    }

    tovel_test::ScopedAudioBackend m_backend{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<CSynthesizer> m_synthesizer;
    CTimbrePalette m_palette;
    CSynthesizerKeyboard m_keyboard;
};

TEST_F(ProgramPointerRoutesTest, ThePaletteAndTheBandTakePartAndATileDroppedOnTheBandIsPlayed) {
    EXPECT_EQ(&m_hover, MoveTo(80, 600)) << "a filled tile";
    EXPECT_EQ(m_system->GetArrowCursor(), MoveTo(228, 600)) << "the blank tile";
    EXPECT_EQ(&m_hover, MoveTo(80, 400)) << "the keyboard band";

    // A press in the band that the palette does not take holds the keyboard's timbre.
    Send(WM_LBUTTONDOWN, 80, 400, ProgramPointerRoutes());
    EXPECT_EQ(1, m_keyboard.m_dragState);
    EXPECT_EQ(m_window.get(), m_system->GetCapture());
    EXPECT_EQ(&m_grab, MoveTo(228, 600)) << "held over the blank tile";
    Send(WM_LBUTTONUP, 80, 400, ProgramPointerRoutes());
    EXPECT_EQ(0, m_keyboard.m_dragState);
    EXPECT_EQ(nullptr, m_system->GetCapture());

    // Dropped on the band's edges nothing changes; inside it the keyboard takes the timbre.
    for (const int y : {300, 450, 301, 449}) {
        m_keyboard.m_timbre.reset();
        Send(WM_LBUTTONDOWN, 80, 600, ProgramPointerRoutes());
        EXPECT_EQ(&m_grab, MoveTo(80, 600));
        m_palette.TrackPointer(80, y, 0.016f);
        Send(WM_LBUTTONUP, 80, y, ProgramPointerRoutes());
        EXPECT_EQ(nullptr, m_system->GetCapture());
        ASSERT_EQ(y == 301 || y == 449, m_keyboard.m_timbre != nullptr) << y;
    }
    EXPECT_EQ("Square wave", m_keyboard.m_timbre->m_name);
}

}  // namespace
