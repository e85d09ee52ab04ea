// The harmonics control drawn on the program's own device and read back: frames in their greys,
// bars in the timbre's colours, the trace across the upper quarter. The label of a held bar is
// seen in the program's end-to-end test.
// Resets of the device with the control in place are the display-mode tests' concern.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "controls/HarmonicsControl.h"
#include "controls/HsvColour.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

using namespace platform;
using tovel_test::Image;

constexpr D3DCOLOR kRgb = 0x00FFFFFF;

class HarmonicsSceneTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ASSERT_EQ(S_OK, m_device->Reset(1024, 768));
        m_control = std::make_unique<CHarmonicsControl>();
        ASSERT_NE(nullptr, m_control->m_font) << "\"Arial\" bold resolves through fontconfig";
        m_timbre.SetSawtoothWave();
        m_control->LoadTimbre(m_timbre);
        ASSERT_EQ(S_OK, m_control->Layout());
    }
    void TearDown() override {
        m_control.reset();
        GraphicsTest::TearDown();
    }
    Image Frame() {
        IGraphicsSurface* backBuffer = nullptr;
        m_device->GetBackBuffer(&backBuffer);
        m_device->SetRenderTarget(0, backBuffer);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_device->BeginScene();
        EXPECT_EQ(S_OK, m_control->Render(0.0f));
        m_device->EndScene();
        Image image = Read(backBuffer);
        backBuffer->Release();
        return image;
    }
    // The bar whose frame, widened by two pixels, holds the point; 0 for none.
    int BarAt(float x, float y) const {
        for (int i = 1; i <= 12; ++i) {
            const HarmonicsVertex* frame = &m_control->m_outline[8 * (i - 1)];
            if (x > frame[0].x - 2 && x < frame[1].x + 2 && y > frame[0].y - 2 &&
                y < frame[3].y + 2) {
                return i;
            }
        }
        return 0;
    }
    std::unique_ptr<CHarmonicsControl> m_control;
    CTimbre m_timbre;
};

TEST_F(HarmonicsSceneTest, FramesBarsAndTraceOnTheBackBuffer) {
    const Image image = Frame();
    for (int i = 1; i <= 12; ++i) {
        const HarmonicsVertex* bar = &m_control->m_bars[6 * (i - 1)];
        const auto x = static_cast<std::uint32_t>((bar[0].x + bar[1].x) / 2);
        const auto grey = static_cast<std::uint32_t>(17 * (16 - i)) * 0x010101u;
        EXPECT_EQ(grey, image.At(x, 19) & kRgb) << "top of frame " << i;
        EXPECT_EQ(grey, image.At(x, 134) & kRgb) << "bottom of frame " << i;
        const D3DCOLOR colour = HarmonicBarColour(m_timbre.m_color, i) & kRgb;
        const auto top = static_cast<std::uint32_t>(std::ceil(bar[0].y));
        EXPECT_EQ(colour, image.At(x, top + 1) & kRgb) << "top of bar " << i;
        EXPECT_EQ(colour, image.At(x, 130) & kRgb) << "bottom of bar " << i;
    }
    // Every vertex of the trace on the picture lies on a line of the trace colour, but where
    // the bars and frames, drawn nearer, hide it.
    const D3DCOLOR trace = PackHsv(m_timbre.m_color.m_hue, 1.0f, 0.5f) & kRgb;
    int checked = 0;
    for (int v = 0; v < m_control->m_traceVertexCount; ++v) {
        const HarmonicsVertex& t = m_control->m_traceVertices[v];
        const auto x = static_cast<std::int32_t>(std::lround(t.x));
        const auto y = static_cast<std::int32_t>(std::lround(t.y));
        if (x >= 1023 || BarAt(t.x, t.y)) {
            continue;
        }
        bool found = false;
        for (std::int32_t dy = -1; dy <= 1 && !found; ++dy) {
            for (std::int32_t dx = -1; dx <= 1 && !found; ++dx) {
                found = (image.At(std::max(0, x + dx), y + dy) & kRgb) == trace;
            }
        }
        EXPECT_TRUE(found) << "vertex " << v << " at " << t.x << ", " << t.y;
        ++checked;
    }
    EXPECT_GT(checked, 150);
    // Nothing else is drawn: below the trace's reach the picture stays black.
    for (std::uint32_t y = 192 + 176; y < 768; y += 7) {
        for (std::uint32_t x = 0; x < 1024; ++x) {
            ASSERT_EQ(0u, image.At(x, y) & kRgb) << x << ", " << y;
        }
    }
}

}  // namespace
