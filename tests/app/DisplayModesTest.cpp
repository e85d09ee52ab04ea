// Full screen, minimising, resizing and device loss as the program runs them: its window
// procedure on a null window, its components on a hidden GL device, the debug lines it writes.

#include <gtest/gtest.h>

#include <malloc.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/DisplayModes.h"
#include "app/WindowProcedure.h"
#include "jewels/JewelManager.h"
#include "platform/audio/AudioEngine.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedDebugOutput.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/Image.h"

namespace {

using namespace platform;
using tovel_test::Count;

constexpr int kWindowWidth = 640, kWindowHeight = 480;
constexpr std::uint32_t kDisplayWidth = 1280, kDisplayHeight = 1024;

class DisplayModesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = std::make_unique<NullWindowSystem>();
        m_system->SetDisplayMode({kDisplayWidth, kDisplayHeight, 60, 22});
        m_window = m_system->CreateWindow(
            {.title = "", .width = kWindowWidth, .height = kWindowHeight}, MainWindowProc);
        ASSERT_TRUE(m_window);
        graphics = CGraphics::Instance();
        ASSERT_EQ(S_OK, graphics->CreateDevice(m_window.get()));
        ASSERT_EQ(S_OK, graphics->CreateEffect());
        InitApplication(*m_system);
        ASSERT_GT(CJewelManager::Instance()->m_meshCount, 0u);
        static const std::uint8_t kHand[4] = {255, 255, 255, 255};
        hoverCursor = m_system->CreateCursor(kHand, 1, 1, 0, 0);
        m_window->ShowWindow(SW_SHOW);
        Dispatch();
        ASSERT_TRUE(active);
        ASSERT_FALSE(deviceLost);
    }

    void TearDown() override {
        ShutdownApplication();
        m_window.reset();
        m_system.reset();
        hoverCursor = nullptr;
        fullScreen = false;
        active = true;
        deviceLost = false;
    }

    // Runs every queued event through the window procedure.
    void Dispatch() {
        MSG msg;
        while (m_system->PeekMessage(&msg)) {
            if (msg.message != WM_QUIT) {
                m_system->DispatchMessage(msg);
            }
        }
    }

    LRESULT Send(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0) {
        const LRESULT result = m_window->CallProcedure(message, wParam, lParam);
        Dispatch();
        return result;
    }

    // The debug lines written since the last call.
    std::string TakeLines() { return std::exchange(m_lines, std::string()); }
    // Those lines begin with `first` and hold one reset, at the given size.
    void ExpectOneResetAt(const std::string& size, const std::string& first = "") {
        const std::string lines = TakeLines();
        EXPECT_EQ(0u, lines.find(first)) << lines;
        EXPECT_EQ(1u, Count(lines, "Call OnResetDevice()")) << lines;
        EXPECT_EQ(1u, Count(lines, "Call OnResetDevice() Windowd.TRUE " + size + "\n")) << lines;
    }
    // Window style, top-most, the window's and the program's full-screen states.
    std::tuple<std::uint32_t, bool, bool, bool> Mode() const {
        return {m_window->GetWindowStyle(), m_window->IsTopMost(), m_window->IsFullScreen(),
                fullScreen};
    }

    RECT Client() const {
        RECT client;
        m_window->GetClientRect(&client);
        return client;
    }

    LPARAM RestoreButtonCentre() const {
        return MAKELPARAM(
            static_cast<std::uint32_t>((restoreButtonQuad[0].x + restoreButtonQuad[3].x) / 2),
            static_cast<std::uint32_t>((restoreButtonQuad[0].y + restoreButtonQuad[3].y) / 2));
    }

    // One frame as the loop draws it, read back from the back buffer.
    tovel_test::Image Frame(float total) {
        IGraphicsDevice* device = graphics->m_device;
        EXPECT_EQ(S_OK, RenderFrame(device, total, 0.0f));
        IGraphicsSurface* back = nullptr;
        device->GetBackBuffer(&back);
        tovel_test::Image image{back->GetWidth(), back->GetHeight(), {}};
        image.pixels.resize(std::size_t{image.width} * image.height);
        device->GetRenderTargetData(back, image.pixels.data());
        back->Release();
        return image;
    }

    std::string m_lines;
    tovel_test::ScopedDebugOutput m_debug{[this](std::string_view text) { m_lines += text; }};
    tovel_test::ScopedAudioBackend m_audio{AudioBackend::Unavailable};
    tovel_test::ScopedInstance<MessageBoxPresenter> m_boxes{new MessageBoxRecorder()};
    // The palette's Timbres folder lies in a data home of this process, not the user's.
    tovel_test::TempDir m_dataHome;
    tovel_test::ScopedEnvironment m_dataHomeVariable{"XDG_DATA_HOME", m_dataHome.Path().c_str()};
    // The software renderer draws on the calling thread, so that what the heap holds after a
    // frame does not depend on how far its own threads have got.
    tovel_test::ScopedEnvironment m_serialRenderer{"LP_NUM_THREADS", "0"};
    tovel_test::ScopedEnvironment m_installDirectory{
        "TOVEL_INSTALL_DIR",
        (std::filesystem::path(TOVEL_JEWELS_DIR).parent_path().string() + "/").c_str()};
    std::unique_ptr<NullWindowSystem> m_system;
    std::unique_ptr<Window> m_window;
};

TEST_F(DisplayModesTest, MinimisingAndRestoringReleasesAndRecreatesEveryComponentOnce) {
    IGraphicsDevice* device = graphics->m_device;
    const DeviceResourceStatistics before = device->GetResourceStatistics();
    ASSERT_GT(before.liveDefaultPool, 0u);
    TakeLines();

    m_window->ShowWindow(SW_SHOWMINIMIZED);
    Dispatch();
    EXPECT_FALSE(active);
    EXPECT_EQ("Call OnMinimizeWindow()\n", TakeLines());

    m_window->ShowWindow(SW_SHOWNORMAL);
    Dispatch();
    EXPECT_TRUE(active);
    ExpectOneResetAt("BBW 640 BBH 480");

    // Every target that lives now was made by that one reset, and every one before it is gone.
    const DeviceResourceStatistics after = device->GetResourceStatistics();
    EXPECT_EQ(before.liveDefaultPool, after.liveDefaultPool);
    EXPECT_EQ(after.liveDefaultPool, after.defaultPoolCreated - before.defaultPoolCreated);
    EXPECT_EQ(before.bytes, after.bytes);
}

// In a window the ways out of full screen change nothing; in full screen each gives back the
// window as it was, with one reset at its size. The restore button shows the open hand in both
// modes, inside its edges only.
TEST_F(DisplayModesTest, MaximisingGoesFullScreenAndEachWayOutGivesBackThePlacement) {
    // A way out: its event, over the restore button or not, and the lines it writes in a window
    // (none: it is not a way out).
    const std::tuple<const char*, std::uint32_t, WPARAM, bool, const char*> ways[] = {
        {"Escape", WM_KEYUP, VK_ESCAPE, false, "Call OnCanceledFullScreen(0)\n"},
        {"focus lost", WM_KILLFOCUS, 0, false, ""},
        {"other key", WM_KEYUP, 'O', false, nullptr},
        {"release over the restore button", WM_LBUTTONUP, 0, true,
         "Call OnCanceledFullScreen(0)\n"}};
    for (const auto& [name, message, wParam, overRestoreButton, inWindow] : ways) {
        SCOPED_TRACE(name);
        auto expectHand = [&] {
            const auto left = static_cast<std::uint32_t>(restoreButtonQuad[0].x);
            const auto top = static_cast<std::uint32_t>(restoreButtonQuad[0].y);
            m_system->SetCursor(m_system->GetArrowCursor());
            Send(WM_MOUSEMOVE, 0, MAKELPARAM(left, top + 2));
            EXPECT_EQ(m_system->GetArrowCursor(), m_system->GetCursor()) << "the edge is outside";
            Send(WM_MOUSEMOVE, 0, RestoreButtonCentre());
            EXPECT_EQ(hoverCursor, m_system->GetCursor());
        };
        if (overRestoreButton) {
            expectHand();
        }
        TakeLines();
        LPARAM where = overRestoreButton ? RestoreButtonCentre() : 0;
        EXPECT_EQ(0, Send(message, wParam, where));
        EXPECT_EQ(inWindow ? inWindow : "", TakeLines());
        EXPECT_EQ(std::tuple(WS_OVERLAPPEDWINDOW, false, false, false), Mode());
        EXPECT_EQ(kWindowWidth, Client().right);
        if (!inWindow) {
            continue;
        }
        m_window->ShowWindow(SW_SHOWMAXIMIZED);
        Dispatch();
        ASSERT_EQ(std::tuple(WS_POPUP, true, true, true), Mode());
        EXPECT_EQ(std::pair(1280, 1024), std::pair(Client().right, Client().bottom));
        ExpectOneResetAt("BBW 1280 BBH 1024",
                         "Call OnMaximumWindow()\n> GetWindowPlacement Left:0 Top:0 Right:640 "
                         "Bottom:480\n");
        EXPECT_FLOAT_EQ(0.95f * kDisplayWidth, restoreButtonQuad[0].x);
        where = overRestoreButton ? RestoreButtonCentre() : 0;
        if (overRestoreButton) {
            expectHand();
            TakeLines();
        }
        EXPECT_EQ(0, Send(message, wParam, where));
        EXPECT_EQ(std::tuple(WS_OVERLAPPEDWINDOW, false, false, false), Mode());
        EXPECT_EQ(std::pair(640, 480), std::pair(Client().right, Client().bottom));
        ExpectOneResetAt("BBW 640 BBH 480",
                         "Call OnCanceledFullScreen(1)\n> SetWindowPlacement "
                         "Left:0 Top:0 Right:640 Bottom:480\n");
    }
}

// A loss found at present stops drawing; every idle iteration then tries the reset again and
// writes its lines, without sleeping, until the device can be made again; the picture is then
// the one before the loss.
TEST_F(DisplayModesTest, ALostDeviceIsRetriedEveryIdleIterationAndThePictureComesBack) {
    IGraphicsDevice* device = graphics->m_device;
    const tovel_test::Image before = Frame(2.0f);
    device->SimulateDeviceLoss(DeviceLossTest::Lost);
    Frame(2.0f);
    ASSERT_TRUE(deviceLost) << "the present reports the loss";
    TakeLines();

    int attempts = 0, frames = 0, sleeps = 0;
    FrameLoopHooks hooks;
    hooks.clock = [] { return 1000u; };
    hooks.sleep = [&](std::uint32_t) { ++sleeps; };
    hooks.resetDevice = [&] {
        OnResetDevice();
        if (++attempts == 3) {
            device->SimulateDeviceLoss(DeviceLossTest::NotReset);  // the driver's reset is over
        }
    };
    hooks.frame = [&](float, float) {
        ++frames;
        m_system->PostQuitMessage(0);
    };
    RunFrameLoop(*m_system, hooks);
    EXPECT_EQ(4, attempts);
    EXPECT_EQ(1, frames);
    EXPECT_EQ(1, sleeps) << "only after the frame";
    const std::string lost =
        "Call OnResetDevice() Windowd.TRUE BBW 640 BBH 480\nD3DERR_DEVICELOST!!\n";
    EXPECT_EQ(lost + lost + lost + "Call OnResetDevice() Windowd.TRUE BBW 640 BBH 480\n",
              TakeLines());
    EXPECT_FALSE(deviceLost);
    EXPECT_TRUE(tovel_test::ImagesNear(before, Frame(2.0f), 2));
}

// Many sizes in a row, odd ones and the smallest among them: the keyboard band and the harmonics
// bars follow each one, and neither the device's memory nor the process's heap grows.
TEST_F(DisplayModesTest, ResizingToManySizesLeavesNothingBehind) {
    const std::pair<int, int> sizes[] = {{640, 480}, {257, 193},   {1001, 333}, {40, 20},
                                         {256, 192}, {1279, 1023}, {811, 599},  {333, 777}};
    IGraphicsDevice* device = graphics->m_device;
    auto resizeThrough = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const auto [width, height] = sizes[i % std::size(sizes)];
            m_window->MoveWindow(0, 0, width, height);
            Dispatch();
            device->Present();  // as the frame after a reset does, letting the driver free
            const std::uint32_t w = std::max<std::uint32_t>(width, kMinimumBackBufferWidth);
            const std::uint32_t h = std::max<std::uint32_t>(height, kMinimumBackBufferHeight);
            ASSERT_EQ(w & ~7u, keyboard->m_targetWidth);
            ASSERT_EQ(h & ~7u, keyboard->m_targetHeight);
            ASSERT_EQ(h & ~7u, CJewelManager::Instance()->m_targetHeight);
            // The harmonics bars end at 90 % of the width.
            ASSERT_NEAR(0.9 * w, harmonicsControl->m_outline[8 * 11 + 1].x, 0.01 * w);
            ASSERT_TRUE(active);
        }
    };
    // The software renderer's pools fill over the first resets and then wander by tens of
    // megabytes under load; the device's own count is exact. Something of a back buffer's size
    // (192 kB at the least) left behind by every reset grows the heap by over 37 MB every 200
    // resets, so the heap must grow less than 24 MB over one of two rounds in a row.
    resizeThrough(200);
    const DeviceResourceStatistics before = device->GetResourceStatistics();
    std::size_t heap[3] = {mallinfo2().uordblks};
    for (int round = 1; round < 3; ++round) {
        resizeThrough(200);
        heap[round] = mallinfo2().uordblks;
    }
    const DeviceResourceStatistics after = device->GetResourceStatistics();
    EXPECT_EQ(before.live, after.live);
    EXPECT_EQ(before.bytes, after.bytes);
    constexpr std::size_t kBound = 24 * 1024 * 1024;
    EXPECT_TRUE(heap[1] < heap[0] + kBound || heap[2] < heap[1] + kBound)
        << "heap grew from " << heap[0] << " to " << heap[1] << " to " << heap[2] << " bytes";
}

}  // namespace
