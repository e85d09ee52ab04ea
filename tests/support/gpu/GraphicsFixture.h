#pragma once
// The program's own device and effect, made through CGraphics on a null window (no display).

#include <memory>

#include "graphics/Graphics.h"
#include "platform/window/Window.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {

class GraphicsTest : public GlDeviceTest {
protected:
    static constexpr int kClientWidth = 256;
    static constexpr int kClientHeight = 192;
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<platform::WindowSystem> m_system;
    std::unique_ptr<platform::Window> m_window;
    // The graphics object goes after everything a derived fixture keeps, and before the window.
    ScopedInstance<CGraphics> m_graphicsInstance;
    CGraphics* m_graphics = nullptr;
    platform::IGraphicsEffect* m_effect = nullptr;
};

}  // namespace tovel_test
