#pragma once
// Small jewel files for the library tests. Paths carry the process id, because CTest runs the
// cases of one program as parallel processes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
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

// The tree of a jewel file; counts other than the arrays' own make it inconsistent.
inline std::unique_ptr<CVendra> GemTree(const TestShape& shape,
                                        std::uint32_t vertexCount = UINT32_MAX,
                                        std::uint32_t indexCount = UINT32_MAX) {
    auto tree = std::make_unique<CVendra>();
    CVendraLayer* layer = AddLayer(*tree);
    SetInt32(*layer, 0x80,
             vertexCount != UINT32_MAX ? vertexCount
                                       : static_cast<std::uint32_t>(shape.vertices.size() / 6));
    SetInt32(
        *layer, 0x81,
        indexCount != UINT32_MAX ? indexCount : static_cast<std::uint32_t>(shape.indices.size()));
    SetExtensionWords32(*layer, std::as_bytes(std::span(shape.vertices)));
    SetExtensionWords16(*layer, std::as_bytes(std::span(shape.indices)));
    return tree;
}

inline void WriteGem(const std::filesystem::path& path, const TestShape& shape) {
    ASSERT_EQ(WriteContainer(path, *GemTree(shape)), S_OK) << path;
}

// A temporary path of this process and test.
inline std::filesystem::path TestTempPath(const std::string& stem) {
    return std::filesystem::temp_directory_path() /
           (stem + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

}  // namespace tovel_test
