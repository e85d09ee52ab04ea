// Compiled into every test program that links the GPU library: each draws on the offscreen driver.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/graphics/GraphicsSystem.h"

namespace {

// Keeps the GL driver loaded for the whole run: each test's device loads and drops the video
// system, and a driver unloaded between tests leaves allocations that the leak checker of
// sanitizer builds can no longer trace to it.
class GraphicsDriver final : public ::testing::Environment {
public:
    void SetUp() override {
        // No display is needed: EGL on llvmpipe gives an OpenGL 4.5 core context.
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
        std::string error;
        ASSERT_TRUE(platform::KeepGraphicsDriverLoaded(&error)) << error;
    }
};

const auto* const kGraphicsDriver = ::testing::AddGlobalTestEnvironment(new GraphicsDriver);

}  // namespace
