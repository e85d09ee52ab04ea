#pragma once
// A scope's own instance of a process-wide object; the previous one is put back when it ends.

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
