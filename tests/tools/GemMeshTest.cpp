// The mesh builder and the hull: triangulation, normals, normalising, merged facets.

#include <gtest/gtest.h>

#include <vector>

#include "tests/tools/GemforgeTestSupport.h"
#include "tools/gemforge/ConvexHull.h"
#include "tools/gemforge/GemMesh.h"

namespace {

// A box from low to high, each side a square facet.
GemMesh Box(Vec3 low, Vec3 high) {
    const Vec3 c[8] = {{low.x, low.y, low.z},    {high.x, low.y, low.z}, {high.x, high.y, low.z},
                       {low.x, high.y, low.z},   {low.x, low.y, high.z}, {high.x, low.y, high.z},
                       {high.x, high.y, high.z}, {low.x, high.y, high.z}};
    const int sides[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    GemMesh mesh;
    for (const auto& side : sides) {
        const Vec3 facet[] = {c[side[0]], c[side[1]], c[side[2]], c[side[3]]};
        mesh.AddFacet(facet);
    }
    return mesh;
}

TEST(GemMesh, BoxHasItsOwnVerticesPerFacetAndOutwardNormals) {
    const MeshArrays box = ArraysOf(Box({-1, -1, -1}, {1, 1, 1}));
    ASSERT_EQ(box.vertices.size(), 24u);
    ASSERT_EQ(box.indices.size(), 36u);
    EXPECT_EQ(EdgeFault(box), "");
    EXPECT_NEAR(SignedVolume(box), 8.0, 1e-9);
    EXPECT_NEAR(NormalOf(box.vertices[box.indices[0]]).z, -1.0, 1e-9) << "the side at z = -1";
}

TEST(GemMesh, NormaliseCentresScalesAndTurnsTheCrownTowardsMinusZ) {
    GemMesh box = Box({3, 1, 5}, {5, 5, 11});  // extents 2, 4, 6: mean half extent 2
    box.Normalise();
    const MeshArrays arrays = ArraysOf(box);
    Vec3 centre;
    EXPECT_NEAR(MeanHalfExtent(arrays, &centre), 1.0, 1e-6);
    EXPECT_NEAR(Length(centre), 0.0, 1e-6);
    EXPECT_EQ(EdgeFault(arrays), "");
    EXPECT_NEAR(SignedVolume(arrays), 2.0 * 4.0 * 6.0 / 8.0, 1e-5) << "a turn, not a mirror";
    // The face that looked along +z now looks along -z.
    EXPECT_NEAR(NormalOf(arrays.vertices[4]).z, -1.0, 1e-6);
}

TEST(GemMesh, CornerOnAStraightRunGetsAFanFromTheCentre) {
    GemMesh mesh;
    const Vec3 square[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    mesh.AddFacet(square);
    const MeshArrays arrays = ArraysOf(mesh);
    ASSERT_EQ(arrays.vertices.size(), 6u);
    ASSERT_EQ(arrays.indices.size(), 15u);
    double area = 0.0;
    for (std::size_t t = 0; t < 5; ++t) {
        const Vec3 a = AreaVector(Corners(arrays, t));
        EXPECT_GT(a.z, 0.1) << "triangle " << t << " has no area or faces down";
        area += a.z;
    }
    EXPECT_NEAR(area, 4.0, 1e-9);
}

TEST(TestSupport, EdgeFaultFindsOpenAndFlippedEdges) {
    MeshArrays box = ArraysOf(Box({-1, -1, -1}, {1, 1, 1}));
    MeshArrays open = box;
    open.indices.resize(33);
    EXPECT_NE(EdgeFault(open), "");
    std::swap(box.indices[0], box.indices[1]);
    EXPECT_NE(EdgeFault(box), "");
    EXPECT_GT(LargestDent(box), 0.0);
}

TEST(ConvexHull, MergesCoplanarFacesAndLeavesInnerPointsOut) {
    // Inside, inside the face z = 1, and on the edge between faces x = 1 and z = 1.
    std::vector<Vec3> points = {{0.2, 0.1, -0.4}, {0.5, 0.5, 1}, {1, 0.5, 1}};
    for (double x : {-1.0, 1.0}) {
        for (double y : {-1.0, 1.0}) {
            for (double z : {-1.0, 1.0}) {
                points.push_back({x, y, z});
            }
        }
    }
    const std::vector<std::vector<Vec3>> facets = HullFacets(points);
    ASSERT_EQ(facets.size(), 6u);
    std::size_t corners = 0;
    for (const auto& facet : facets) {
        corners += facet.size();
    }
    EXPECT_EQ(corners, 24u + 2u) << "the point on an edge belongs to both its facets";
    GemMesh mesh;
    AddHull(mesh, points);
    const MeshArrays arrays = ArraysOf(mesh);
    EXPECT_EQ(EdgeFault(arrays), "");
    EXPECT_NEAR(SignedVolume(arrays), 8.0, 1e-9);
    EXPECT_LT(LargestDent(arrays), 1e-9);
}

TEST(ConvexHull, TetrahedronFromDuplicatedPoints) {
    const Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}};
    GemMesh mesh;
    AddHull(mesh, points);
    const MeshArrays arrays = ArraysOf(mesh);
    EXPECT_EQ(mesh.FacetCount(), 4u);
    EXPECT_EQ(arrays.vertices.size(), 12u);
    EXPECT_EQ(EdgeFault(arrays), "");
    EXPECT_NEAR(SignedVolume(arrays), 1.0 / 6.0, 1e-12);
}

}  // namespace
