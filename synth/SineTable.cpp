#include "synth/SineTable.h"

#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace {

// 3.1415920257568359, the single-precision value the waveforms were defined with; not the float
// nearest to pi.
constexpr float kPi = 3.141592f;

std::mutex g_mutex;
std::map<std::uint32_t, std::unique_ptr<float[]>> g_tables;

}  // namespace

float SineTable::Sine(std::uint32_t count, std::uint32_t h, std::uint32_t j) {
    const double period = static_cast<float>(static_cast<double>(static_cast<float>(count)) / h);
    const float phase = static_cast<float>(j * static_cast<double>(kPi) * 2.0 / period);
    return static_cast<float>(std::sin(static_cast<double>(phase)));
}

const float* SineTable::For(std::uint32_t count) {
    std::lock_guard lock(g_mutex);
    std::unique_ptr<float[]>& table = g_tables[count];
    if (!table) {
        table.reset(new (std::nothrow) float[std::size_t{kHarmonics} * count]);
        if (!table) {
            g_tables.erase(count);
            return nullptr;
        }
        for (std::uint32_t h = 1; h <= kHarmonics; ++h) {
            for (std::uint32_t j = 0; j < count; ++j) {
                table[std::size_t{h - 1} * count + j] = Sine(count, h, j);
            }
        }
    }
    return table.get();
}
