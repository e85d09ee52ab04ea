// What a timbre file holds, byte for byte; what a damaged one reads as; how new files are named.

#include "palette/TimbreFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "container/ContainerFile.h"
#include "tests/palette/TestMeshes.h"

namespace {

namespace fs = std::filesystem;

const std::unique_ptr<JewelMesh> kCube = tovel_test::MeshOf(tovel_test::Cube());
using tovel_test::Tags;

TEST(TimbreFileTest, AFileHoldsTheAmplitudesBigEndianThenTheMeshInItsOrder) {
    const fs::path path = tovel_test::TestTempPath("timbre") += ".tmbr";
    const Amplitudes amplitudes = {1.0f, 0.5f, 0.25f, 0, 0, 0, 0, 0, 0, 0, 0, 0.125f};
    CVendra written;
    ASSERT_EQ(S_OK, BuildTimbreTree(amplitudes, *kCube, written));
    ASSERT_EQ(S_OK, WriteContainer(path, written));
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    fs::remove(path);
    const std::uint8_t oneThenHalf[] = {0x3F, 0x80, 0, 0, 0x3F, 0, 0, 0};  // big-endian floats
    EXPECT_NE(bytes.end(), std::search(bytes.begin(), bytes.end(), std::begin(oneThenHalf),
                                       std::end(oneThenHalf)));
    // Read from the bytes, as a fuzzer would hand them over.
    CVendra tree;
    TimbreFileContent content;
    ASSERT_EQ(S_OK, ReadTimbreFile(std::span(bytes), tree, &content));
    const CVendraLayer* layer = FindLayer(tree, 0);
    ASSERT_TRUE(layer && layer->m_extension);
    EXPECT_EQ((std::vector<std::uint8_t>{0xE0, 0x80, 0x81}), Tags(*layer));
    EXPECT_EQ((std::vector<std::uint8_t>{0x80, 0x81}), Tags(*layer->m_extension));
    using Ex = const CVendraElementEx*;
    const auto* vertices = static_cast<Ex>(FindElement(*layer->m_extension, 0x80));
    const auto* indices = static_cast<Ex>(FindElement(*layer->m_extension, 0x81));
    EXPECT_TRUE(vertices->m_param == 1 && indices->m_param == 0);
    EXPECT_TRUE(vertices->m_length == 8 * 24 && indices->m_length == 12 * 6);
    EXPECT_EQ(0, std::memcmp(amplitudes, content.amplitudes, sizeof amplitudes));
    ASSERT_NE(nullptr, content.mesh);
    EXPECT_TRUE(content.mesh->vertexCount == 8 && content.mesh->triangleCount == 12);
    EXPECT_EQ(1.0f, content.mesh->size) << "measured as the library measures: a cube at +-1";
    EXPECT_EQ(0x3F, layer->m_firstElement->m_data[0]) << "reading leaves the tree big-endian";
}

// Amplitudes that are not numbers or out of range cannot upset the timbre; without amplitudes a
// tree is no timbre.
TEST(TimbreFileTest, AmplitudesAreSanitisedAndRequired) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Amplitudes stored = {nan, inf, -inf, -0.5f, 2.0f, 0.75f, 0, 0, 0, 0, 0, 1.0f};
    CVendra tree;
    ASSERT_EQ(S_OK, BuildTimbreTree(stored, *kCube, tree));
    TimbreFileContent content;
    ASSERT_EQ(S_OK, ReadTimbreTree(tree, &content));
    const Amplitudes expected = {0, 0, 0, 0, 1.0f, 0.75f, 0, 0, 0, 0, 0, 1.0f};
    EXPECT_EQ(0, std::memcmp(expected, content.amplitudes, sizeof expected));

    CVendra noLayer, shortAmplitudes, onlyMesh;
    AddLayer(noLayer)->m_id = 7;  // no layer 0 at all
    const std::byte eleven[44] = {};
    SetElementData(*AddLayer(shortAmplitudes), 0xE0, eleven);
    StoreTimbreMesh(*AddLayer(onlyMesh), *kCube);
    for (CVendra* bad : {&noLayer, &shortAmplitudes, &onlyMesh}) {
        EXPECT_EQ(E_INVALIDARG, ReadTimbreTree(*bad, &content));
    }
}

// A mesh the palette cannot show or pack reads as none, and the file is then given a jewel.
TEST(TimbreFileTest, OnlyAMeshThatCanBeShownIsTaken) {
    struct Case {
        const char* what;
        std::function<void(CVendraLayer&)> spoil;
        bool usable;
    };
    auto setCounts = [](std::uint32_t vertices, std::uint32_t indices) {
        return [=](CVendraLayer& layer) {
            SetInt32(layer, 0x80, vertices);
            SetInt32(layer, 0x81, indices);
        };
    };
    const Case cases[] = {
        {"the cube as kept", [](CVendraLayer&) {}, true},
        {"2 triangles", setCounts(8, 6), false},
        {"3 triangles", setCounts(8, 9), true},
        {"no vertices", setCounts(0, 36), false},
        {"more vertices than the data holds", setCounts(9, 36), false},
        {"more vertices than a tile may pack", setCounts(kMaxTimbreMeshVertices + 1, 36), false},
        {"more indices than a tile may pack", setCounts(8, kMaxTimbreMeshIndices + 1), false},
        {"an index past the vertices", setCounts(7, 36), false},
        {"a coordinate that is not a number", [](CVendraLayer& layer) {
             // The second float of the vertices, big-endian: a quiet NaN.
             std::uint8_t* data = layer.m_extension->m_firstElement->m_data.get();
             data[4] = 0x7F, data[5] = 0xC0, data[6] = data[7] = 0;
         }, false},
    };
    for (const Case& c : cases) {
        CVendra tree;
        const Amplitudes amplitudes = {1.0f};
        ASSERT_EQ(S_OK, BuildTimbreTree(amplitudes, *kCube, tree));
        c.spoil(*FindLayer(tree, 0));
        TimbreFileContent content;
        ASSERT_EQ(S_OK, ReadTimbreTree(tree, &content)) << c.what;
        EXPECT_EQ(c.usable, content.mesh != nullptr) << c.what;
        EXPECT_EQ(1.0f, content.amplitudes[0]) << c.what;
    }
}

}  // namespace
