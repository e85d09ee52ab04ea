// Device creation, the capability checks and the effect, as start-up meets them.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "graphics/Graphics.h"
#include "platform/system/SystemServices.h"
#include "platform/window/MessageBox.h"
#include "platform/window/NullWindow.h"
#include "tests/support/ScopedDebugOutput.h"
#include "tests/support/ScopedInstance.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace tovel_test {
namespace {

using namespace platform;

// The GL system with some device types refused and some capabilities taken away.
class ScriptedSystem final : public IGraphicsSystem {
public:
    struct Script {
        bool halWorks = true;
        bool refWorks = true;
        std::uint32_t pixelShaderVersion = D3DPS_VERSION(3, 0);
        bool blending = true;
        std::vector<std::pair<D3DDEVTYPE, std::uint32_t>> attempts;
    };

    explicit ScriptedSystem(Script* script) : m_script(script), m_real(CreateGlGraphicsSystem()) {}
    ~ScriptedSystem() override { m_real->Release(); }

    HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override {
        return m_real->GetAdapterDisplayMode(adapter, mode);
    }
    HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* window,
                         std::uint32_t behaviour, D3DPRESENT_PARAMETERS* parameters,
                         IGraphicsDevice** device) override {
        m_script->attempts.emplace_back(type, behaviour);
        if ((type == D3DDEVTYPE_HAL && !m_script->halWorks) ||
            (type == D3DDEVTYPE_REF && !m_script->refWorks)) {
            return D3DERR_NOTAVAILABLE;
        }
        // Whatever renderer this machine has stands in for the requested kind.
        return m_real->CreateDevice(adapter, D3DDEVTYPE_REF, window, behaviour, parameters,
                                    device);
    }
    HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        const HRESULT hr = m_real->GetDeviceCaps(adapter, type, caps);
        caps->PixelShaderVersion = m_script->pixelShaderVersion;
        return hr;
    }
    HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                              std::uint32_t usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        if (!m_script->blending) {
            return D3DERR_NOTAVAILABLE;
        }
        return m_real->CheckDeviceFormat(adapter, type, adapterFormat, usage, resourceType,
                                         checkFormat);
    }

private:
    Script* m_script;
    IGraphicsSystem* m_real;
};

class ScriptedFactory final : public GraphicsSystemFactory {
public:
    explicit ScriptedFactory(ScriptedSystem::Script* script) : m_script(script) {}
    IGraphicsSystem* CreateSystem() override { return new ScriptedSystem(m_script); }

private:
    ScriptedSystem::Script* m_script;
};

class DeviceCreationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_system = CreateNullWindowSystem();
        WindowDesc desc;
        desc.width = 96;
        desc.height = 64;
        m_window = m_system->CreateWindow(desc, nullptr);
    }
    void TearDown() override { EXPECT_EQ(m_expectedMessages, m_recorder->Texts()); }

    bool QuitRequested() {
        MSG msg;
        while (m_system->PeekMessage(&msg)) {
            if (msg.message == WM_QUIT) {
                return true;
            }
        }
        return false;
    }

    ScriptedSystem::Script m_script;
    std::vector<std::string> m_expectedMessages;
    ScopedInstance<GraphicsSystemFactory> m_factory{new ScriptedFactory(&m_script)};
    MessageBoxRecorder* m_recorder = new MessageBoxRecorder();
    ScopedInstance<MessageBoxPresenter> m_presenter{m_recorder};
    std::unique_ptr<WindowSystem> m_system;
    std::unique_ptr<Window> m_window;
    ScopedInstance<CGraphics> m_graphics;  // goes before the window
};

TEST_F(DeviceCreationTest, AMachineWithOnlyAReferenceDeviceStartsOnTheThirdAttempt) {
    m_script.halWorks = false;
    CGraphics* graphics = CGraphics::Instance();
    EXPECT_EQ(graphics, CGraphics::Instance());
    ASSERT_EQ(S_OK, graphics->CreateDevice(m_window.get()));
    const std::vector<std::pair<D3DDEVTYPE, std::uint32_t>> expected = {
        {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    EXPECT_EQ(expected, m_script.attempts);
    ASSERT_NE(nullptr, graphics->m_device);
    EXPECT_FALSE(QuitRequested());

    // The back buffer takes the window's client size.
    IGraphicsSurface* backBuffer = nullptr;
    ASSERT_EQ(S_OK, graphics->m_device->GetBackBuffer(&backBuffer));
    EXPECT_EQ(96u, backBuffer->GetWidth());
    EXPECT_EQ(64u, backBuffer->GetHeight());
    backBuffer->Release();
}

TEST_F(DeviceCreationTest, NoDeviceOfAnyKindTellsTheUserAndRequestsTheQuit) {
    m_script.halWorks = m_script.refWorks = false;
    EXPECT_TRUE(FAILED(CGraphics::Instance()->CreateDevice(m_window.get())));
    EXPECT_EQ(3u, m_script.attempts.size());
    EXPECT_EQ(nullptr, CGraphics::Instance()->m_device);
    EXPECT_TRUE(QuitRequested());
    m_expectedMessages = {"Sorry, This Machine no support."};
}

TEST_F(DeviceCreationTest, MissingShaderModelFailsSilentlyAndKeepsTheDevice) {
    m_script.pixelShaderVersion = D3DPS_VERSION(1, 4);
    EXPECT_EQ(E_FAIL, CGraphics::Instance()->CreateDevice(m_window.get()));
    EXPECT_NE(nullptr, CGraphics::Instance()->m_device);
    EXPECT_FALSE(QuitRequested());
}

TEST_F(DeviceCreationTest, TargetsThatCannotBeBlendedIntoEndTheProgram) {
    m_script.blending = false;
    EXPECT_TRUE(FAILED(CGraphics::Instance()->CreateDevice(m_window.get())));
    EXPECT_TRUE(QuitRequested());
    m_expectedMessages = {"This Machine's GPU lack of ability"};
}

TEST_F(GraphicsTest, TheEffectHoldsEveryTechniqueAndParameter) {
    for (const char* name :
         {"Keyboard", "PaletteJewel", "KeyboardClearJewel", "KeyboardColorJewel", "ClearJewel",
          "SeveralColorJewel", "BrightPassFilter", "GaussBlurF4x32", "GaussBlurF4x16",
          "MergeRenderTarget"}) {
        EXPECT_NE(nullptr, m_effect->GetTechniqueByName(name)) << name;
    }
    for (const char* semantic :
         {"ViewProjection", "Float4x8", "Float4x16", "Float4x32", "Float4x48", "Float4x16_2",
          "Float4x32_2", "Float2x16", "Floatx16", "Intx16", "LightPosition", "LightColor",
          "LightPower", "Color", "Rotation", "CameraPosition", "IntConst", "FloatConst"}) {
        EXPECT_NE(nullptr, m_effect->GetParameterBySemantic(nullptr, semantic)) << semantic;
    }
    EXPECT_EQ(nullptr, m_effect->GetTechniqueByName("Missing"));
}

TEST_F(GraphicsTest, AnEffectThatDoesNotCompileWritesOneDebugLineAndFails) {
    std::vector<std::string> lines;
    CGraphics broken;
    m_device->AddRef();
    broken.m_device = m_device;
    std::string source = "this is not GLSL;\n";
    for (int i = 0; i < 200; ++i) {
        source += "and neither is line " + std::to_string(i) + ";\n";
    }
    {
        ScopedDebugOutput sink([&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_TRUE(FAILED(broken.CreateEffect(source)));
    }
    EXPECT_EQ(nullptr, broken.m_effect);
    ASSERT_EQ(1u, lines.size());
    EXPECT_FALSE(lines[0].empty());
    EXPECT_LT(lines[0].size(), 1024u);
    EXPECT_EQ(std::string::npos, lines[0].find('\n'));
}

}  // namespace
}  // namespace tovel_test
