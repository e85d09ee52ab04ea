#pragma once
// Shared ownership the COM way: whoever keeps a reference calls AddRef, whoever drops it Release.
// The object deletes itself when the last reference goes.

#include <atomic>
#include <cstdint>

namespace platform {

class RefCounted {
public:
    std::uint32_t AddRef() { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Release() {
        std::uint32_t left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

private:
    std::atomic<std::uint32_t> m_refs{1};
};

}  // namespace platform
