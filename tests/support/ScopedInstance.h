#pragma once
// Gives a scope its own instance of a process-wide object (any class with Instance and
// SetInstance) and puts the previous one back when the scope ends, however a test leaves it.

namespace tovel_test {

template <class T>
class ScopedInstance {
public:
    // Installs `instance`, which the guard then owns; with null, the scope's first Instance()
    // makes a fresh one.
    explicit ScopedInstance(T* instance = nullptr) : m_previous(T::SetInstance(instance)) {}
    // Deletes whatever instance the scope ends with and puts the previous one back.
    ~ScopedInstance() { delete T::SetInstance(m_previous); }
    ScopedInstance(const ScopedInstance&) = delete;
    ScopedInstance& operator=(const ScopedInstance&) = delete;

private:
    T* m_previous;
};

}  // namespace tovel_test
