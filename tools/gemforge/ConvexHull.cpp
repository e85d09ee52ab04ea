#include "tools/gemforge/ConvexHull.h"

#include <algorithm>
#include <cmath>

namespace {

// Distances below this count as on the plane; jewel points lie about 1 from the centre and
// facets are far larger than this.
constexpr double kOnPlane = 1e-9;

std::vector<Vec3> WithoutDuplicates(std::span<const Vec3> points) {
    std::vector<Vec3> kept;
    for (const Vec3& p : points) {
        const bool seen = std::any_of(kept.begin(), kept.end(),
                                      [&](const Vec3& q) { return Length(p - q) < kOnPlane; });
        if (!seen) {
            kept.push_back(p);
        }
    }
    return kept;
}

// The boundary of points that lie in one plane with unit normal n, counter-clockwise about n,
// by Andrew's monotone chain in a basis of the plane; points on straight runs are kept.
std::vector<Vec3> PlanarBoundary(std::vector<Vec3> points, Vec3 n) {
    const Vec3 u = Normalised(points[1] - points[0]);
    const Vec3 v = Cross(n, u);
    auto less = [&](const Vec3& a, const Vec3& b) {
        const double au = Dot(a, u);
        const double bu = Dot(b, u);
        return au < bu - kOnPlane || (std::abs(au - bu) <= kOnPlane && Dot(a, v) < Dot(b, v));
    };
    std::sort(points.begin(), points.end(), less);
    auto turn = [&](const Vec3& a, const Vec3& b, const Vec3& c) {
        return Dot(Cross(b - a, c - a), n);
    };
    std::vector<Vec3> chain;
    auto sweep = [&](auto begin, auto end) {
        const std::size_t base = chain.size();
        for (auto it = begin; it != end; ++it) {
            while (chain.size() >= base + 2 &&
                   turn(chain[chain.size() - 2], chain.back(), *it) < -kOnPlane) {
                chain.pop_back();
            }
            chain.push_back(*it);
        }
        chain.pop_back();  // the last point starts the other half
    };
    sweep(points.begin(), points.end());
    sweep(points.rbegin(), points.rend());
    return chain;
}

}  // namespace

std::vector<std::vector<Vec3>> HullFacets(std::span<const Vec3> input) {
    const std::vector<Vec3> points = WithoutDuplicates(input);
    const std::size_t count = points.size();
    std::vector<std::vector<bool>> facetPoints;  // which points lie on each facet found
    std::vector<std::vector<Vec3>> facets;
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            for (std::size_t k = j + 1; k < count; ++k) {
                const bool known = std::any_of(
                    facetPoints.begin(), facetPoints.end(),
                    [&](const std::vector<bool>& on) { return on[i] && on[j] && on[k]; });
                const Vec3 cross = Cross(points[j] - points[i], points[k] - points[i]);
                // Nearly collinear triples give no trustworthy plane; a wider triple will.
                if (known || Length(cross) < 1e-6) {
                    continue;
                }
                Vec3 n = Normalised(cross);
                double above = 0.0;
                double below = 0.0;
                for (const Vec3& p : points) {
                    const double d = Dot(p - points[i], n);
                    above = std::max(above, d);
                    below = std::min(below, d);
                }
                if (above > kOnPlane && below < -kOnPlane) {
                    continue;
                }
                if (above > kOnPlane) {
                    n = n * -1.0;
                }
                std::vector<bool> on(count);
                std::vector<Vec3> planar;
                for (std::size_t m = 0; m < count; ++m) {
                    on[m] = std::abs(Dot(points[m] - points[i], n)) <= kOnPlane;
                    if (on[m]) {
                        planar.push_back(points[m]);
                    }
                }
                facetPoints.push_back(std::move(on));
                facets.push_back(PlanarBoundary(std::move(planar), n));
            }
        }
    }
    return facets;
}

void AddHull(GemMesh& mesh, std::span<const Vec3> points) {
    for (const std::vector<Vec3>& facet : HullFacets(points)) {
        mesh.AddFacet(facet);
    }
}
