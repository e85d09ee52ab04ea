#include "app/Application.h"

#include <cstdlib>
#include <vector>

#include "app/DisplayModes.h"
#include "app/KeyListening.h"
#include "app/PointerRouting.h"
#include "app/StartupTimes.h"
#include "app/StartupWork.h"
#include "app/WindowProcedure.h"
#include "graphics/ResourceTexture.h"
#include "jewels/JewelManager.h"
#include "platform/window/MessageBox.h"
#include "resources/Resources.h"

using namespace platform;

CGraphics* graphics = nullptr;
CHarmonicsControl* harmonicsControl = nullptr;
CSynthesizerKeyboard* keyboard = nullptr;
CTimbrePalette* palette = nullptr;
IGraphicsTexture* restoreButtonTexture = nullptr;
RestoreButtonVertex restoreButtonQuad[4] = {};
bool deviceLost = false;
bool active = true;
bool fullScreen = false;
Cursor* hoverCursor = nullptr;
Cursor* grabCursor = nullptr;

namespace {

// Where in each hand image the pointer's point is.
constexpr int kHoverHotX = 15, kHoverHotY = 12;
constexpr int kGrabHotX = 16, kGrabHotY = 16;

// Every rendered frame is followed by this pause, on top of the frame's own cost.
constexpr std::uint32_t kFrameSleepMs = 10;

Cursor* LoadCursorResource(WindowSystem& system, int id, int hotX, int hotY) {
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    if (!LoadResourceImage(id, &rgba, &width, &height)) {
        return nullptr;
    }
    return system.CreateCursor(rgba.data(), width, height, hotX, hotY);
}

}  // namespace

int RunApplication(WindowSystem& system) {
    CStartupWork startupWork;
    Cursor* arrow = system.GetArrowCursor();
    hoverCursor =
        LoadCursorResource(system, resources::kHoverCursorResource, kHoverHotX, kHoverHotY);
    grabCursor = LoadCursorResource(system, resources::kGrabCursorResource, kGrabHotX, kGrabHotY);

    std::vector<std::uint8_t> icon;
    WindowDesc desc;
    desc.title = "t o v e l";
    desc.style = WS_OVERLAPPEDWINDOW;
    desc.cursor = arrow;
    desc.openGl = true;
    desc.minWidth = static_cast<int>(kMinimumBackBufferWidth);
    desc.minHeight = static_cast<int>(kMinimumBackBufferHeight);
    if (LoadResourceImage(resources::kIconResource, &icon, &desc.iconWidth, &desc.iconHeight)) {
        desc.iconRgba = icon.data();
    }
    std::unique_ptr<Window> window = system.CreateWindow(desc, MainWindowProc);
    if (!window) {
        MessageBox("Failed in CreateWindowEx");
        startupWork.Finish();
        CSynthesizer::DeleteInstance();
        return kFailureExitCode;
    }

    CStartupTimes* startup = CStartupTimes::Instance();
    startup->Mark(StartupPhase::kWindow);
    graphics = CGraphics::Instance();
    graphics->CreateDevice(window.get());
    startup->Mark(StartupPhase::kDevice);
    graphics->CreateEffect();
    startup->Mark(StartupPhase::kEffect);

    startupWork.Finish();
    startup->Mark(StartupPhase::kAudio);
    InitApplication(system);
    std::unique_ptr<KeyListener> keyListener = ListenForKeys(system, window.get(), keyboard);
    startup->Mark(StartupPhase::kWindow);

    // The first show delivers the first size event, and with it the first device reset.
    window->ShowWindow(SW_SHOW);
    startup->Mark(StartupPhase::kFirstReset);

    IGraphicsDevice* device = graphics->m_device;
    FrameLoopHooks hooks;
    hooks.frame = [device, startup](float total, float dt) {
        if (keyboard) {
            keyboard->UpdateKeys(dt);
        }
        RenderFrame(device, total, dt);
        startup->MarkFirstFrame();
    };
    hooks.resetDevice = [] { OnResetDevice(); };
    hooks.sleep = [&system](std::uint32_t milliseconds) { system.WaitForKeyInput(milliseconds); };
    const int exitCode = RunFrameLoop(system, hooks);

    // No note may start once the keyboard is going.
    keyListener.reset();
    ShutdownApplication();
    window.reset();
    return exitCode;
}

int RunFrameLoop(WindowSystem& system, const FrameLoopHooks& hooks) {
    MSG msg;
    std::uint32_t last = hooks.clock();
    float total = 0.0f;
    while (msg.message != WM_QUIT) {
        if (system.PeekMessage(&msg)) {
            if (msg.message != WM_QUIT) {
                system.DispatchMessage(msg);
            }
            continue;
        }
        if (deviceLost) {
            hooks.resetDevice();
        } else if (active) {
            const std::uint32_t now = hooks.clock();
            // Time spent idle or lost belongs to the first frame after it: dt is not clamped.
            const std::uint32_t elapsedMs = ElapsedMilliseconds(last, now);
            const auto dt = static_cast<float>(static_cast<double>(elapsedMs) * 0.001);
            total += dt;
            hooks.frame(total, dt);
            hooks.sleep(kFrameSleepMs);
            last = now;
        } else {
            system.WaitMessage();
        }
    }
    return static_cast<int>(msg.wParam);
}

void InitApplication(WindowSystem& system) {
    CStartupTimes* startup = CStartupTimes::Instance();
    // The jewel manager loads the jewel library on its first use; a failure requests the quit.
    CJewelManager::Instance();
    startup->Mark(StartupPhase::kJewels);
    // Loading the palette's timbres also brings up the synthesizer.
    if (!palette) {
        palette = CTimbrePalette::Instance();
        if (!palette) {
            MessageBox("Create Palette Failed");
            platform::PostQuitMessage(0);
        } else {
            palette->SetTileDrop(DropTileOnKeyboard);
        }
    }
    startup->Mark(StartupPhase::kTimbres);
    // The harmonics control edits the palette's first timbre, and the keyboard plays it; without
    // one (a start-up that is ending) the bars stay empty and the keys silent.
    CTimbre* first = palette && palette->m_pressedEntry && palette->m_pressedEntry->m_timbre
                         ? palette->m_pressedEntry->m_timbre.get()
                         : nullptr;
    harmonicsControl = CHarmonicsControl::Instance();
    if (first) {
        harmonicsControl->LoadTimbre(*first);
    }
    if (!keyboard) {
        keyboard = CSynthesizerKeyboard::Instance();
        keyboard->SetKeyStateSource(
            [&system](std::uint8_t* keys) { return system.GetKeyboardState(keys); });
        keyboard->SetKeyNameSource(
            [&system](std::uint8_t virtualKey) { return system.GetKeyName(virtualKey); });
    }
    startup->Mark(StartupPhase::kControls);
    if (first) {
        keyboard->SetTimbre(*first);
    }
    startup->Mark(StartupPhase::kTimbres);
    // Seeded only now, so the jewels the palette picked while loading are the same on every run.
    std::srand(timeGetTime());
    if (graphics && graphics->m_device) {
        D3DXCreateTextureFromResource(graphics->m_device, resources::kRestoreButtonResource,
                                      &restoreButtonTexture);
    }
    startup->Mark(StartupPhase::kControls);
}

HRESULT RenderFrame(IGraphicsDevice* device, float total, float dt) {
    if (!device) {
        return E_FAIL;
    }
    HRESULT hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(device->BeginScene())) {
        return S_OK;
    }
    // A held bar follows the pointer before the control is drawn; the palette draws next, and
    // the keyboard scene draws the jewel columns too.
    if (harmonicsControl) {
        harmonicsControl->Render(dt);
    }
    if (palette) {
        palette->Render(total, dt);
    }
    if (keyboard) {
        keyboard->RenderScene(total, dt);
    }

    if (fullScreen && restoreButtonTexture) {
        device->SetTexture(0, restoreButtonTexture);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHAPM);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, restoreButtonQuad,
                                sizeof(RestoreButtonVertex));
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        device->SetTexture(0, nullptr);
    }
    device->EndScene();
    // A driver that lost its context says so here: the loop then retries the reset until the
    // device can be made again, where the picture would otherwise stay lost until the next
    // size event.
    if (device->Present() == D3DERR_DEVICELOST) {
        deviceLost = true;
    }
    return S_OK;
}

HRESULT ShutdownApplication() {
    ReleaseDeviceResources();
    if (restoreButtonTexture) {
        restoreButtonTexture->Release();
        restoreButtonTexture = nullptr;
    }
    // The keyboard takes the synthesizer and the jewel manager with it, and with the voices ends
    // every note; the harmonics control and the palette follow it.
    CSynthesizerKeyboard::DeleteInstance();
    keyboard = nullptr;
    CHarmonicsControl::DeleteInstance();
    harmonicsControl = nullptr;
    CTimbrePalette::DeleteInstance();
    palette = nullptr;
    CGraphics::DeleteInstance();
    graphics = nullptr;
    return S_OK;
}

void BuildRestoreButtonQuad(std::uint32_t width, std::uint32_t height) {
    const float left = 0.95f * static_cast<float>(width);
    const float top = 0.025f * static_cast<float>(height);
    const float side = 0.025f * static_cast<float>(width);
    const float right = left + side;
    const float bottom = top + side;
    restoreButtonQuad[0] = {left, top, 0.5f, 1.0f, 0x00000000, 0.0f, 0.0f};
    restoreButtonQuad[1] = {right, top, 0.5f, 1.0f, 0x00000000, 1.0f, 0.0f};
    restoreButtonQuad[2] = {left, bottom, 0.5f, 1.0f, 0x00000000, 0.0f, 1.0f};
    restoreButtonQuad[3] = {right, bottom, 0.5f, 1.0f, 0x00000000, 1.0f, 1.0f};
}

bool HitRestoreButton(float x, float y) {
    return restoreButtonQuad[0].x < x && x < restoreButtonQuad[1].x && restoreButtonQuad[0].y < y &&
           y < restoreButtonQuad[2].y;
}
