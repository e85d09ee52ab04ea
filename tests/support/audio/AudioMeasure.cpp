#include "tests/support/audio/AudioMeasure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>

namespace tovel_test {

std::vector<float> Floats(const std::string& bytes, std::size_t at, std::size_t count) {
    std::vector<float> samples(count);
    std::memcpy(samples.data(), bytes.data() + at, count * sizeof(float));
    return samples;
}

double Energy(const std::vector<float>& x) {
    return std::accumulate(x.begin(), x.end(), 0.0,
                           [](double e, float v) { return e + double{v} * v; });
}

double Decibels(double energyRatio) {
    return 10.0 * std::log10(energyRatio);
}

double Peak(const std::vector<float>& x, std::size_t begin, std::size_t end) {
    double peak = 0;
    for (std::size_t i = begin; i < std::min(end, x.size()); ++i) {
        peak = std::max(peak, std::fabs(static_cast<double>(x[i])));
    }
    return peak;
}

double Period(const std::vector<float>& x, std::size_t begin, std::size_t end, std::size_t maxLag) {
    std::vector<double> d(maxLag + 2, 1.0);
    double sum = 0;
    for (std::size_t lag = 1; lag <= maxLag + 1 && begin + lag < end; ++lag) {
        double diff = 0;
        for (std::size_t i = begin; i + lag < end; ++i) {
            const double delta = static_cast<double>(x[i]) - x[i + lag];
            diff += delta * delta;
        }
        diff /= static_cast<double>(end - begin - lag);
        sum += diff;
        d[lag] = sum > 0 ? diff * static_cast<double>(lag) / sum : 1.0;
    }
    for (std::size_t lag = 2; lag <= maxLag; ++lag) {
        if (d[lag] < 0.1 && d[lag] <= d[lag - 1] && d[lag] <= d[lag + 1]) {
            const double curve = d[lag - 1] - 2 * d[lag] + d[lag + 1];
            return static_cast<double>(lag) +
                   (curve > 0 ? 0.5 * (d[lag - 1] - d[lag + 1]) / curve : 0.0);
        }
    }
    return 0.0;
}

std::vector<double> HarmonicLevels(const std::vector<float>& x, std::size_t begin, std::size_t end,
                                   std::size_t period, std::size_t count) {
    end = std::min(end, x.size());
    const std::size_t length = end > begin ? (end - begin) / period * period : 0;
    std::vector<double> levels(count, 0.0);
    for (std::size_t k = 1; k <= count && length > 0; ++k) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const double phase =
                2.0 * M_PI * static_cast<double>(k * (i % period)) / static_cast<double>(period);
            re += x[begin + i] * std::cos(phase);
            im -= x[begin + i] * std::sin(phase);
        }
        levels[k - 1] = 2.0 * std::hypot(re, im) / static_cast<double>(length);
    }
    return levels;
}

std::vector<float> ReadDeviceRecording(const std::filesystem::path& raw, std::size_t* channels) {
    std::ifstream file(raw, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const std::vector<float> frames = Floats(bytes, 0, bytes.size() / 4);
    std::size_t count = frames.size() % 2 == 0 ? 2 : 1;
    for (std::size_t i = 0; count == 2 && i < frames.size(); i += 2) {
        count = frames[i] == frames[i + 1] ? 2 : 1;
    }
    std::vector<float> x;
    for (std::size_t i = 0; i < frames.size(); i += count) {
        if (!std::isfinite(frames[i]) || std::fabs(frames[i]) > 1.0f) {
            ADD_FAILURE() << "sample " << i << " of " << raw << " is " << frames[i];
            break;
        }
        x.push_back(frames[i]);
    }
    *channels = count;
    return x;
}

}  // namespace tovel_test
