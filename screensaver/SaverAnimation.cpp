#include "screensaver/SaverAnimation.h"

#include <cmath>

#include "controls/HsvColour.h"
#include "platform/graphics/D3DMath.h"

using namespace platform;

namespace {

constexpr double kPi = 3.1415927410125732;
constexpr double kTwoPi = 2.0 * kPi;
// pi / 6, the angle between neighbouring ring jewels.
constexpr double kRingStep = 0.5235987901687622;
constexpr double kRingRadius = 10.0;
// Columns sway across two thirds of the view's half-width (9 units high).
constexpr double kSwayWidth = 6.0;

float FixedHue(int degrees) {
    return static_cast<float>(degrees * kPi / 180.0);
}

}  // namespace

float RingHue(int index) {
    return static_cast<float>(index * kPi / 10.0);
}

std::optional<ColumnStart> AdvanceBubble(BubbleState& state, float total, float dt, int selectedHue,
                                         float aspect, CSaverRandom& random) {
    state.spawnTimer += dt;
    if (!(state.spawnTimer > kSpawnInterval)) {
        return std::nullopt;
    }
    const bool changing = selectedHue < 0;
    const double t = total;
    ColumnStart column;
    column.hue =
        changing ? static_cast<float>(std::fabs(std::sin(t)) * kTwoPi) : FixedHue(selectedHue);
    const int r1 = random.Next();
    const int r2 = random.Next();
    column.x = static_cast<float>(std::sin(t) * kSwayWidth * aspect);
    column.y = kBubbleStartY;
    column.z = 0.0f;
    column.saturation = static_cast<float>(0.25 + 0.75 * r2 / double{CSaverRandom::kMax});
    column.value = static_cast<float>(0.5 + 0.5 * r1 / double{CSaverRandom::kMax});
    // A fixed hue keeps its colour; changing colours fade to white as the keyboard's columns do.
    column.fading = changing;
    // Every column grows for about ten seconds: its own second and the time it waited.
    column.extraLife = static_cast<float>(1.25 * double{state.spawnTimer});
    state.spawnTimer = 0.0f;
    return column;
}

void AdvanceCircle(CircleState& state, float total, float dt, int selectedHue, float aspect,
                   std::uint32_t meshCount) {
    const bool changing = selectedHue < 0;
    const double t = total;
    D3DXMatrixRotationYawPitchRoll(&state.rotation, static_cast<float>(t * 0.2),
                                   static_cast<float>(t * 0.2), static_cast<float>(t * 1.5));
    const auto s = static_cast<float>(t * 0.05);
    // The colours breathe between saturation 0.3 and 1 over about two minutes.
    const auto k = static_cast<float>(0.65 + 0.35 * std::cos(double{s}));

    state.circleTimer += dt;
    if (state.circleTimer > kMeshSetInterval) {
        // The ring shows twelve consecutive meshes; a library of no more than twelve keeps 0.
        state.firstMesh += 1;
        if (state.firstMesh > static_cast<int>(meshCount) - kRingJewels) {
            state.firstMesh = 0;
        }
        if (changing) {
            state.manyColours = !state.manyColours;
        }
        state.circleTimer = 0.0f;
    }

    const double xShift = std::sin(double{s}) * 10.0 * aspect;
    for (int i = 0; i < kRingJewels; ++i) {
        const auto a = static_cast<float>(i * kRingStep - t * 0.1);
        state.positions[i] = {static_cast<float>(kRingRadius * std::cos(double{a}) + xShift),
                              static_cast<float>(kRingRadius * std::sin(double{a})), 0.0f, 0.0f};
        const auto v = static_cast<float>(0.75 + 0.25 * std::sin(double{a}));
        float r = 1.0f, g = 1.0f, b = 1.0f;
        if (!changing) {
            HsvToRgb(FixedHue(selectedHue), k, v, &r, &g, &b);
        } else if (state.manyColours) {
            HsvToRgb(static_cast<float>(i * kRingStep), k, v, &r, &g, &b);
        }
        state.colours[i] = {r, g, b, 0.0f};
    }
    state.clearJewel = k < 0.4f || !state.manyColours;
    state.light = {static_cast<float>(0.75 * xShift), static_cast<float>(0.05 * xShift),
                   static_cast<float>(0.25 * xShift)};
}
