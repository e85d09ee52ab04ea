// The jewel generator: its mesh builder and hull, every shipped shape (a closed solid of flat,
// outward facets, centred, of one size, distinct, all together within what the library holds),
// and the tool itself, run as the build runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tools/gemforge/GemFile.h"
#include "tools/gemforge/GemMesh.h"
#include "tools/gemforge/GemShapes.h"

namespace {

namespace fs = std::filesystem;

// A mesh as the arrays a jewel file holds.
struct MeshArrays {
    std::vector<GemVertex> vertices;
    std::vector<std::uint16_t> indices;
};
MeshArrays ArraysOf(const GemMesh& mesh) {
    return {mesh.Vertices(), mesh.Indices()};
}
Vec3 V(const float* f) {
    return {f[0], f[1], f[2]};
}
std::array<Vec3, 3> Corners(const MeshArrays& mesh, std::size_t t) {
    return {V(mesh.vertices[mesh.indices[3 * t]].position),
            V(mesh.vertices[mesh.indices[3 * t + 1]].position),
            V(mesh.vertices[mesh.indices[3 * t + 2]].position)};
}
Vec3 AreaVector(const std::array<Vec3, 3>& c) {
    return Cross(c[1] - c[0], c[2] - c[0]) * 0.5;
}

// Positive for a closed mesh whose triangles run counter-clockwise seen from outside.
double SignedVolume(const MeshArrays& mesh) {
    double volume = 0.0;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const auto c = Corners(mesh, t);
        volume += Dot(c[0], Cross(c[1], c[2])) / 6.0;
    }
    return volume;
}

// Every directed edge, by the positions of its ends, must appear once and its reverse once:
// then each edge joins exactly two triangles of opposite orientation. Returns the faults.
int EdgeFaults(const MeshArrays& mesh) {
    using Key = std::array<float, 6>;
    std::map<Key, int> directed;
    for (std::size_t i = 0; i < mesh.indices.size(); ++i) {
        const float* p = mesh.vertices[mesh.indices[i]].position;
        const float* q = mesh.vertices[mesh.indices[i - i % 3 + (i + 1) % 3]].position;
        ++directed[{p[0], p[1], p[2], q[0], q[1], q[2]}];
    }
    int faults = 0;
    for (const auto& [e, count] : directed) {
        const auto reverse = directed.find({e[3], e[4], e[5], e[0], e[1], e[2]});
        faults += count != 1 || reverse == directed.end() || reverse->second != 1;
    }
    return faults;
}

// The mean half extent of the positions, and the centre of their bounding box.
double MeanHalfExtent(const MeshArrays& mesh, Vec3* centre) {
    Vec3 low = V(mesh.vertices.front().position), high = low;
    for (const GemVertex& v : mesh.vertices) {
        const Vec3 p = V(v.position);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    *centre = (low + high) * 0.5;
    return ((high.x - low.x) + (high.y - low.y) + (high.z - low.z)) / 6.0;
}

// The greatest distance of any vertex in front of any triangle's plane: about 0 for a convex
// mesh, clearly positive where it has a dent.
double LargestDent(const MeshArrays& mesh) {
    double dent = 0.0;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const auto c = Corners(mesh, t);
        const Vec3 n = Normalised(AreaVector(c));
        for (const GemVertex& v : mesh.vertices) {
            dent = std::max(dent, Dot(V(v.position) - c[0], n));
        }
    }
    return dent;
}

TEST(GemShapes, EveryShapeIsADistinctClosedCentredSolidOfFlatOutwardFacets) {
    const std::vector<GemShape> shapes = BuildGemShapes();
    ASSERT_GE(shapes.size(), 24u);
    ASSERT_LE(shapes.size(), 32u) << "the library loads 32 meshes at most";
    // Edge and volume checks show the facets as a whole face outwards; with no vertex in front
    // of any facet's plane, each one does. Only the shapes designed with dents have any.
    const std::set<std::string> dented = {"heart", "star", "flower", "cross"};
    std::set<std::string> names;
    std::map<std::pair<std::size_t, long>, std::string> seen;  // vertices and volume
    std::size_t vertices = 0, indices = 0;
    for (const GemShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const MeshArrays mesh = ArraysOf(shape.mesh);
        EXPECT_TRUE(names.insert(shape.name).second) << "twice";
        EXPECT_EQ(shape.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string::npos);
        vertices += mesh.vertices.size();
        indices += mesh.indices.size();
        ASSERT_FALSE(mesh.indices.empty());
        ASSERT_EQ(mesh.indices.size() % 3, 0u);
        ASSERT_LT(*std::max_element(mesh.indices.begin(), mesh.indices.end()),
                  mesh.vertices.size());
        EXPECT_EQ(EdgeFaults(mesh), 0);
        const double volume = SignedVolume(mesh);
        EXPECT_GT(volume, 0.5) << "inside out, or flat";
        const auto [other, distinct] =
            seen.emplace(std::pair(mesh.vertices.size(), std::lround(volume * 1e4)), shape.name);
        EXPECT_TRUE(distinct) << "looks like " << other->second;
        for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
            const Vec3 area = AreaVector(Corners(mesh, t));
            ASSERT_GT(Length(area), 1e-6) << "triangle " << t << " has no area";
            for (int k = 0; k < 3; ++k) {
                const Vec3 stored = V(mesh.vertices[mesh.indices[3 * t + k]].normal);
                EXPECT_NEAR(Length(stored), 1.0, 1e-6) << "triangle " << t;
                EXPECT_LT(Length(stored - Normalised(area)), 1e-4) << "triangle " << t;
            }
        }
        const double dent = LargestDent(mesh);
        EXPECT_TRUE(dented.count(shape.name) ? dent > 0.01 : dent < 1e-5) << "dent " << dent;
        Vec3 centre;
        EXPECT_NEAR(MeanHalfExtent(mesh, &centre), 1.0, 1e-5);
        EXPECT_LT(Length(centre), 1e-5);
    }
    EXPECT_LT(vertices, 65536u);
    EXPECT_LT(indices, 60000u);
}

// The tool without a folder fails with usage; given one, twice, it writes every shape, the same
// bytes each run, and what the library writes; a mesh 16-bit indices cannot count is refused.
TEST(GemFile, GeneratorWritesEveryShapeAndTheSameBytesEachRun) {
    tovel_test::TempDir dir;
    auto run = [&](const std::vector<std::string>& args) {
        return tovel_test::RunProgram(TOVEL_GEMFORGE_PATH, args, {}, dir).status;
    };
    EXPECT_EQ(run({}), 2);
    const fs::path runs[2] = {dir.Path() / "first" / "Jewels", dir.Path() / "second" / "Jewels"};
    for (const fs::path& folder : runs) {
        ASSERT_EQ(run({folder.string()}), 0);
    }
    const std::vector<GemShape> shapes = BuildGemShapes();
    ASSERT_EQ(std::distance(fs::directory_iterator(runs[0]), fs::directory_iterator()),
              static_cast<long>(shapes.size()));
    for (const GemShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string name = shape.name + ".gem";
        ASSERT_TRUE(fs::exists(runs[0] / name));
        const std::string first = tovel_test::ReadFile(runs[0] / name);
        EXPECT_EQ(first, tovel_test::ReadFile(runs[1] / name));
        ASSERT_EQ(WriteGem(dir.Path() / name, shape.mesh), S_OK);
        EXPECT_EQ(first, tovel_test::ReadFile(dir.Path() / name)) << "the tool and the library";
    }
    GemMesh huge;  // 65 538 indices, more than 16 bits count
    const Vec3 triangle[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < 21846; ++i) {
        huge.AddFacet(triangle);
    }
    EXPECT_EQ(WriteGem(dir.Path() / "huge.gem", huge), E_INVALIDARG);
    EXPECT_FALSE(fs::exists(dir.Path() / "huge.gem"));
}

}  // namespace
