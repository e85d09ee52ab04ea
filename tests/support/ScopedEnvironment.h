#pragma once
// An environment variable set (or unset) for a scope and given back as it was when the scope ends.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace tovel_test {

class ScopedEnvironment {
public:
    // A null `value` unsets `name`.
    ScopedEnvironment(std::string name, const char* value) : m_name(std::move(name)) {
        if (const char* previous = std::getenv(m_name.c_str())) {
            m_previous = previous;
        }
        Set(value);
    }
    ~ScopedEnvironment() { Set(m_previous ? m_previous->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const char* value) const {
        value ? ::setenv(m_name.c_str(), value, 1) : ::unsetenv(m_name.c_str());
    }
    std::string m_name;
    std::optional<std::string> m_previous;
};

}  // namespace tovel_test
