// Every shipped jewel: a closed solid of flat, outward facets, centred, of one common size,
// distinct from the others, and all of them together within what the jewel library can hold.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/tools/GemforgeTestSupport.h"
#include "tools/gemforge/GemShapes.h"

namespace {

struct BuiltShape {
    std::string name;
    MeshArrays mesh;
};

class GemShapes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const GemShape& shape : BuildGemShapes()) {
            s_shapes.push_back({shape.name, ArraysOf(shape.mesh)});
        }
    }
    static std::vector<BuiltShape> s_shapes;
};

std::vector<BuiltShape> GemShapes::s_shapes;

TEST_F(GemShapes, EveryShapeIsAClosedSolidWithOutwardFlatFacets) {
    for (const BuiltShape& shape : s_shapes) {
        SCOPED_TRACE(shape.name);
        const MeshArrays& mesh = shape.mesh;
        ASSERT_FALSE(mesh.indices.empty());
        ASSERT_EQ(mesh.indices.size() % 3, 0u);
        for (std::uint16_t index : mesh.indices) {
            ASSERT_LT(index, mesh.vertices.size());
        }
        EXPECT_EQ(EdgeFault(mesh), "");
        EXPECT_GT(SignedVolume(mesh), 0.5) << "inside out, or flat";
        for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
            const Vec3 area = AreaVector(Corners(mesh, t));
            ASSERT_GT(Length(area), 1e-6) << "triangle " << t << " has no area";
            const Vec3 geometric = Normalised(area);
            for (int k = 0; k < 3; ++k) {
                const Vec3 stored = NormalOf(mesh.vertices[mesh.indices[3 * t + k]]);
                EXPECT_NEAR(Length(stored), 1.0, 1e-6) << "triangle " << t;
                EXPECT_LT(Length(stored - geometric), 1e-4) << "triangle " << t;
            }
        }
    }
}

// Edge and volume checks show the facets as a whole face outwards; with no vertex in front of
// any facet's plane, each one does. Only the shapes designed with dents have any.
TEST_F(GemShapes, OnlyTheShapesWithDentsAreNotConvex) {
    const std::set<std::string> dented = {"heart", "star", "flower", "cross"};
    for (const BuiltShape& shape : s_shapes) {
        SCOPED_TRACE(shape.name);
        const double dent = LargestDent(shape.mesh);
        if (dented.count(shape.name)) {
            EXPECT_GT(dent, 0.01);
            continue;
        }
        EXPECT_LT(dent, 1e-5);
    }
}

TEST_F(GemShapes, EveryShapeIsCentredAtUnitSize) {
    for (const BuiltShape& shape : s_shapes) {
        SCOPED_TRACE(shape.name);
        Vec3 centre;
        const double size = MeanHalfExtent(shape.mesh, &centre);
        EXPECT_NEAR(size, 1.0, 1e-5);
        EXPECT_LT(Length(centre), 1e-5);
    }
}

TEST_F(GemShapes, ShapesAreDistinctAndFitTheLibrary) {
    ASSERT_GE(s_shapes.size(), 24u);
    ASSERT_LE(s_shapes.size(), 32u) << "the library loads 32 meshes at most";
    std::set<std::string> names;
    std::size_t vertices = 0;
    std::size_t indices = 0;
    for (std::size_t i = 0; i < s_shapes.size(); ++i) {
        const BuiltShape& shape = s_shapes[i];
        EXPECT_TRUE(names.insert(shape.name).second) << shape.name << " twice";
        EXPECT_EQ(shape.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string::npos)
            << shape.name;
        vertices += shape.mesh.vertices.size();
        indices += shape.mesh.indices.size();
        for (std::size_t j = 0; j < i; ++j) {
            const BuiltShape& other = s_shapes[j];
            const bool same = other.mesh.vertices.size() == shape.mesh.vertices.size() &&
                              std::abs(SignedVolume(other.mesh) - SignedVolume(shape.mesh)) < 1e-4;
            EXPECT_FALSE(same) << shape.name << " looks like " << other.name;
        }
    }
    EXPECT_LT(vertices, 65536u);
    EXPECT_LT(indices, 60000u);
}

}  // namespace
