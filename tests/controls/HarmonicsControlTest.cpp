// The harmonics control without a device: layout, trace, and bars under a scripted pointer.

#include <gtest/gtest.h>

#include "controls/HsvColour.h"
#include "keyboard/KeyTable.h"
#include "tests/controls/HarmonicsFixture.h"

namespace {

constexpr std::uint32_t kA4Key = 40;  // O

std::vector<float> TraceHeights(const CHarmonicsControl& c) {
    std::vector<float> y(static_cast<std::size_t>(c.m_traceVertexCount));
    std::transform(c.m_traceVertices.get(), c.m_traceVertices.get() + y.size(), y.begin(),
                   [](const HarmonicsVertex& v) { return v.y; });
    return y;
}

TEST_F(HarmonicsControlTest, LayoutAt1024x768AndAnotherSize) {
    const CHarmonicsControl& c = *control;
    // Bar 1's frame: X 102, T 19, w 11.5, A 115; bars 73.4 apart; the fill 2 pixels inside it.
    const HarmonicsVertex* frame = c.m_outline;
    EXPECT_EQ((std::vector<float>{102, 19, 11.5f, 115, 21, 132, 104, 111.5f, 132}),
              (std::vector<float>{frame[0].x, frame[0].y, frame[1].x - frame[0].x,
                                  frame[3].y - frame[2].y, c.m_topY, c.m_bottomY, c.m_bars[0].x,
                                  c.m_bars[1].x, c.m_bars[2].y}));
    EXPECT_NEAR(73.427, c.m_outline[88].x - c.m_outline[80].x, 1e-3);
    // Frames from grey 0xFF to 0x44, the fill in the timbre's colours, paler to the right.
    EXPECT_TRUE(c.m_outline[5].colour == 0x01FFFFFFu && c.m_outline[93].colour == 0x01444444u);
    EXPECT_EQ(HarmonicBarColour(start.m_color, 12), c.m_bars[6 * 11 + 5].colour);
    // Two periods of A4 at 101 samples, 6 pixels apart, centred at y 192.
    ASSERT_EQ(std::pair(2, 203), std::pair(c.m_traceRepeats, c.m_traceVertexCount));
    for (int v = 0; v < 203; ++v) {
        const HarmonicsVertex& t = c.m_traceVertices[v];
        EXPECT_EQ(6.0f * static_cast<float>(v), t.x);
        EXPECT_NEAR(192.0 + c.m_wave.m_samples[v % 101] * 768 * 2.25 / 32767, t.y, 1e-3) << v;
        EXPECT_EQ(PackHsv(start.m_color.m_hue, 1.0f, 0.5f), t.colour);
    }
    control->Layout(1280, 720);
    EXPECT_EQ(std::pair(3, 304), std::pair(c.m_traceRepeats, c.m_traceVertexCount));
    EXPECT_TRUE(c.m_topY == 20.0f && c.m_bottomY == 124.0f && c.m_bars[0].x == 130.0f);
    EXPECT_NEAR(0.8 * 1280 + 128, c.m_outline[8 * 11 + 1].x, 0.01) << "bar 12 ends at 90 %";
}

TEST_F(HarmonicsControlTest, TraceScrollsOneSampleAfterEachTenthOfASecond) {
    const std::vector<float> before = TraceHeights(*control);
    control->ScrollTrace(0.05f);
    control->ScrollTrace(0.05f);
    EXPECT_EQ(before, TraceHeights(*control)) << "a tenth of a second is not yet past it";
    control->ScrollTrace(0.01f);
    const std::vector<float> after = TraceHeights(*control);
    EXPECT_TRUE(control->m_traceOffset == 1 && after[0] == after[202]) << "the ends agree";
    EXPECT_TRUE(std::equal(before.begin() + 1, before.end(), after.begin())) << "one sample on";
    control->ScrollTrace(5.0f);
    EXPECT_EQ(2, control->m_traceOffset) << "a long frame moves one sample too";
}

TEST_F(HarmonicsControlTest, BarsStopAtTheirLimits) {
    for (int bar = 1; bar <= 12; ++bar) {
        ASSERT_TRUE(Drag(bar, 500)) << bar;
        const float lowest = bar == 1 ? 0.5f : 0.0f;  // the fundamental never goes under half
        const float& amplitude = control->m_timbre.m_harmonics[bar - 1];
        EXPECT_TRUE(amplitude == lowest && Top(*control, bar) == 132.0f - 111.0f * lowest) << bar;
        PointerAt(Middle(*control, bar), -2000);
        control->UpdateDrag();
        EXPECT_TRUE(amplitude == 1.0f && control->m_bars[6 * (bar - 1) + 3].y == 21.0f) << bar;
        // From the top, a move down follows the pointer at once.
        PointerAt(Middle(*control, bar), -2000 + 37);
        control->UpdateDrag();
        EXPECT_FLOAT_EQ(1.0f - 37.0f / 111.0f, amplitude) << bar;
        EXPECT_TRUE(control->OnButtonUp());
    }
}

TEST_F(HarmonicsControlTest, APressHoldsABarOnlyWithinTheMarginOfItsFilledPart) {
    // Bar 1 fills x 104..111.5, y 21..132; bar 5's top is at 109.8; the margin is 7.5 wide.
    const struct {
        std::int32_t x, y, bar;
    } presses[] = {{97, 80, 1},  {96, 80, 0},   {118, 80, 1},  {119, 80, 0},  {108, 14, 1},
                   {108, 13, 0}, {108, 139, 1}, {108, 140, 0}, {400, 103, 5}, {400, 102, 0}};
    for (const auto& p : presses) {
        EXPECT_EQ(p.bar != 0, control->OnButtonDown(p.x, p.y, window.get())) << p.x << ", " << p.y;
        EXPECT_EQ(p.bar, control->m_activeBar);
        EXPECT_EQ(p.bar, control->HitTest(p.x, p.y));
        control->OnButtonUp();
    }
}

TEST_F(HarmonicsControlTest, LabelsGiveFrequencyAndAmplitudeAboveTheBar) {
    // The space flag puts a blank before every positive amplitude, 100 included.
    ASSERT_TRUE(Drag(12, -500));
    EXPECT_STREQ(" 5280Hz  100%", control->m_label);
    EXPECT_EQ(1, control->m_labelRect.top);
    EXPECT_EQ(HarmonicBarColour(control->m_timbre.m_color, 12), control->m_labelColour);
    control->OnButtonUp();
    ASSERT_TRUE(Drag(3, 500));
    EXPECT_STREQ(" 1320Hz   0%", control->m_label);
    EXPECT_EQ(112, control->m_labelRect.top);
}

TEST_F(HarmonicsControlTest, ColoursAndTraceFollowTheDragTheKeyboardOnlyTheRelease) {
    const CNoteWave* playing = keyboard->m_keys[kA4Key].m_wave.get();
    EXPECT_FALSE(control->OnButtonUp()) << "no bar held: the release is left to the others";
    ASSERT_TRUE(Drag(2, 0));
    EXPECT_STREQ("", control->m_label) << "a pointer that has not moved changes nothing";
    PointerAt(Middle(*control, 2), 300);
    control->UpdateDrag();
    CTimbre edited = start;
    edited.m_harmonics[1] = 0.0f;
    edited.DeriveHue();  // and the trace is the edit's A4
    EXPECT_EQ(edited.m_color.m_hue, control->m_timbre.m_color.m_hue);
    EXPECT_EQ(HarmonicBarColour(edited.m_color, 7), control->m_bars[6 * 6].colour);
    EXPECT_EQ(PackHsv(edited.m_color.m_hue, 1.0f, 0.5f), control->m_traceVertices[0].colour);
    CNoteWave a4;
    a4.m_note = 10, a4.m_octave = 4;
    ASSERT_TRUE(CTimbre::BuildNoteWave(a4, edited.m_harmonics));
    const std::int16_t* traced = control->m_wave.m_samples.get();
    EXPECT_TRUE(std::equal(a4.m_samples.get(), a4.m_samples.get() + 101, traced));
    EXPECT_EQ(playing, keyboard->m_keys[kA4Key].m_wave.get());
    ASSERT_TRUE(control->OnButtonUp());
    EXPECT_TRUE(control->m_activeBar == 0 && keyboard->m_timbre->m_harmonics[1] == 0.0f);
    EXPECT_EQ(edited.m_color.m_hue, keyboard->m_keys[kA4Key].m_color.m_hue);
    const CNoteWave* now = keyboard->m_keys[kA4Key].m_wave.get();
    EXPECT_TRUE(now->m_sampleCount == 101 && std::equal(traced, traced + 101, &now->m_samples[0]));
}

}  // namespace
