#pragma once
// The debug channel's lines taken by a sink of the scope's own, given back when the scope ends.

#include <functional>
#include <string_view>
#include <utility>

#include "platform/system/SystemServices.h"

namespace tovel_test {

class ScopedDebugOutput {
public:
    explicit ScopedDebugOutput(std::function<void(std::string_view)> sink)
        : m_previous(platform::SetDebugOutput(std::move(sink))) {}
    ~ScopedDebugOutput() { platform::SetDebugOutput(std::move(m_previous)); }
    ScopedDebugOutput(const ScopedDebugOutput&) = delete;
    ScopedDebugOutput& operator=(const ScopedDebugOutput&) = delete;

private:
    std::function<void(std::string_view)> m_previous;
};

}  // namespace tovel_test
