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
using Attempts = std::vector<std::pair<D3DDEVTYPE, std::uint32_t>>;

// What the GL system refuses: some device types, a shader model, blending into targets.
constexpr std::uint32_t kShaderModel3 = D3DPS_VERSION(3, 0);
struct Script {
    bool halWorks, refWorks;
    std::uint32_t pixelShaderVersion;
    bool blending;
    Attempts attempts;
};

class ScriptedSystem final : public IGraphicsSystem {
public:
    explicit ScriptedSystem(Script* script) : m_script(script), m_real(CreateGlGraphicsSystem()) {}
    ~ScriptedSystem() override { m_real->Release(); }
    HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override {
        return m_real->GetAdapterDisplayMode(adapter, mode);
    }
    HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, Window* window,
                         std::uint32_t behaviour, D3DPRESENT_PARAMETERS* parameters,
                         IGraphicsDevice** device) override {
        m_script->attempts.emplace_back(type, behaviour);
        if (!(type == D3DDEVTYPE_HAL ? m_script->halWorks : m_script->refWorks)) {
            return D3DERR_NOTAVAILABLE;
        }
        // Whatever renderer this machine has stands in for the requested kind.
        return m_real->CreateDevice(adapter, D3DDEVTYPE_REF, window, behaviour, parameters, device);
    }
    HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        const HRESULT hr = m_real->GetDeviceCaps(adapter, type, caps);
        caps->PixelShaderVersion = m_script->pixelShaderVersion;
        return hr;
    }
    HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                              std::uint32_t usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        return m_script->blending ? m_real->CheckDeviceFormat(adapter, type, adapterFormat, usage,
                                                              resourceType, checkFormat)
                                  : D3DERR_NOTAVAILABLE;
    }

private:
    Script* m_script;
    IGraphicsSystem* m_real;
};

class ScriptedFactory final : public GraphicsSystemFactory {
public:
    explicit ScriptedFactory(Script* script) : m_script(script) {}
    IGraphicsSystem* CreateSystem() override { return new ScriptedSystem(m_script); }

private:
    Script* m_script;
};

// A machine with only a reference device starts on the third attempt; with no device of any kind
// the user is told and the program quits; a missing shader model fails silently and keeps the
// device; targets that cannot be blended into end the program.
TEST(DeviceCreationTest, StartUpTriesEachKindOfDeviceAndRefusesMachinesItCannotUse) {
    const Attempts threeAttempts = {{D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
                                    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
                                    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
    const char* kNoDevice = "Sorry, This Machine no support.";
    const char* kNoBlending = "This Machine's GPU lack of ability";
    struct Case {
        Script script;
        HRESULT result;
        bool device, quit;
        const char* message;  // or none
    } cases[] = {
        {{false, true, kShaderModel3, true, {}}, S_OK, true, false, nullptr},
        {{false, false, kShaderModel3, true, {}}, E_FAIL, false, true, kNoDevice},
        {{true, true, D3DPS_VERSION(1, 4), true, {}}, E_FAIL, true, false, nullptr},
        {{true, true, kShaderModel3, false, {}}, E_FAIL, true, true, kNoBlending},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.message ? c.message : "no message");
        ScopedInstance<GraphicsSystemFactory> factory{new ScriptedFactory(&c.script)};
        MessageBoxRecorder* recorder = new MessageBoxRecorder();
        ScopedInstance<MessageBoxPresenter> presenter{recorder};
        std::unique_ptr<WindowSystem> system = CreateNullWindowSystem();
        WindowDesc desc;
        desc.width = 96;
        desc.height = 64;
        std::unique_ptr<Window> window = system->CreateWindow(desc, nullptr);
        ScopedInstance<CGraphics> graphics;  // goes before the window
        CGraphics* instance = CGraphics::Instance();
        const HRESULT hr = instance->CreateDevice(window.get());
        EXPECT_EQ(c.result, FAILED(hr) && c.quit ? E_FAIL : hr) << std::hex << hr;
        EXPECT_EQ(c.device, instance->m_device != nullptr);
        bool quit = false;
        for (MSG msg; system->PeekMessage(&msg);) {
            quit = quit || msg.message == WM_QUIT;
        }
        EXPECT_EQ(c.quit, quit);
        EXPECT_EQ(c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{},
                  recorder->Texts());
        if (!c.script.halWorks) {
            EXPECT_EQ(threeAttempts, c.script.attempts);
        }
    }
}

TEST_F(GraphicsTest, AnEffectThatDoesNotCompileWritesOneDebugLineAndFails) {
    std::vector<std::string> lines;
    CGraphics broken;
    m_device->AddRef();
    broken.m_device = m_device;
    std::string source;  // two hundred errors
    for (int i = 0; i < 200; ++i) {
        source += "not GLSL " + std::to_string(i) + ";\n";
    }
    {
        ScopedDebugOutput sink([&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_TRUE(FAILED(broken.CreateEffect(source)));
    }
    EXPECT_EQ(nullptr, broken.m_effect);
    ASSERT_EQ(1u, lines.size());
    EXPECT_LT(lines[0].size(), 1024u);
    EXPECT_EQ(std::string::npos, lines[0].find('\n'));
}

}  // namespace
}  // namespace tovel_test
