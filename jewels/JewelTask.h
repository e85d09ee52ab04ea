#pragma once
// One rising column of jewels: consecutive library meshes, each turning with the column and
// swinging round its axis, that grows while its key is held, then fades to white and drifts up
// out of view.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/graphics/GraphicsTypes.h"

class CJewelTask {
public:
    // The column's top jewel leaves once it rises above this height.
    static constexpr float kTopOfView = 12.0f;

    explicit CJewelTask(std::uint32_t capacity);
    CJewelTask(const CJewelTask&) = delete;
    CJewelTask& operator=(const CJewelTask&) = delete;
    virtual ~CJewelTask() = default;

    // Starts a column at (x, y, z) in the colour (h, s, v); the saturation also sets the jewels'
    // size, spacing, spin and rise speed. averageSize is the library's mean mesh size.
    void Start(float x, float y, float z, float h, float s, float v, float averageSize,
               bool fading);
    // Advances the column by dt seconds; false once its last jewel has left.
    bool Update(float dt);
    // Back to the pool's state: links and motion cleared, m_first kept within the library.
    void Reset();
    // The placement of the run of library meshes [start, start + count) whose first mesh sits
    // `slot` places below the top jewel; every other position gets (0, 0, 0, 0).
    void BuildInstances(std::uint32_t start, std::uint32_t count, std::int32_t slot);
    // The box its jewels can occupy in the world while they hold this state, for meshes that
    // reach at most `meshRadius` from their origin before the column's scale.
    void Bounds(float meshRadius, platform::D3DVECTOR3* low, platform::D3DVECTOR3* high) const;
    // Calls draw(start, count, slot) for each run of consecutive library meshes that together
    // hold the column's jewels from the top down: one run up to the end of the library, then
    // runs from mesh 0 again.
    template <class Draw>
    void ForEachRun(std::uint32_t meshCount, Draw&& draw) const;

    CJewelTask* m_prev = nullptr;
    CJewelTask* m_next = nullptr;
    float m_x = 0.0f, m_y0 = 0.0f, m_z = 0.0f;
    float m_top = 0.0f;
    float m_pitchSpeed = 0.0f, m_yawSpeed = 0.0f, m_rollSpeed = 0.0f;  // radians per second
    float m_riseSpeed = 0.0f;                                          // units per second
    float m_spacing = 0.0f;
    float m_life = 0.0f;  // growth time left; the column grows while it is above 0
    float m_time = 0.0f;
    float m_fadeTime = 0.0f;
    bool m_coloured = false;
    bool m_fading = false;
    platform::D3DMATRIX m_rotation{};  // spin x scale
    platform::D3DMATRIX m_scale{};
    float m_colour[4] = {};  // red, green, blue, 0
    float m_hue = 0.0f, m_saturation = 0.0f, m_value = 0.0f;
    std::int32_t m_first = 0;  // library position of the top jewel's mesh
    std::int32_t m_alive = 1;  // jewels in the column
    std::int32_t m_capacity;   // the library's mesh count
    std::unique_ptr<platform::D3DVECTOR4[]> m_instances;  // m_capacity placements
};

template <class Draw>
void CJewelTask::ForEachRun(std::uint32_t meshCount, Draw&& draw) const {
    if (meshCount == 0 || m_alive <= 0 || m_first < 0) {
        return;
    }
    auto cur = static_cast<std::uint32_t>(m_first);
    auto remaining = static_cast<std::uint32_t>(m_alive);
    while (remaining > 0) {
        const std::uint32_t start = cur % meshCount;
        const std::uint32_t count = std::min(remaining, meshCount - start);
        if (!draw(start, count,
                  static_cast<std::int32_t>(cur - static_cast<std::uint32_t>(m_first)))) {
            return;
        }
        cur += count;
        remaining -= count;
    }
}
