#include "tests/support/gpu/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/graphics/TextureLoader.h"

namespace tovel_test {

using namespace platform;

Image LoadPng(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::uint8_t> rgba;
    int width = 0, height = 0;
    Image image;
    if (!DecodeImageRgba(bytes.data(), bytes.size(), &rgba, &width, &height)) {
        return image;
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        image.pixels.push_back(static_cast<D3DCOLOR>(rgba[i + 3]) << 24 | rgba[i] << 16 |
                               rgba[i + 1] << 8 | rgba[i + 2]);
    }
    return image;
}

::testing::AssertionResult ImagesNear(const Image& expected, const Image& actual, int tolerance) {
    if (expected.width != actual.width || expected.height != actual.height) {
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
               << "x" << expected.height;
    }
    std::ostringstream report;
    int mismatches = 0;
    for (std::uint32_t i = 0; i < expected.pixels.size(); ++i) {
        const D3DCOLOR e = expected.pixels[i], a = actual.pixels[i];
        int worst = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            worst = std::max(worst, std::abs(static_cast<int>((e >> shift) & 0xFF) -
                                             static_cast<int>((a >> shift) & 0xFF)));
        }
        if (worst > tolerance && ++mismatches <= 5) {
            report << " (" << i % expected.width << "," << i / expected.width << "): 0x" << std::hex
                   << a << " expected 0x" << e << std::dec << ";";
        }
    }
    if (mismatches == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << mismatches << " pixels differ by more than " << tolerance << ":" << report.str();
}

float Channel(D3DCOLOR color, int channel) {
    return static_cast<float>((color >> (8 * channel)) & 0xFF) / 255.0f;
}

D3DCOLOR Pack(float a, float r, float g, float b) {
    auto step = [](float v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    return D3DCOLOR_ARGB(step(a), step(r), step(g), step(b));
}

Image RandomImage(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    std::mt19937 random(seed);
    Image image{width, height, std::vector<D3DCOLOR>(static_cast<std::size_t>(width) * height)};
    for (D3DCOLOR& p : image.pixels) {
        p = static_cast<D3DCOLOR>(random());
    }
    return image;
}

}  // namespace tovel_test
