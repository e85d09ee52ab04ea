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
#include "jewels/JewelFolder.h"
#include "platform/system/SystemServices.h"
#include "tests/jewels/TestGems.h"

namespace {

namespace fs = std::filesystem;
using tovel_test::TestShape;

class GemFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    // Writes a jewel file; change may damage the tree before it is written.
    fs::path Write(const TestShape& shape, const std::function<void(CVendra&)>& change = {},
                   std::uint32_t vertexCount = UINT32_MAX, std::uint32_t indexCount = UINT32_MAX) {
        const std::unique_ptr<CVendra> tree = tovel_test::GemTree(shape, vertexCount, indexCount);
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
    JewelMesh mesh, partial, copy;
    ASSERT_EQ(LoadGem(Write(cube), mesh), S_OK);
    EXPECT_EQ(std::pair(8u, 12u), std::pair(mesh.vertexCount, std::uint32_t{mesh.triangleCount}));
    EXPECT_EQ(std::memcmp(mesh.vertices.get(), cube.vertices.data(), 8 * 24), 0);
    EXPECT_EQ(std::memcmp(mesh.indices.get(), cube.indices.data(), 36 * 2), 0);
    EXPECT_EQ(MeasureJewelMesh(mesh), 1.0f) << "a cube at +-1 has size 1";
    // Index counts that are not a multiple of three drop the unfinished triangle.
    ASSERT_EQ(LoadGem(Write(cube, {}, UINT32_MAX, 35), partial), S_OK);
    EXPECT_EQ(partial.triangleCount, 11u);
    // A copy owns buffers of its own and keeps its place in a list.
    copy.firstVertex = 77;
    mesh.size = 1.0f;
    ASSERT_TRUE(CopyJewelMesh(copy, mesh));
    EXPECT_NE(copy.vertices.get(), mesh.vertices.get());
    EXPECT_EQ(std::memcmp(copy.indices.get(), mesh.indices.get(), 36 * 2), 0);
    EXPECT_EQ(std::pair(1.0f, 77u), std::pair(copy.size, copy.firstVertex));
}

TEST_F(GemFileTest, IncompleteOrInconsistentFilesAreRefused) {
    const TestShape cube = tovel_test::Cube();
    TestShape wild = cube, nan = cube;
    wild.indices[5] = 8;
    nan.vertices[3 * 6 + 1] = std::nanf("");
    const std::pair<const char*, fs::path> cases[] = {
        {"no such file", dir / "missing.gem"},
        {"no layer 0", Write(cube,
                             [](CVendra& t) {
                                 t.m_firstLayer->m_id = 3;
                                 t.m_firstLayer->m_extension->m_id = 3;
                             })},
        {"no extension", Write(cube, [](CVendra& t) { t.m_firstLayer->m_extension.reset(); })},
        {"no index count", Write(cube,
                                 [](CVendra& t) {
                                     t.m_firstLayer->m_firstElement->m_next.reset();
                                     t.m_firstLayer->m_count = 1;
                                 })},
        {"more vertices than data", Write(cube, {}, 9)},
        {"more indices than data", Write(cube, {}, UINT32_MAX, 39)},
        {"beyond 16-bit indices", Write(cube, {}, 70000)},
        {"no whole triangle", Write(cube, {}, UINT32_MAX, 2)},
        {"index outside the mesh", Write(wild)},
        {"position not a number", Write(nan)},
    };
    for (const auto& [what, path] : cases) {
        JewelMesh mesh;
        EXPECT_EQ(LoadGem(path, mesh), E_INVALIDARG) << what;
        EXPECT_EQ(std::pair(0u, static_cast<float*>(nullptr)),
                  std::pair(mesh.vertexCount, mesh.vertices.get()))
            << what;
    }
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
    // {first mesh, meshes asked for}: meshes found, first vertex and index, vertices, triangles.
    const std::uint32_t cases[][7] = {
        {1, 1, 1, 10, 18, 4, 2}, {0, 5, 3, 0, 0, 20, 11} /* stops at the end */, {3, 2, 0}};
    for (const auto& c : cases) {
        MeshRange r;
        EXPECT_EQ(GetMeshRange(&*list, c[0], c[1], &r), c[2]);
        EXPECT_EQ(std::tuple(c[3], c[4], c[5], c[6]),
                  std::tuple(r.firstVertex, r.firstIndex, r.vertexTotal, r.triangleTotal))
            << "from " << c[0];
    }
    // A long list goes without using the stack for each mesh.
    for (int i = 0; i < 200000; ++i) {
        list.Append(std::make_unique<JewelMesh>());
    }
}

TEST(JewelFolderTest, ProgramFolderFirstThenUpwards) {
    const fs::path program = platform::GetModuleFileName();
    const std::string name = "Gems" + std::to_string(::getpid());
    const fs::path own = program.parent_path() / name;
    const fs::path parent = program.parent_path().parent_path() / name;
    fs::path found;
    EXPECT_FALSE(FindFolderBesideProgram(name, &found));
    fs::create_directory(parent);
    EXPECT_TRUE(FindFolderBesideProgram(name, &found));
    EXPECT_EQ(found, parent);
    fs::create_directory(own);
    EXPECT_TRUE(FindFolderBesideProgram(name, &found));
    EXPECT_EQ(found, own) << "the program's own folder comes first";
    fs::remove(own);
    fs::remove(parent);
}

}  // namespace
