#pragma once
// A jewel mesh under construction: flat convex facets in double precision, turned at the end
// into the triangle list a jewel file carries, every facet with its own vertices and normal.

#include <cstdint>
#include <span>
#include <vector>

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec3 a);
Vec3 Normalised(Vec3 a);

// The on-disk vertex: position, then unit normal, 24 bytes.
struct GemVertex {
    float position[3];
    float normal[3];
};
static_assert(sizeof(GemVertex) == 24, "a jewel file stores six floats per vertex");

class GemMesh {
public:
    // corners: a planar convex polygon, counter-clockwise seen from outside. Corners on a
    // straight run of the outline are allowed (a neighbouring facet may need them to close the
    // edge) and never make a degenerate triangle.
    void AddFacet(std::span<const Vec3> corners);

    // Centres the bounding box on the origin, scales to a mean half extent of 1 and turns the
    // shape half round the y axis, so that a crown built facing +z faces the cameras, which look
    // along +z.
    void Normalise();

    std::size_t FacetCount() const { return m_facets.size(); }
    std::vector<GemVertex> Vertices() const;
    // Triangles as three indices each, counter-clockwise seen from outside.
    std::vector<std::uint16_t> Indices() const;

private:
    std::vector<std::vector<Vec3>> m_facets;
};
