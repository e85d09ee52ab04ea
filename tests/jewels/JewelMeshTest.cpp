#include "jewels/JewelMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>
#include <vector>

#include "container/ContainerFile.h"
#include "container/Vendra.h"
#include "tests/jewels/TestGems.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::GemTree;
using tovel_test::TestShape;

class GemFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // Writes a jewel file; change may damage the tree before it is written.
    fs::path Write(const TestShape& shape, const std::function<void(CVendra&)>& change = {},
                   std::uint32_t vertexCount = UINT32_MAX, std::uint32_t indexCount = UINT32_MAX) {
        const std::unique_ptr<CVendra> tree = GemTree(shape, vertexCount, indexCount);
        if (change) {
            change(*tree);
        }
        const fs::path path = dir / ("mesh" + std::to_string(++files) + ".gem");
        EXPECT_EQ(WriteContainer(path, *tree), S_OK);
        return path;
    }

    const fs::path dir = tovel_test::TestTempPath("tovel-jewels-");
    int files = 0;
};

TEST_F(GemFileTest, LoadsWhatWasWrittenAndMeasuresIt) {
    const TestShape cube = tovel_test::Cube();
    JewelMesh mesh;
    ASSERT_EQ(LoadGem(Write(cube), mesh), S_OK);
    EXPECT_EQ(mesh.vertexCount, 8u);
    EXPECT_EQ(mesh.triangleCount, 12u);
    EXPECT_EQ(std::memcmp(mesh.vertices.get(), cube.vertices.data(), 8 * 24), 0);
    EXPECT_EQ(std::memcmp(mesh.indices.get(), cube.indices.data(), 36 * 2), 0);
    EXPECT_EQ(MeasureJewelMesh(mesh), 1.0f) << "a cube at +-1 has size 1";

    // Index counts that are not a multiple of three drop the unfinished triangle.
    JewelMesh partial;
    ASSERT_EQ(LoadGem(Write(cube, {}, UINT32_MAX, 35), partial), S_OK);
    EXPECT_EQ(partial.triangleCount, 11u);

    // A copy owns buffers of its own and keeps its place in a list.
    JewelMesh copy;
    copy.firstVertex = 77;
    mesh.size = 1.0f;
    ASSERT_TRUE(CopyJewelMesh(copy, mesh));
    EXPECT_NE(copy.vertices.get(), mesh.vertices.get());
    EXPECT_EQ(std::memcmp(copy.vertices.get(), mesh.vertices.get(), 8 * 24), 0);
    EXPECT_EQ(std::memcmp(copy.indices.get(), mesh.indices.get(), 36 * 2), 0);
    EXPECT_EQ(copy.size, 1.0f);
    EXPECT_EQ(copy.firstVertex, 77u);
}

TEST_F(GemFileTest, IncompleteOrInconsistentFilesAreRefused) {
    const TestShape cube = tovel_test::Cube();
    auto refused = [&](const fs::path& path, const char* what) {
        JewelMesh mesh;
        EXPECT_EQ(LoadGem(path, mesh), E_INVALIDARG) << what;
        EXPECT_EQ(mesh.vertexCount, 0u) << what;
        EXPECT_EQ(mesh.vertices, nullptr) << what;
    };
    refused(dir / "missing.gem", "no such file");
    refused(Write(cube,
                  [](CVendra& t) {
                      t.m_firstLayer->m_id = 3;
                      t.m_firstLayer->m_extension->m_id = 3;
                  }),
            "no layer 0");
    refused(Write(cube, [](CVendra& t) { t.m_firstLayer->m_extension.reset(); }), "no extension");
    refused(Write(cube, {}, 9), "more vertices than data");
    refused(Write(cube, {}, UINT32_MAX, 39), "more indices than data");
    refused(Write(cube, {}, 70000), "beyond 16-bit indices");
    refused(Write(cube, {}, UINT32_MAX, 2), "no whole triangle");
    TestShape wild = cube;
    wild.indices[5] = 8;
    refused(Write(wild), "index outside the mesh");
    TestShape nan = cube;
    nan.vertices[3 * 6 + 1] = std::nanf("");
    refused(Write(nan), "position not a number");

    // A file whose layer lacks a count element.
    refused(Write(cube,
                  [](CVendra& t) {
                      t.m_firstLayer->m_firstElement->m_next.reset();
                      t.m_firstLayer->m_count = 1;
                  }),
            "no index count");
}

TEST(JewelMeshTest, RangesCoverRunsOfTheList) {
    // Three meshes of 10, 4 and 6 vertices with 6, 2 and 3 triangles, laid out as in the library.
    JewelMeshList list;
    const std::uint32_t layout[3][4] = {{10, 6, 0, 0}, {4, 2, 10, 18}, {6, 3, 14, 24}};
    for (const auto& [vertices, triangles, firstVertex, firstIndex] : layout) {
        auto mesh = std::make_unique<JewelMesh>();
        mesh->vertexCount = vertices;
        mesh->triangleCount = static_cast<std::uint16_t>(triangles);
        mesh->firstVertex = firstVertex;
        mesh->firstIndex = firstIndex;
        list.Append(std::move(mesh));
    }
    JewelMesh& head = *list;

    // {first mesh, meshes asked for}: meshes found, first vertex and index, vertices, triangles.
    const std::uint32_t cases[][7] = {
        {1, 1, 1, 10, 18, 4, 2}, {0, 5, 3, 0, 0, 20, 11} /* stops at the end */, {3, 2, 0}};
    for (const auto& c : cases) {
        MeshRange r;
        EXPECT_EQ(GetMeshRange(&head, c[0], c[1], &r), c[2]);
        EXPECT_EQ(std::tuple(c[3], c[4], c[5], c[6]),
                  std::tuple(r.firstVertex, r.firstIndex, r.vertexTotal, r.triangleTotal))
            << "from " << c[0];
    }

    // A long list goes without using the stack for each mesh.
    for (int i = 0; i < 200000; ++i) {
        list.Append(std::make_unique<JewelMesh>());
    }
}

TEST(JewelFolderTest, EveryJewelTheBuildMadeLoads) {
    int loaded = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(TOVEL_JEWELS_DIR)) {
        const fs::path name = entry.path();
        JewelMesh mesh;
        ASSERT_EQ(LoadGem(name, mesh), S_OK) << name;
        ++loaded;
        EXPECT_GT(mesh.triangleCount, 0u) << name;
        EXPECT_NEAR(MeasureJewelMesh(mesh), 1.0f, 0.25f) << name;
    }
    EXPECT_GE(loaded, 24);
}

}  // namespace
