// Compiled into every test program that links the GPU library: each draws on the offscreen driver.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/graphics/GraphicsSystem.h"

namespace {

// Keeps the GL driver loaded for the whole run: a driver unloaded between tests' devices leaves
// allocations that the sanitizers' leak checker can no longer trace to it.
class GraphicsDriver final : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
        std::string error;
        ASSERT_TRUE(platform::KeepGraphicsDriverLoaded(&error)) << error;
    }
};

const auto* const kGraphicsDriver = ::testing::AddGlobalTestEnvironment(new GraphicsDriver);

}  // namespace
