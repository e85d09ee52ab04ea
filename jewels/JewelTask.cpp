#include "jewels/JewelTask.h"

#include <cmath>

#include "controls/HsvColour.h"
#include "platform/graphics/D3DMath.h"

using namespace platform;

namespace {

// The top jewel starts one and a half jewel scales above the key, and the jewels of a column
// stand four scales apart.
constexpr float kStartHeight = 1.5f;
constexpr float kSpacing = 4.0f;
constexpr float kJewelScale = 0.75f;
// A column grows for a second unless its key holds it longer.
constexpr float kGrowthTime = 1.0f;
// Fading: once a second the colour loses a quarter of its saturation and gains a tenth of value;
// below this saturation the column is drawn clear.
constexpr float kFadeStep = 1.0f;
constexpr float kFadeSaturation = 0.75f;
constexpr float kFadeValue = 0.1f;
constexpr float kClearSaturation = 0.25f;
// The swing of a jewel round the column's axis widens with the height it has risen.
constexpr float kSwingPerHeight = 0.05f;

}  // namespace

CJewelTask::CJewelTask(std::uint32_t capacity)
    : m_capacity(static_cast<std::int32_t>(capacity)),
      m_instances(new D3DVECTOR4[capacity ? capacity : 1]()) {}

void CJewelTask::Start(float x, float y, float z, float h, float s, float v, float averageSize,
                       bool fading) {
    m_life = kGrowthTime;
    m_riseSpeed = 1.0f / s;
    m_pitchSpeed = m_yawSpeed = 0.2f / s;
    m_rollSpeed = 0.6f / s;
    m_hue = h;
    m_saturation = s;
    m_value = v;
    HsvToRgb(h, s, v, &m_colour[0], &m_colour[1], &m_colour[2]);
    m_colour[3] = 0.0f;
    const float e = kJewelScale * s / averageSize;
    D3DXMatrixScaling(&m_scale, e, e, e);
    m_x = x;
    m_y0 = m_top = y + kStartHeight * e;
    m_z = z;
    m_time = 0.0f;
    m_coloured = true;
    m_fading = fading;
    m_spacing = kSpacing * e;
}

bool CJewelTask::Update(float dt) {
    m_time += dt;
    m_life -= dt;
    m_top += m_riseSpeed * dt;

    D3DMATRIX spin;
    D3DXMatrixRotationYawPitchRoll(&spin, m_yawSpeed * m_time, m_pitchSpeed * m_time,
                                   m_rollSpeed * m_time);
    D3DXMatrixMultiply(&m_rotation, &spin, &m_scale);

    if (m_top > kTopOfView) {
        m_first += 1;
        if (m_first >= m_capacity) {
            m_first = 0;
        }
        m_alive -= 1;
        m_top -= m_spacing;
    }
    if (m_life > 0.0f) {
        if (m_top - m_y0 > m_spacing * static_cast<float>(m_alive)) {
            m_alive += 1;
        }
    } else if (m_fading) {
        m_fadeTime += dt;
        if (m_fadeTime > kFadeStep) {
            m_saturation *= kFadeSaturation;
            m_fadeTime = 0.0f;
            if (m_value < 1.0f) {
                m_value += kFadeValue;
            }
            HsvToRgb(m_hue, m_saturation, m_value, &m_colour[0], &m_colour[1], &m_colour[2]);
            if (m_saturation < kClearSaturation && m_coloured) {
                m_coloured = false;
            }
        }
    }
    return m_alive > 0;
}

void CJewelTask::Bounds(float meshRadius, D3DVECTOR3* low, D3DVECTOR3* high) const {
    // The jewels stand from the top one down, a spacing apart; each swings round the column's
    // axis by at most its height above the start in x, and by one unit in z.
    const float top = m_top;
    const float bottom = m_top - m_spacing * static_cast<float>(std::max(m_alive - 1, 0));
    const float swing =
        kSwingPerHeight * std::max(std::fabs(top - m_y0), std::fabs(bottom - m_y0));
    const float r = meshRadius * std::fabs(m_scale.m[0][0]);
    *low = {m_x - swing - r, bottom - r, m_z - 1.0f - r};
    *high = {m_x + swing + r, top + r, m_z + 1.0f + r};
}

void CJewelTask::Reset() {
    m_prev = m_next = nullptr;
    m_x = m_y0 = m_z = m_top = 0.0f;
    m_pitchSpeed = m_yawSpeed = m_rollSpeed = m_riseSpeed = 0.0f;
    m_spacing = m_life = m_time = m_fadeTime = 0.0f;
    m_first = m_capacity > 0 ? m_first % m_capacity : 0;
    m_alive = 1;
}

void CJewelTask::BuildInstances(std::uint32_t start, std::uint32_t count, std::int32_t slot) {
    for (std::int32_t j = 0; j < m_capacity; ++j) {
        const auto position = static_cast<std::uint32_t>(j);
        if (position < start || position >= start + count) {
            m_instances[position] = {0.0f, 0.0f, 0.0f, 0.0f};
            continue;
        }
        const std::int32_t m = slot + j - static_cast<std::int32_t>(start);
        const std::int32_t k = j % 4 + 1;
        const float theta = static_cast<float>(k) * m_time;
        const float y = m_top - m_spacing * static_cast<float>(m);
        const float w = (y - m_y0) * kSwingPerHeight;
        const bool odd = k % 2 == 1;
        const float x = m_x + w * (odd ? -std::sin(theta) : std::cos(theta));
        const float z = m_z + (odd ? -std::cos(theta) : std::sin(theta));
        m_instances[position] = {x, y, z, 1.0f};
    }
}
