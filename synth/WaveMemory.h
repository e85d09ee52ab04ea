#pragma once
// Waveform memory is the only sizeable allocation the synthesis makes. It goes through here so
// that every caller handles running out of it, and so that running out can be rehearsed.

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

namespace wave_memory {

namespace detail {
// Allocations left before the next one fails; negative means none ever fails.
inline std::atomic<long> g_failAfter{-1};
}  // namespace detail

// Makes the allocation after `successes` more successful ones fail (negative: never fail).
inline void FailAfter(long successes) { detail::g_failAfter.store(successes); }

// A zeroed array of count elements, or null when the memory cannot be had.
template <class T>
std::unique_ptr<T[]> Allocate(std::size_t count) {
    long left = detail::g_failAfter.load();
    while (left >= 0) {
        if (left == 0) {
            return nullptr;
        }
        if (detail::g_failAfter.compare_exchange_weak(left, left - 1)) {
            break;
        }
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

}  // namespace wave_memory
