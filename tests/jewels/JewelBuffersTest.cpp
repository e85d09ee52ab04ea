#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "jewels/JewelLibrary.h"
#include "jewels/JewelManager.h"
#include "tests/jewels/TestGems.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using tovel_test::MakeShape;
using tovel_test::TestShape;

// Jewels come from an installation directory of the test's own; the manager goes before the
// device does.
class JewelBuffersTest : public tovel_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        m_manager->m_device = m_graphics->m_device;
    }
    void TearDown() override {
        fs::remove_all(m_root);
        m_manager.reset();
        GraphicsTest::TearDown();
    }
    void Load(const std::vector<TestShape>& shapes) {
        fs::create_directories(m_root / m_name);
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            tovel_test::WriteGem(m_root / m_name / ("gem" + std::to_string(i) + ".gem"), shapes[i]);
        }
        ASSERT_EQ(LoadJewelLibrary(*m_manager, m_name), S_OK);
    }
    template <class T, class Buffer>
    std::vector<T> ReadBack(Buffer* buffer, std::size_t count) {
        void* data = nullptr;
        std::vector<T> values(count);
        EXPECT_EQ(buffer->Lock(0, 0, &data), S_OK);
        std::memcpy(values.data(), data, count * sizeof(T));
        EXPECT_EQ(buffer->Unlock(), S_OK);
        return values;
    }
    const std::string m_name = "Jewels" + std::to_string(::getpid());
    const fs::path m_root = tovel_test::TestTempPath("tovel-buffers-");
    tovel_test::ScopedEnvironment m_installDir{"TOVEL_INSTALL_DIR",
                                               (m_root.string() + "/").c_str()};
    std::unique_ptr<CJewelManager> m_manager = std::make_unique<CJewelManager>();
};

TEST_F(JewelBuffersTest, EveryMeshSitsAtItsPlaceInTheSharedBuffers) {
    const std::vector<TestShape> shapes = {MakeShape(10, 6), MakeShape(4, 2), tovel_test::Cube()};
    Load(shapes);
    ASSERT_EQ(BuildJewelBuffers(*m_manager), S_OK);
    ASSERT_NE(m_manager->m_vertexDecl, nullptr);
    const auto gpu = ReadBack<float>(m_manager->m_vertexBuffer, 22 * 8);
    const auto indices = ReadBack<std::uint16_t>(m_manager->m_indexBuffer, 20 * 3);
    std::size_t vertex = 0, index = 0;
    std::uint32_t firstVertex = 0;
    for (std::size_t k = 0; k < shapes.size(); ++k) {
        const std::vector<float>& in = shapes[k].vertices;
        for (std::size_t v = 0; v < in.size(); v += 6, ++vertex) {
            // Position, the mesh's place in the library, normal, and a zero.
            const float expected[8] = {in[v],     in[v + 1], in[v + 2], static_cast<float>(k),
                                       in[v + 3], in[v + 4], in[v + 5], 0.0f};
            EXPECT_TRUE(std::equal(expected, expected + 8, &gpu[vertex * 8]))
                << "mesh " << k << " vertex " << v / 6;
        }
        for (std::uint16_t own : shapes[k].indices) {
            EXPECT_EQ(indices[index++], firstVertex + own) << "mesh " << k;
        }
        firstVertex += static_cast<std::uint32_t>(in.size() / 6);
    }
    const JewelMesh& first = *m_manager->m_meshes;
    EXPECT_FLOAT_EQ(first.size, (9.0f + 4.5f + 2.25f) / 6.0f);
    EXPECT_FLOAT_EQ(first.next->size, (3.0f + 1.5f + 0.75f) / 6.0f);
    EXPECT_FLOAT_EQ(m_manager->m_averageSize, (first.size + first.next->size + 1.0f) / 3.0f);
}

TEST_F(JewelBuffersTest, ARebuildReplacesTheBuffers) {
    EXPECT_EQ(BuildJewelBuffers(*m_manager), E_INVALIDARG) << "an empty library";
    Load({tovel_test::Cube()});
    ASSERT_EQ(BuildJewelBuffers(*m_manager), S_OK);
    IGraphicsVertexBuffer* old = m_manager->m_vertexBuffer;
    old->AddRef();
    ASSERT_EQ(BuildJewelBuffers(*m_manager), S_OK);
    EXPECT_EQ(old->Release(), 0u) << "the manager kept the old vertex buffer";
}

}  // namespace
