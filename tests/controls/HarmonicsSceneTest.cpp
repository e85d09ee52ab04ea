// The harmonics control drawn on the program's own device and read back.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "controls/HarmonicsControl.h"
#include "controls/HsvColour.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

using namespace platform;

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
    std::unique_ptr<CHarmonicsControl> m_control;
    CTimbre m_timbre;
};

TEST_F(HarmonicsSceneTest, FramesBarsAndTraceOnTheBackBuffer) {
    IGraphicsSurface* backBuffer = nullptr;
    m_device->GetBackBuffer(&backBuffer);
    m_device->SetRenderTarget(0, backBuffer);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    m_device->BeginScene();
    EXPECT_EQ(S_OK, m_control->Render(0.0f));
    m_device->EndScene();
    const tovel_test::Image image = Read(backBuffer);
    backBuffer->Release();
    auto rgb = [&](int x, int y) {
        return image.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) & 0xFFFFFF;
    };
    for (int i = 1; i <= 12; ++i) {
        const HarmonicsVertex* bar = &m_control->m_bars[6 * (i - 1)];
        const auto x = static_cast<int>((bar[0].x + bar[1].x) / 2);
        const auto grey = static_cast<std::uint32_t>(17 * (16 - i)) * 0x010101u;
        EXPECT_TRUE(rgb(x, 19) == grey && rgb(x, 134) == grey) << "frame " << i;
        const D3DCOLOR colour = HarmonicBarColour(m_timbre.m_color, i) & 0xFFFFFF;
        const int below = static_cast<int>(std::ceil(bar[0].y)) + 1;  // the bar's top row
        EXPECT_TRUE(rgb(x, below) == colour && rgb(x, 130) == colour) << "bar " << i;
    }
    // Every vertex of the trace on the picture lies on a line of the trace colour, but where the
    // bars and their frames (widened by two pixels), drawn nearer, hide it.
    const D3DCOLOR trace = PackHsv(m_timbre.m_color.m_hue, 1.0f, 0.5f) & 0xFFFFFF;
    int checked = 0;
    for (int v = 0; v < m_control->m_traceVertexCount; ++v) {
        const HarmonicsVertex& t = m_control->m_traceVertices[v];
        bool hidden = t.x >= 1022.5f;
        for (int i = 0; i < 12 && !hidden; ++i) {
            const HarmonicsVertex* frame = &m_control->m_outline[8 * i];
            hidden = t.x > frame[0].x - 2 && t.x < frame[1].x + 2 && t.y > frame[0].y - 2 &&
                     t.y < frame[3].y + 2;
        }
        const auto x = static_cast<int>(std::lround(t.x)), y = static_cast<int>(std::lround(t.y));
        bool found = hidden;
        for (std::int32_t d = 0; d < 9 && !found; ++d) {
            found = rgb(std::max(0, x + d % 3 - 1), y + d / 3 - 1) == trace;
        }
        EXPECT_TRUE(found) << "vertex " << v << " at " << t.x << ", " << t.y;
        checked += !hidden;
    }
    EXPECT_GT(checked, 150);
    // Nothing else is drawn: below the trace's reach the picture stays black.
    for (std::int32_t y = 192 + 176; y < 768; y += 7) {
        for (std::int32_t x = 0; x < 1024; ++x) {
            ASSERT_EQ(0u, rgb(x, y)) << x << ", " << y;
        }
    }
}

}  // namespace
