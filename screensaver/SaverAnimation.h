#pragma once
// What the two arrangements do from frame to frame, apart from drawing: when Bubble starts a
// column and how it looks, and where the Circle's twelve jewels stand, in which colours and with
// which set of meshes. Plain arithmetic, stepped by the frames' times.

#include <array>
#include <cstdint>
#include <optional>

#include "platform/graphics/GraphicsTypes.h"

// The random numbers of the system's C library: 0..32767 from a seed.
class CSaverRandom {
public:
    static constexpr int kMax = 32767;

    explicit CSaverRandom(std::uint32_t seed = 1) : m_state(seed) {}
    void Seed(std::uint32_t seed) { m_state = seed; }
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t m_state;
};

// The hue in radians of the configuration ring's colour index (0..19): index * pi / 10 in single
// precision. The contact sheet of the jewels colours them this way too.
float RingHue(int index);

// Bubble: a column every eight seconds.
inline constexpr float kSpawnInterval = 8.0f;
// Bubble: columns start at the bottom edge of the view (its half-height is 9 units).
inline constexpr float kBubbleStartY = -9.0f;

struct BubbleState {
    float spawnTimer = 0.0f;  // seconds since the last column
};

// A column to start, and the growth time to add to it once started.
struct ColumnStart {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float hue = 0.0f, saturation = 0.0f, value = 0.0f;
    bool fading = true;
    float extraLife = 0.0f;
};

// Adds dt to the spawn timer; once it passes eight seconds, the column to start now (at most one
// however long dt was). selectedHue is degrees or -1 for changing colours; aspect is the view's
// width over its height.
std::optional<ColumnStart> AdvanceBubble(BubbleState& state, float total, float dt, int selectedHue,
                                         float aspect, CSaverRandom& random);

inline constexpr int kRingJewels = 12;
// Circle: the set of meshes moves on, and with changing colours the ring changes between coloured
// and white, every two minutes.
inline constexpr float kMeshSetInterval = 120.0f;

struct CircleState {
    float circleTimer = 0.0f;  // seconds since the last change of meshes
    int firstMesh = 0;         // library position of the ring's first mesh
    bool manyColours = true;   // with changing colours: coloured (else white)
    std::array<platform::D3DVECTOR4, kRingJewels> positions{};
    std::array<platform::D3DVECTOR4, kRingJewels> colours{};
    platform::D3DMATRIX rotation{};
    platform::D3DVECTOR3 light{};
    bool clearJewel = false;  // "ClearJewel" rather than "SeveralColorJewel"
};

// One Circle frame's state at total seconds, dt after the last, for a library of meshCount meshes.
void AdvanceCircle(CircleState& state, float total, float dt, int selectedHue, float aspect,
                   std::uint32_t meshCount);
