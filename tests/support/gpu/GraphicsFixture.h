#pragma once
// The program's own device and effect, made through CGraphics on a null window (no display).

#include <memory>

#include "graphics/Graphics.h"
#include "platform/window/NullWindow.h"
#include "platform/window/Window.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/DeviceFixture.h"

namespace tovel_test {

class GraphicsTest : public GlDeviceTest {
protected:
    static constexpr int kClientWidth = 256;
    static constexpr int kClientHeight = 192;
    void SetUp() override {
        m_system = platform::CreateNullWindowSystem();
        platform::WindowDesc desc;
        desc.width = kClientWidth;
        desc.height = kClientHeight;
        m_window = m_system->CreateWindow(desc, nullptr);
        ASSERT_TRUE(m_window);
        m_graphics = CGraphics::Instance();
        ASSERT_EQ(S_OK, m_graphics->CreateDevice(m_window.get()))
            << "an OpenGL 4.5 core context is required (SDL offscreen driver, EGL)";
        ASSERT_EQ(S_OK, m_graphics->CreateEffect());
        m_device = m_graphics->m_device;
        m_device->AddRef();
        m_effect = m_graphics->m_effect;
    }
    void TearDown() override {
        GlDeviceTest::TearDown();
        m_device = nullptr;
    }
    std::unique_ptr<platform::WindowSystem> m_system;
    std::unique_ptr<platform::Window> m_window;
    // The graphics object goes after everything a derived fixture keeps, and before the window.
    ScopedInstance<CGraphics> m_graphicsInstance;
    CGraphics* m_graphics = nullptr;
    platform::IGraphicsEffect* m_effect = nullptr;
};

}  // namespace tovel_test
