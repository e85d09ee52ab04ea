#pragma once
// Small jewel files for the library tests. Paths carry the process id, because CTest runs the
// cases of one program as parallel processes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "container/ContainerFile.h"
#include "container/Vendra.h"

namespace tovel_test {

struct TestShape {
    std::vector<float> vertices;  // position x, y, z, normal x, y, z
    std::vector<std::uint16_t> indices;
};

// vertexCount vertices, no two alike, and triangleCount triangles over them.
inline TestShape MakeShape(std::uint32_t vertexCount, std::uint32_t triangleCount) {
    TestShape shape;
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        const float f = static_cast<float>(v);
        shape.vertices.insert(shape.vertices.end(), {f, -0.5f * f, 0.25f * f, 0.0f, 1.0f, -f});
    }
    for (std::uint32_t i = 0; i < triangleCount * 3; ++i) {
        shape.indices.push_back(static_cast<std::uint16_t>((i / 3 + i % 3) % vertexCount));
    }
    return shape;
}

// Eight vertices at the corners of a cube at +-1.
inline TestShape Cube() {
    TestShape shape = MakeShape(8, 12);
    for (int i = 0; i < 8; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            shape.vertices[i * 6 + axis] = (i >> axis) & 1 ? 1.0f : -1.0f;
        }
    }
    return shape;
}

inline void WriteGem(const std::filesystem::path& path, const TestShape& shape) {
    CVendra tree;
    CVendraLayer* layer = AddLayer(tree);
    ASSERT_EQ(SetInt32(*layer, 0x80, static_cast<std::uint32_t>(shape.vertices.size() / 6)), S_OK);
    ASSERT_EQ(SetInt32(*layer, 0x81, static_cast<std::uint32_t>(shape.indices.size())), S_OK);
    ASSERT_EQ(SetExtensionWords32(*layer, std::as_bytes(std::span(shape.vertices))), S_OK);
    ASSERT_EQ(SetExtensionWords16(*layer, std::as_bytes(std::span(shape.indices))), S_OK);
    ASSERT_EQ(WriteContainer(path, tree), S_OK) << path;
}

// A temporary path of this process and test.
inline std::filesystem::path TestTempPath(const std::string& stem) {
    return std::filesystem::temp_directory_path() /
           (stem + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

}  // namespace tovel_test
