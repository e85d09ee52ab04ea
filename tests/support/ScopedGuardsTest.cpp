// The guards put every switch back as they found it, whatever the scope changed in between.

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace tovel_test {
namespace {

// A process-wide object of the project's shape that counts how many of it are alive.
struct Counted {
    static Counted* SetInstance(Counted* instance) { return std::exchange(s_instance, instance); }
    Counted() { ++s_alive; }
    ~Counted() { --s_alive; }
    static inline Counted* s_instance = nullptr;
    static inline int s_alive = 0;
};

TEST(ScopedGuardsTest, EachGuardPutsBackWhatItFound) {
    Counted outer;
    Counted::SetInstance(&outer);
    { ScopedInstance<Counted> empty, given(new Counted()); }
    EXPECT_EQ(std::pair(1, &outer), std::pair(Counted::s_alive, Counted::SetInstance(nullptr)));
    {
        ScopedEnvironment set("TOVEL_GUARD_TEST", "a");
        { ScopedEnvironment unset("TOVEL_GUARD_TEST", nullptr); }
        EXPECT_STREQ("a", std::getenv("TOVEL_GUARD_TEST"));
    }
    EXPECT_EQ(nullptr, std::getenv("TOVEL_GUARD_TEST"));
}

}  // namespace
}  // namespace tovel_test
