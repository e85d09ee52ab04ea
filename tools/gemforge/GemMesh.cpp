#include "tools/gemforge/GemMesh.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace {

// Newell's sum: robust for polygons with corners on straight runs.
Vec3 FacetNormal(const std::vector<Vec3>& corners) {
    Vec3 sum;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3& a = corners[i];
        const Vec3& b = corners[(i + 1) % corners.size()];
        sum = sum +
              Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y)};
    }
    return Normalised(sum);
}

struct Triangulation {
    std::vector<Vec3> corners;
    std::vector<std::uint16_t> triangles;
};

bool IsStraight(const Vec3& prev, const Vec3& here, const Vec3& next, const Vec3& normal) {
    return Dot(Cross(here - prev, next - here), normal) < 1e-12;
}

// A fan from the first corner, or from the centre when a corner lies on a straight run: a fan
// from a corner next to such a run would hold a triangle of no area.
Triangulation Triangulate(const std::vector<Vec3>& facet) {
    const Vec3 normal = FacetNormal(facet);
    const std::size_t n = facet.size();
    bool straight = false;
    for (std::size_t i = 0; i < n; ++i) {
        straight =
            straight || IsStraight(facet[(i + n - 1) % n], facet[i], facet[(i + 1) % n], normal);
    }
    Triangulation result{facet, {}};
    if (!straight) {
        for (std::size_t i = 1; i + 1 < n; ++i) {
            result.triangles.insert(result.triangles.end(), {0, static_cast<std::uint16_t>(i),
                                                             static_cast<std::uint16_t>(i + 1)});
        }
        return result;
    }
    Vec3 centre;
    for (const Vec3& p : facet) {
        centre = centre + p * (1.0 / static_cast<double>(n));
    }
    result.corners.push_back(centre);
    for (std::size_t i = 0; i < n; ++i) {
        result.triangles.insert(result.triangles.end(),
                                {static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(i),
                                 static_cast<std::uint16_t>((i + 1) % n)});
    }
    return result;
}

}  // namespace

double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}

Vec3 Normalised(Vec3 a) {
    const double length = Length(a);
    assert(length > 0.0 && "a direction needs a non-zero vector");
    return a * (1.0 / length);
}

void GemMesh::AddFacet(std::span<const Vec3> corners) {
    assert(corners.size() >= 3 && "a facet needs three corners");
    m_facets.emplace_back(corners.begin(), corners.end());
}

void GemMesh::Normalise() {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    Vec3 low{kInf, kInf, kInf};
    Vec3 high{-kInf, -kInf, -kInf};
    for (const auto& facet : m_facets) {
        for (const Vec3& p : facet) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
    }
    const Vec3 centre = (low + high) * 0.5;
    const Vec3 extent = high - low;
    const double scale = 6.0 / (extent.x + extent.y + extent.z);
    for (auto& facet : m_facets) {
        for (Vec3& p : facet) {
            const Vec3 q = (p - centre) * scale;
            p = {-q.x, q.y, -q.z};
        }
    }
}

std::vector<GemVertex> GemMesh::Vertices() const {
    std::vector<GemVertex> vertices;
    for (const auto& facet : m_facets) {
        const Vec3 n = FacetNormal(facet);
        for (const Vec3& p : Triangulate(facet).corners) {
            vertices.push_back(
                {{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)},
                 {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)}});
        }
    }
    return vertices;
}

std::vector<std::uint16_t> GemMesh::Indices() const {
    std::vector<std::uint16_t> indices;
    std::size_t first = 0;
    for (const auto& facet : m_facets) {
        const Triangulation triangulation = Triangulate(facet);
        for (std::uint16_t local : triangulation.triangles) {
            indices.push_back(static_cast<std::uint16_t>(first + local));
        }
        first += triangulation.corners.size();
    }
    return indices;
}
