#include "tests/support/gpu/GraphicsFixture.h"

#include "platform/window/NullWindow.h"

namespace tovel_test {

using namespace platform;

void GraphicsTest::SetUp() {
    m_system = CreateNullWindowSystem();
    WindowDesc desc;
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

void GraphicsTest::TearDown() {
    GlDeviceTest::TearDown();
    m_device = nullptr;
}

}  // namespace tovel_test
