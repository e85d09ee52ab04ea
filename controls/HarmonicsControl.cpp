#include "controls/HarmonicsControl.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "controls/HsvColour.h"
#include "graphics/Graphics.h"
#include "keyboard/SynthesizerKeyboard.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"
#include "synth/Synthesizer.h"

using namespace platform;

namespace {

CHarmonicsControl* g_instance = nullptr;

// The band of bars is 15 % of the height, its bars a tenth of the band wide, 2.5 % down from the
// top; the twelve bars span 10 % to 90 % of the width.
constexpr double kBandHeight = 0.15f;
constexpr double kBarWidth = 0.1f;
constexpr double kTopMargin = 0.025f;
constexpr double kBarsLeft = 0.1f;
constexpr double kBarsSpan = 0.8f;
constexpr float kBarInset = 2.0f;  // the filled bar lies this far inside its frame
constexpr std::uint32_t kFrameGreyStep = 17;

// The trace: one period of A4 (440 Hz at 44100 samples a second) repeated across the window,
// centred a quarter of the way down; a sample of full scale would reach three quarter-heights.
constexpr std::int32_t kTracePeriod = 101;
constexpr double kTraceCentre = 0.25f;
constexpr double kTraceScale = 0.75 * 3.0 / 32767.0;
constexpr double kTraceWidthPerPeriod = 0.75f;
constexpr float kScrollInterval = 0.1f;  // seconds per sample of scrolling
constexpr std::uint32_t kTraceNote = 10, kTraceOctave = 4;

// The fundamental never drops below half, so that a timbre always has its pitch.
constexpr float kLowestFundamental = 0.5f;
constexpr std::int32_t kHertzPerHarmonic = 440;
// The label sits above the bar's top edge, starting a little left of the bar.
constexpr float kLabelLeft = 5.0f, kLabelRight = 70.0f, kLabelHeight = 20.0f;

constexpr std::int32_t kFontHeight = 19;
constexpr std::uint32_t kFontWeight = 700;

HarmonicsVertex Vertex(float x, float y, float z, D3DCOLOR colour) {
    return {x, y, z, 1.0f, colour};
}

}  // namespace

CHarmonicsControl* CHarmonicsControl::Instance() {
    if (!g_instance) {
        g_instance = new CHarmonicsControl();
    }
    return g_instance;
}

void CHarmonicsControl::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CHarmonicsControl* CHarmonicsControl::SetInstance(CHarmonicsControl* control) {
    return std::exchange(g_instance, control);
}

CHarmonicsControl::CHarmonicsControl() {
    m_graphics = CGraphics::Instance();
    m_device = m_graphics->m_device;
    m_effect = m_graphics->m_effect;
    if (m_device &&
        FAILED(D3DXCreateFont(m_device, kFontHeight, kFontWeight, false, "Arial", &m_font))) {
        // The bars still work; only the label stays unseen.
        OutputDebugString("The harmonics label font \"Arial\" bold could not be made\n");
        m_font = nullptr;
    }
}

CHarmonicsControl::~CHarmonicsControl() {
    if (m_font) {
        m_font->Release();
    }
}

void CHarmonicsControl::LoadTimbre(const CTimbre& timbre) {
    m_timbre = timbre;
    m_wave.m_note = kTraceNote;
    m_wave.m_octave = kTraceOctave;
    CTimbre::BuildNoteWave(m_wave, m_timbre.m_harmonics);
    UpdateColours();
    UpdateBars();
}

HRESULT CHarmonicsControl::Layout() {
    if (!m_device) {
        return E_FAIL;
    }
    IGraphicsSurface* target = nullptr;
    const HRESULT hr = m_device->GetRenderTarget(0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    Layout(target->GetWidth(), target->GetHeight());
    target->Release();
    return OnResetDevice();
}

void CHarmonicsControl::Layout(std::uint32_t width, std::uint32_t height) {
    const double w = width, h = height;
    m_targetWidth = width;
    m_targetHeight = height;

    m_traceRepeats = static_cast<std::int32_t>(std::ceil(w / (kTraceWidthPerPeriod * h)));
    m_traceVertexCount = m_traceRepeats * kTracePeriod + 1;
    m_traceVertices.reset(new (std::nothrow) HarmonicsVertex[m_traceVertexCount]);
    if (!m_traceVertices) {
        m_traceVertexCount = 0;
    }
    m_traceOffset = 0;
    FillTrace();

    const auto band = static_cast<float>(std::floor(kBandHeight * h));
    const auto barWidth = static_cast<float>(kBarWidth * band);
    const auto top = static_cast<float>(std::floor(kTopMargin * h));
    const auto step = static_cast<float>(
        (kBarsSpan * w - kBarCount * double{barWidth}) / (kBarCount - 1) + barWidth);
    m_topY = top + kBarInset;
    m_bottomY = top + band - kBarInset;
    auto x = static_cast<float>(std::floor(kBarsLeft * w));
    for (std::int32_t i = 1; i <= kBarCount; ++i, x += step) {
        // From white for the fundamental down to a dark grey; alpha 1 marks the frames.
        const std::uint32_t grey = kFrameGreyStep * static_cast<std::uint32_t>(16 - i);
        const D3DCOLOR colour = 0x01000000u + grey * 0x010101u;
        const float right = x + barWidth, bottom = top + band;
        HarmonicsVertex* frame = &m_outline[8 * (i - 1)];
        frame[0] = Vertex(x, top, 0.0f, colour);
        frame[1] = Vertex(right, top, 0.0f, colour);
        frame[2] = Vertex(right, top, 0.0f, colour);
        frame[3] = Vertex(right, bottom, 0.0f, colour);
        frame[4] = Vertex(right, bottom, 0.0f, colour);
        frame[5] = Vertex(x, bottom, 0.0f, colour);
        frame[6] = Vertex(x, bottom, 0.0f, colour);
        frame[7] = Vertex(x, top, 0.0f, colour);

        const float left = x + kBarInset, barRight = right - kBarInset;
        HarmonicsVertex* bar = &m_bars[6 * (i - 1)];
        bar[0] = Vertex(left, m_topY, 0.0f, colour);
        bar[1] = Vertex(barRight, m_topY, 0.0f, colour);
        bar[2] = Vertex(left, m_bottomY, 0.0f, colour);
        bar[3] = Vertex(barRight, m_topY, 0.0f, colour);
        bar[4] = Vertex(barRight, m_bottomY, 0.0f, colour);
        bar[5] = Vertex(left, m_bottomY, 0.0f, colour);
    }
    UpdateBars();
}

void CHarmonicsControl::UpdateBars() {
    UpdateBarColours();
    const double range = double{m_bottomY} - m_topY;
    for (std::int32_t i = 1; i <= kBarCount; ++i) {
        HarmonicsVertex* bar = &m_bars[6 * (i - 1)];
        const auto top = static_cast<float>(m_bottomY - range * m_timbre.m_harmonics[i - 1]);
        bar[0].y = bar[1].y = bar[3].y = top;
    }
}

void CHarmonicsControl::UpdateBarColours() {
    if (m_timbre.m_color.m_hue < 0.0f) {
        m_timbre.DeriveHue();
    }
    for (std::int32_t i = 1; i <= kBarCount; ++i) {
        const D3DCOLOR colour = HarmonicBarColour(m_timbre.m_color, i);
        for (std::int32_t v = 0; v < 6; ++v) {
            m_bars[6 * (i - 1) + v].colour = colour;
        }
    }
}

void CHarmonicsControl::UpdateColours() {
    if (m_timbre.m_color.m_hue < 0.0f) {
        m_timbre.DeriveHue();
    }
    m_traceColour = TraceColour(m_timbre.m_color);
    FillTrace();
    UpdateBarColours();
}

void CHarmonicsControl::FillTrace() {
    if (!m_traceVertices) {
        return;
    }
    const double h = m_targetHeight;
    const auto dx =
        static_cast<float>(std::ceil(static_cast<double>(m_targetWidth) / m_traceVertexCount));
    const double scale = kTraceScale * h;
    const double centre = kTraceCentre * h;
    // Only a period of the expected length is drawn; anything else would not fit the vertices,
    // and shows as a flat line.
    const bool usable = m_wave.m_samples && m_wave.m_sampleCount == kTracePeriod;
    const std::int32_t n = m_traceOffset % kTracePeriod;
    m_traceOffset = n;

    std::int32_t v = 0;
    auto put = [&](std::int32_t sample) {
        const double value = usable ? m_wave.m_samples[static_cast<std::size_t>(sample)] : 0.0;
        m_traceVertices[v] =
            Vertex(static_cast<float>(v) * dx, static_cast<float>(centre + value * scale), 0.5f,
                   m_traceColour);
        ++v;
    };
    // From sample n to the period's end, whole periods, then from 0 back to n: the first and
    // the last vertex show the same sample.
    for (std::int32_t s = n; s < kTracePeriod; ++s) {
        put(s);
    }
    for (std::int32_t r = 1; r < m_traceRepeats; ++r) {
        for (std::int32_t s = 0; s < kTracePeriod; ++s) {
            put(s);
        }
    }
    for (std::int32_t s = 0; s <= n; ++s) {
        put(s);
    }
}

void CHarmonicsControl::ScrollTrace(float dt) {
    m_scrollTime += dt;
    if (!m_traceVertices || !(m_scrollTime > kScrollInterval)) {
        return;
    }
    if (++m_traceOffset >= m_traceVertexCount) {
        m_traceOffset = 0;
    }
    for (std::int32_t v = 0; v + 1 < m_traceVertexCount; ++v) {
        m_traceVertices[v].y = m_traceVertices[v + 1].y;
    }
    m_traceVertices[m_traceVertexCount - 1].y = m_traceVertices[0].y;
    m_scrollTime = 0.0f;
}

void CHarmonicsControl::UpdateDrag() {
    const float range = m_bottomY - m_topY;
    if (m_activeBar < 1 || m_activeBar > kBarCount || !m_window || !(range > 0.0f)) {
        return;
    }
    POINT pointer{};
    if (!m_window->System().GetCursorPos(&pointer)) {
        return;
    }
    m_window->ScreenToClient(&pointer);
    if (pointer.x == m_lastX && pointer.y == m_lastY) {
        return;
    }

    HarmonicsVertex* bar = &m_bars[6 * (m_activeBar - 1)];
    const float t = bar[0].y;
    float dy = static_cast<float>(pointer.y - m_lastY);
    const float lowest = m_activeBar == 1 ? m_bottomY - kLowestFundamental * range : m_bottomY;
    if (t + dy < m_topY) {
        dy = m_topY - t;
    } else if (t + dy > lowest) {
        dy = lowest - t;
    }
    const float amplitude = (m_bottomY - t - dy) / range;
    m_timbre.m_harmonics[m_activeBar - 1] = amplitude;

    // The colour follows the amplitudes.
    m_timbre.m_color.m_hue = -1.0f;
    CTimbre::BuildNoteWave(m_wave, m_timbre.m_harmonics);
    UpdateColours();

    bar[0].y += dy;
    bar[1].y += dy;
    bar[3].y += dy;

    std::snprintf(m_label, sizeof m_label, "% 5dHz % 3.0f%%", m_activeBar * kHertzPerHarmonic,
                  static_cast<double>(amplitude) * 100.0);
    if (m_timbre.m_color.m_hue < 0.0f) {
        m_timbre.DeriveHue();
    }
    m_labelColour = HarmonicBarColour(m_timbre.m_color, m_activeBar);
    const float x = bar[0].x, top = bar[0].y;
    m_labelRect = RECT{static_cast<std::int32_t>(x - kLabelLeft),
                       static_cast<std::int32_t>(top - kLabelHeight),
                       static_cast<std::int32_t>(x + kLabelRight), static_cast<std::int32_t>(top)};
    m_lastX = pointer.x;
    m_lastY = pointer.y;
}

HRESULT CHarmonicsControl::Render(float dt) {
    if (m_activeBar) {
        UpdateDrag();
    }
    if (!m_device) {
        return E_FAIL;
    }
    m_device->SetFVF(kVertexFormat);
    m_device->DrawPrimitiveUP(D3DPT_LINELIST, 4 * kBarCount, m_outline, sizeof(HarmonicsVertex));
    const HRESULT hr = m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2 * kBarCount, m_bars,
                                                 sizeof(HarmonicsVertex));
    if (m_activeBar && m_font) {
        m_font->DrawText(m_label, -1, &m_labelRect, DT_NOCLIP, m_labelColour);
    }
    if (FAILED(hr) || !m_traceVertices) {
        return hr;
    }
    ScrollTrace(dt);
    m_device->SetFVF(kVertexFormat);
    m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_device->DrawPrimitiveUP(D3DPT_LINESTRIP, static_cast<std::uint32_t>(m_traceVertexCount - 1),
                              m_traceVertices.get(), sizeof(HarmonicsVertex));
    return hr;
}

std::int32_t CHarmonicsControl::HitTest(std::int32_t x, std::int32_t y) const {
    // The margin is the width of a filled bar, so the empty part of a bar above its top edge
    // counts only near the edge.
    const float margin = m_bars[1].x - m_bars[0].x;
    const auto px = static_cast<float>(x), py = static_cast<float>(y);
    for (std::int32_t i = 1; i <= kBarCount; ++i) {
        const HarmonicsVertex* bar = &m_bars[6 * (i - 1)];
        if (px > bar[0].x - margin && px < bar[1].x + margin && py > bar[0].y - margin &&
            py < bar[2].y + margin) {
            return i;
        }
    }
    return 0;
}

bool CHarmonicsControl::OnButtonDown(std::int32_t x, std::int32_t y, Window* window) {
    m_activeBar = HitTest(x, y);
    if (m_activeBar == 0) {
        return false;
    }
    m_window = window;
    m_label[0] = '\0';
    m_lastX = x;
    m_lastY = y;
    return true;
}

bool CHarmonicsControl::OnButtonUp() {
    CSynthesizerKeyboard* keyboard = CSynthesizerKeyboard::Instance();
    if (m_activeBar == 0) {
        return false;
    }
    // A new waveform set: the keys and the notes still sounding keep the set they play from.
    // Without memory for it the keyboard goes on with the sound it has rather than falling
    // silent.
    const CSynthesizer* synth = CSynthesizer::Instance();
    if (m_timbre.BuildWaves(synth->m_lowest, synth->m_highest) > 0) {
        keyboard->SetTimbre(m_timbre);
    } else {
        OutputDebugString("The edited timbre's waveforms could not be built; the sound stays\n");
    }
    m_activeBar = 0;
    return true;
}

HRESULT CHarmonicsControl::OnLostDevice() {
    if (m_font) {
        const HRESULT hr = m_font->OnLostDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    return m_effect ? m_effect->OnLostDevice() : S_OK;
}

HRESULT CHarmonicsControl::OnResetDevice() {
    if (m_font) {
        const HRESULT hr = m_font->OnResetDevice();
        if (FAILED(hr)) {
            return hr;
        }
    }
    return m_effect ? m_effect->OnResetDevice() : S_OK;
}
