#pragma once
// The editor of the current timbre, across the top of the window: twelve bars, one per harmonic
// amplitude, and a scrolling trace of the waveform they make at A4. Dragging a bar's top edge
// changes that amplitude; the bars, the trace, the colours and a label follow at once, and the
// keyboard plays the edited timbre from the release on. Everything here runs on the
// user-interface thread.

#include <cstdint>
#include <memory>

#include "platform/graphics/GraphicsDevice.h"
#include "platform/graphics/GraphicsEffect.h"
#include "platform/graphics/GraphicsFont.h"
#include "platform/graphics/GraphicsTypes.h"
#include "synth/NoteWave.h"
#include "synth/Timbre.h"

class CGraphics;

namespace platform {
class Window;
}

// A pre-transformed vertex in its own colour (XYZRHW | DIFFUSE, 20 bytes).
struct HarmonicsVertex {
    float x, y, z, rhw;
    platform::D3DCOLOR colour;
};
static_assert(sizeof(HarmonicsVertex) == 20);

class CHarmonicsControl {
public:
    static constexpr std::int32_t kBarCount = 12;
    static constexpr std::uint32_t kVertexFormat =
        platform::D3DFVF_XYZRHW | platform::D3DFVF_DIFFUSE;
    static constexpr std::size_t kLabelCapacity = 260;  // characters, the terminator included

    // The control, created on first use with the graphics objects and its label font.
    static CHarmonicsControl* Instance();
    static void DeleteInstance();
    // Installs `control` and hands back the previous instance, which the caller then owns:
    // tests put in a control of their own.
    static CHarmonicsControl* SetInstance(CHarmonicsControl* control);

    // Takes the device and the effect of the graphics instance and makes the label font; without
    // a device there is nothing to draw with, and the control still edits.
    CHarmonicsControl();
    CHarmonicsControl(const CHarmonicsControl&) = delete;
    CHarmonicsControl& operator=(const CHarmonicsControl&) = delete;
    virtual ~CHarmonicsControl();

    // Makes a copy of `timbre` the one being edited.
    void LoadTimbre(const CTimbre& timbre);
    // All geometry from the size of render target 0, then the font and the effect are told the
    // device is back. A size that cannot be read keeps the geometry as it was.
    HRESULT Layout();
    // The same for a back buffer of width x height pixels, without a device.
    void Layout(std::uint32_t width, std::uint32_t height);
    // Bar heights and colours from the timbre's amplitudes and colour.
    void UpdateBars();
    void UpdateBarColours();
    // Trace colour, trace and bar colours, after the timbre changed.
    void UpdateColours();
    // The held bar follows the pointer polled from the window (client coordinates).
    void UpdateDrag();
    // Adds the frame time; past a tenth of a second the trace moves one sample to the left.
    void ScrollTrace(float dt);

    // Outline, bars and label; then, when they were drawn, the trace, scrolled by frame time.
    HRESULT Render(float dt);

    // Bar 1..12 under the client point, or 0; a bar is hit within the width of a filled bar
    // around its filled part.
    std::int32_t HitTest(std::int32_t x, std::int32_t y) const;
    // True when the press took hold of a bar.
    bool OnButtonDown(std::int32_t x, std::int32_t y, platform::Window* window);
    // True when a bar was held: the keyboard then plays the edited timbre, with waveforms built
    // afresh.
    bool OnButtonUp();

    HRESULT OnLostDevice();
    HRESULT OnResetDevice();

    CGraphics* m_graphics = nullptr;                // not owned
    platform::IGraphicsDevice* m_device = nullptr;  // not owned
    platform::IGraphicsEffect* m_effect = nullptr;  // not owned
    platform::D3DCOLOR m_traceColour = 0;
    std::unique_ptr<HarmonicsVertex[]> m_traceVertices;  // a line strip
    std::int32_t m_traceVertexCount = 0;
    std::int32_t m_traceRepeats = 0;                // periods across the window
    std::int32_t m_traceOffset = 0;                 // scroll position, in samples
    HarmonicsVertex m_outline[8 * kBarCount] = {};  // four lines per bar
    HarmonicsVertex m_bars[6 * kBarCount] = {};     // two triangles per bar
    platform::RECT m_labelRect{};
    char m_label[kLabelCapacity] = {};
    std::int32_t m_activeBar = 0;  // the bar being dragged, 1..12; 0 when none
    platform::D3DCOLOR m_labelColour = 0;
    float m_topY = 0.0f;     // a bar's top at amplitude 1
    float m_bottomY = 0.0f;  // a bar's top at amplitude 0
    CTimbre m_timbre;
    CNoteWave m_wave;  // one period of the edited timbre at A4, for the trace
    platform::Window* m_window = nullptr;
    std::int32_t m_lastX = 0, m_lastY = 0;  // pointer at the previous update
    platform::IGraphicsFont* m_font = nullptr;
    float m_scrollTime = 0.0f;  // frame time since the trace last moved

private:
    void FillTrace();

    std::uint32_t m_targetWidth = 0, m_targetHeight = 0;  // the back buffer of the last layout
};
