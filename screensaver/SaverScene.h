#pragma once
// The screen saver's scene: start-up on the saver window's creation, one frame per timer event
// with the time taken from the clock, and shutdown with the window. Bubble lets a column of
// jewels rise every eight seconds; Circle turns a ring of twelve jewels.

#include <cstdint>
#include <functional>

#include "platform/base/HResult.h"
#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsTypes.h"
#include "platform/system/SystemServices.h"
#include "screensaver/SaverAnimation.h"
#include "screensaver/SaverSettings.h"

namespace platform {
class Window;
}

class CSaverScene {
public:
    // The ring's glow is added twice as strongly as its brightness.
    static constexpr float kRingMergeFactor = 2.0f;

    explicit CSaverScene(std::function<std::uint32_t()> clock = platform::timeGetTime);
    CSaverScene(const CSaverScene&) = delete;
    CSaverScene& operator=(const CSaverScene&) = delete;

    // The clock's value before the first frame.
    void Begin() { m_lastTick = m_clock(); }
    // The device for the window, the effect, the jewel manager with its targets, the camera and
    // light of the arrangement. A failure has been told to the user and has requested the quit.
    HRESULT Startup(platform::Window* window, const SaverSettings& settings);
    // One frame, its time the clock's advance since the last (a late timer gives a longer one).
    void OnTimer();
    // Releases everything Startup made, in order; safe after a failed start-up.
    void Shutdown();

    HRESULT BubbleFrame(float total, float dt);
    HRESULT CircleFrame(float total, float dt);

    bool IsCircle() const { return m_circle; }
    float TotalTime() const { return m_totalTime; }
    const BubbleState& Bubble() const { return m_bubble; }
    const CircleState& Circle() const { return m_circleState; }
    const platform::D3DMATRIX& ViewProjection() const { return m_viewProjection; }
    CSaverRandom& Random() { return m_random; }

private:
    void SetUpCamera(float distance);

    std::function<std::uint32_t()> m_clock;
    std::uint32_t m_lastTick = 0;
    float m_totalTime = 0.0f;
    bool m_started = false;  // the jewel manager exists
    bool m_ready = false;    // start-up succeeded: frames are drawn
    bool m_circle = false;
    int m_selectedHue = -1;
    float m_viewWidth = 1.0f, m_viewHeight = 1.0f;
    BubbleState m_bubble;
    CircleState m_circleState;
    CSaverRandom m_random;
    platform::D3DMATRIX m_viewProjection{};
    platform::D3DXHANDLE m_hViewProjection = nullptr;
    platform::D3DXHANDLE m_hCameraPosition = nullptr;
    platform::D3DXHANDLE m_hLightPosition = nullptr;
    platform::D3DXHANDLE m_hLightPower = nullptr;
    platform::D3DXHANDLE m_hSeveralColorJewel = nullptr;
    platform::D3DXHANDLE m_hClearJewel = nullptr;
    bool m_techniquesFound = false;
};
