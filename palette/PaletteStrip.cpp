// The palette's strip: its layout, what lies under the pointer, the press, drag and release of a
// tile, and the strip's kinetic scrolling.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "palette/TimbrePalette.h"
#include "platform/graphics/D3DMath.h"

using namespace platform;

namespace {

// A tile is as wide as the A-series paper it looks like: its height over the square root of 2.
constexpr double kTileAspect = 1.414;
// The jewel target's cells are square; a tile shows the middle 1/1.414 of its cell's width.
constexpr float kCellInset = 0.146393209f;
constexpr int kAtlasColumns = 4;
constexpr float kAtlasStep = 0.25f;
constexpr std::uint32_t kCellRows = 4;
// The strip moves at this share of the pointer's speed.
constexpr float kScrollShare = 0.25f;
// The clock counts milliseconds, so two frames that it sees as simultaneous lie at most this
// far apart; a speed is never taken over less.
constexpr float kShortestFrame = 0.001f;

}  // namespace

void CTimbrePalette::LayoutTiles(std::uint32_t width, std::uint32_t height) {
    m_width = width;
    m_height = height;
    m_tileHeight = static_cast<std::int32_t>(0.25 * height);
    m_tileWidth = static_cast<std::int32_t>(m_tileHeight / kTileAspect);
    m_gap = m_leftMargin = static_cast<std::int32_t>(0.1 * m_tileWidth);
    m_top = static_cast<std::int32_t>(height) - m_gap - m_tileHeight;
    // A window far taller than wide would have no cell at all; one keeps the arithmetic sound.
    m_cellsAcross = std::max<std::uint32_t>(1, width / static_cast<std::uint32_t>(
                                                         std::max(1, m_tileHeight)));
    m_targetWidth = m_cellsAcross * static_cast<std::uint32_t>(m_tileHeight);
    m_targetHeight = kCellRows * static_cast<std::uint32_t>(m_tileHeight);

    m_yawRate = -0.25f;
    m_pitch = 0.785398f;
    m_rollRate = 0.75f;
    const float s = static_cast<float>(m_tileWidth) * 0.5f * 0.75f;
    D3DMATRIX scaling, view, projection;
    const D3DVECTOR3 eye{0.0f, 0.0f, -2.0f * s}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
    D3DXMatrixScaling(&scaling, s, s, s);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixOrthoLH(&projection, static_cast<float>(m_targetWidth),
                      static_cast<float>(m_targetHeight), 1.0f, 5.0f * s);
    D3DXMatrixMultiply(&m_viewProjection, &scaling, &view);
    D3DXMatrixMultiply(&m_viewProjection, &m_viewProjection, &projection);
    m_viewport = {0, 0, m_targetWidth, m_targetHeight, 0.0f, 1.0f};

    const std::int32_t step = m_tileWidth + m_gap;
    const auto across = static_cast<float>(m_cellsAcross);
    for (std::uint32_t i = 0; i < kMaxEntries; ++i) {
        const auto left = static_cast<float>(m_leftMargin + static_cast<std::int32_t>(i) * step);
        const float right = left + static_cast<float>(m_tileWidth);
        const auto top = static_cast<float>(m_top);
        const float bottom = top + static_cast<float>(m_tileHeight);
        // Position i shows pattern i mod 16.
        const auto column = static_cast<float>(i % kAtlasColumns);
        const auto row = static_cast<float>((i / kAtlasColumns) % kAtlasColumns);
        const float u0 = kAtlasStep * column, u0End = kAtlasStep * (column + 1.0f);
        const float v0 = kAtlasStep * row, v0End = kAtlasStep * (row + 1.0f);
        const std::uint32_t l = i % m_cellsAcross;
        std::uint32_t r = i / m_cellsAcross;
        if (r > kCellRows - 1) {
            r -= kCellRows;
        }
        const auto fl = static_cast<float>(l), fr = static_cast<float>(r);
        const float u1 = (fl + kCellInset) / across, u1End = (fl + 1.0f - kCellInset) / across;
        const float v1 = 0.25f * fr, v1End = 0.25f * (fr + 1.0f);
        m_jewelCells[i] = {(fl + 0.5f) * 2.0f / across - 1.0f, 1.0f - (fr + 0.5f) * 2.0f * 0.25f,
                           0.0f, 0.0f};

        TileVertex* tile = Tile(i);
        const TileVertex corners[4] = {
            {left, top, 0.5f, 1.0f, 0, u0, v0, u1, v1},
            {right, top, 0.5f, 1.0f, 0, u0End, v0, u1End, v1},
            {left, bottom, 0.5f, 1.0f, 0, u0, v0End, u1, v1End},
            {right, bottom, 0.5f, 1.0f, 0, u0End, v0End, u1End, v1End},
        };
        constexpr int kOrder[kVerticesPerTile] = {0, 1, 2, 1, 3, 2};
        for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
            const std::uint32_t colour = tile[v].colour;
            tile[v] = corners[kOrder[v]];
            tile[v].colour = colour;
        }
    }
    m_firstVisible = 0;
    m_visibleCount = std::min(width / static_cast<std::uint32_t>(std::max(1, m_tileWidth)) + 1,
                              m_entryCount);
}

bool CTimbrePalette::HitTile(int x, int y) const {
    return TileIndexAt(x, y) >= 0;
}

int CTimbrePalette::TileIndexAt(int x, int y) const {
    const TileVertex* first = Tile(m_firstVisible);
    const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
    if (fy < first[0].y || fy > first[2].y) {
        return -1;
    }
    for (std::uint32_t i = 0; i < m_visibleCount; ++i) {
        const TileVertex* tile = Tile(m_firstVisible + i);
        if (tile[0].x < fx && fx < tile[1].x) {
            return static_cast<int>(m_firstVisible + i);
        }
    }
    return -1;
}

bool CTimbrePalette::IsOverBlankTile(int x, int y) const {
    const int position = TileIndexAt(x, y);
    const PaletteEntry* entry = position >= 0 ? EntryAt(static_cast<std::uint32_t>(position)) : nullptr;
    return entry && !entry->m_timbre;
}

bool CTimbrePalette::OnButtonDown(Window* window, int x, int y) {
    const int position = TileIndexAt(x, y);
    if (position < 0) {
        return false;
    }
    m_pointerState = 1;
    m_window = window;
    m_pressedEntry = EntryAt(static_cast<std::uint32_t>(position));
    if (m_pressedEntry && m_pressedEntry->m_timbre) {
        const TileVertex* tile = Tile(static_cast<std::uint32_t>(position));
        m_dragQuad = {tile[0], tile[1], tile[2], tile[4]};
    }
    m_lastX = x;
    m_lastY = y;
    return true;
}

bool CTimbrePalette::OnButtonUp(int y) {
    if (m_pointerState == 0) {
        return false;
    }
    if (m_pointerState == 2 && m_pressedEntry && m_pressedEntry->m_timbre && m_tileDrop) {
        m_tileDrop(y, *m_pressedEntry->m_timbre);
    }
    m_pointerState = 0;
    return true;
}

void CTimbrePalette::Update(float dt) {
    if (m_pointerState != 0 && m_window) {
        POINT cursor{};
        if (m_window->System().GetCursorPos(&cursor)) {
            m_window->ScreenToClient(&cursor);
            TrackPointer(cursor.x, cursor.y, dt);
        }
    }
    Scroll(dt);
}

void CTimbrePalette::TrackPointer(int x, int y, float dt) {
    if (x == m_lastX && y == m_lastY) {
        return;
    }
    if (y < m_top) {
        m_pointerState = 2;
        if (!m_pressedEntry || !m_pressedEntry->m_timbre) {
            return;
        }
        const float halfWidth = static_cast<float>(m_tileWidth) * 0.5f;
        const float halfHeight = static_cast<float>(m_tileHeight) * 0.5f;
        const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
        m_dragQuad[0].x = m_dragQuad[2].x = fx - halfWidth;
        m_dragQuad[1].x = m_dragQuad[3].x = fx + halfWidth;
        m_dragQuad[0].y = m_dragQuad[1].y = fy - halfHeight;
        m_dragQuad[2].y = m_dragQuad[3].y = fy + halfHeight;
    } else {
        m_pointerState = 1;
        const int dx = x - m_lastX;
        m_scrollBudget += static_cast<float>(std::abs(dx));
        m_scrollVelocity = static_cast<float>(dx) / std::max(dt, kShortestFrame);
    }
    m_lastX = x;
    m_lastY = y;
}

void CTimbrePalette::Scroll(float dt) {
    if (m_scrollBudget == 0.0f || m_visibleCount == 0) {
        return;
    }
    const auto width = static_cast<float>(m_width);
    const auto gap = static_cast<float>(m_gap);
    const auto step = static_cast<float>(m_tileWidth + m_gap);
    auto last = [this] { return Tile(m_firstVisible + m_visibleCount - 1); };
    auto stop = [this] { m_scrollBudget = m_scrollVelocity = 0.0f; };
    if (m_firstVisible == 0 && m_visibleCount == m_entryCount && Tile(0)[0].x == gap &&
        last()[1].x <= width - gap) {
        stop();  // the whole strip fits
        return;
    }

    float delta = m_scrollVelocity * kScrollShare * dt;
    m_scrollBudget = std::max(0.0f, m_scrollBudget - std::fabs(delta));

    const TileVertex* first = Tile(m_firstVisible);
    if (first[0].x + delta > static_cast<float>(m_leftMargin)) {
        if (m_firstVisible == 0) {
            delta = static_cast<float>(m_leftMargin) - first[0].x;
            stop();
        } else {
            TileVertex* before = Tile(m_firstVisible - 1);
            for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
                before[v].x = first[v].x - step;
            }
            --m_firstVisible;
            ++m_visibleCount;
        }
    }
    if (first[1].x + delta < 0.0f && m_visibleCount > 1) {
        ++m_firstVisible;
        --m_visibleCount;
    }
    if (last()[0].x + delta > width && m_visibleCount > 1) {
        --m_visibleCount;
    }
    if (last()[1].x + delta < width - gap) {
        if (m_firstVisible + m_visibleCount < m_entryCount) {
            const TileVertex* end = last();
            TileVertex* next = Tile(m_firstVisible + m_visibleCount);
            for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
                next[v].x = end[v].x + step;
            }
            ++m_visibleCount;
        } else {
            delta = width - gap - last()[1].x;
            stop();
        }
    }
    for (std::uint32_t i = 0; i < m_visibleCount; ++i) {
        TileVertex* tile = Tile(m_firstVisible + i);
        for (std::uint32_t v = 0; v < kVerticesPerTile; ++v) {
            tile[v].x += delta;
        }
    }
}
