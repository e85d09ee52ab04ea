#pragma once
// Shared by the gemforge tests: a mesh as the arrays a jewel file holds, and the measures that
// say whether it is a closed, outward-facing solid.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/gemforge/GemMesh.h"

struct MeshArrays {
    std::vector<GemVertex> vertices;
    std::vector<std::uint16_t> indices;
};

inline MeshArrays ArraysOf(const GemMesh& mesh) {
    return {mesh.Vertices(), mesh.Indices()};
}

inline Vec3 PositionOf(const GemVertex& v) {
    return {v.position[0], v.position[1], v.position[2]};
}
inline Vec3 NormalOf(const GemVertex& v) {
    return {v.normal[0], v.normal[1], v.normal[2]};
}

inline std::array<Vec3, 3> Corners(const MeshArrays& mesh, std::size_t triangle) {
    return {PositionOf(mesh.vertices[mesh.indices[3 * triangle]]),
            PositionOf(mesh.vertices[mesh.indices[3 * triangle + 1]]),
            PositionOf(mesh.vertices[mesh.indices[3 * triangle + 2]])};
}

inline Vec3 AreaVector(const std::array<Vec3, 3>& c) {
    return Cross(c[1] - c[0], c[2] - c[0]) * 0.5;
}

// Positive for a closed mesh whose triangles run counter-clockwise seen from outside.
inline double SignedVolume(const MeshArrays& mesh) {
    double volume = 0.0;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const auto c = Corners(mesh, t);
        volume += Dot(c[0], Cross(c[1], c[2])) / 6.0;
    }
    return volume;
}

// Every directed edge, by the positions of its ends, must appear once and its reverse once:
// then each edge joins exactly two triangles of opposite orientation. Returns the first fault.
inline std::string EdgeFault(const MeshArrays& mesh) {
    using Key = std::array<float, 6>;
    std::map<Key, int> directed;
    auto key = [&](std::uint16_t a, std::uint16_t b) {
        const GemVertex& p = mesh.vertices[a];
        const GemVertex& q = mesh.vertices[b];
        return Key{p.position[0], p.position[1], p.position[2],
                   q.position[0], q.position[1], q.position[2]};
    };
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        for (int e = 0; e < 3; ++e) {
            ++directed[key(mesh.indices[i + e], mesh.indices[i + (e + 1) % 3])];
        }
    }
    for (const auto& [edge, count] : directed) {
        const Key reverse{edge[3], edge[4], edge[5], edge[0], edge[1], edge[2]};
        const auto found = directed.find(reverse);
        const int back = found == directed.end() ? 0 : found->second;
        if (count != 1 || back != 1) {
            return "edge (" + std::to_string(edge[0]) + " " + std::to_string(edge[1]) + " " +
                   std::to_string(edge[2]) + ")-(" + std::to_string(edge[3]) + " " +
                   std::to_string(edge[4]) + " " + std::to_string(edge[5]) + ") runs " +
                   std::to_string(count) + " times forwards and " + std::to_string(back) +
                   " times backwards";
        }
    }
    return "";
}

// The mean half extent of the positions, and the centre of their bounding box.
inline double MeanHalfExtent(const MeshArrays& mesh, Vec3* centre = nullptr) {
    Vec3 low = PositionOf(mesh.vertices.front());
    Vec3 high = low;
    for (const GemVertex& v : mesh.vertices) {
        const Vec3 p = PositionOf(v);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    if (centre) {
        *centre = (low + high) * 0.5;
    }
    return ((high.x - low.x) + (high.y - low.y) + (high.z - low.z)) / 6.0;
}

// The greatest distance of any vertex in front of any triangle's plane: about 0 for a
// convex mesh, clearly positive where it has a dent.
inline double LargestDent(const MeshArrays& mesh) {
    double dent = 0.0;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const auto c = Corners(mesh, t);
        const Vec3 n = Normalised(AreaVector(c));
        for (const GemVertex& v : mesh.vertices) {
            dent = std::max(dent, Dot(PositionOf(v) - c[0], n));
        }
    }
    return dent;
}
