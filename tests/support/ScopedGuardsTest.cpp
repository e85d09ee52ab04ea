// The guards put every switch back as they found it, whatever the scope changed in between.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "tests/support/ScopedAudioBackend.h"
#include "tests/support/ScopedDebugOutput.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/ScopedInstance.h"

namespace tovel_test {
namespace {

// A process-wide object of the project's shape that counts how many of it are alive.
class Counted {
public:
    static Counted* Instance() { return s_instance ? s_instance : (s_instance = new Counted()); }
    static Counted* SetInstance(Counted* instance) { return std::exchange(s_instance, instance); }
    Counted() { ++s_alive; }
    ~Counted() { --s_alive; }

    static inline Counted* s_instance = nullptr;
    static inline int s_alive = 0;
};

TEST(ScopedInstanceTest, TheScopesInstanceIsDeletedAndThePreviousOneComesBack) {
    Counted outer;
    Counted::SetInstance(&outer);
    {
        ScopedInstance<Counted> fresh;
        EXPECT_NE(&outer, Counted::Instance()) << "the scope makes its own";
        ScopedInstance<Counted> given(new Counted());
        EXPECT_EQ(3, Counted::s_alive);
    }
    EXPECT_EQ(1, Counted::s_alive);
    EXPECT_EQ(&outer, Counted::SetInstance(nullptr));
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "(unset)";
}

TEST(ScopedEnvironmentTest, ValuesAndAbsencesComeBack) {
    constexpr const char* kName = "TOVEL_SCOPED_ENVIRONMENT_TEST";
    ::unsetenv(kName);
    {
        ScopedEnvironment set(kName, "a");
        {
            ScopedEnvironment unset(kName, nullptr);
            EXPECT_EQ("(unset)", Variable(kName));
        }
        EXPECT_EQ("a", Variable(kName));
    }
    EXPECT_EQ("(unset)", Variable(kName));
}

TEST(ScopedDebugOutputTest, TheSinkOfTheScopesStartTakesTheLinesAgain) {
    std::string outer, inner;
    ScopedDebugOutput outerSink([&](std::string_view text) { outer += text; });
    {
        ScopedDebugOutput innerSink([&](std::string_view text) { inner += text; });
        platform::OutputDebugString("a");
    }
    platform::OutputDebugString("b");
    EXPECT_EQ("a", inner);
    EXPECT_EQ("b", outer);
}

TEST(ScopedAudioBackendTest, TheChoiceOfTheScopesStartComesBack) {
    using platform::AudioBackend;
    using platform::AudioEngine;
    ScopedAudioBackend offline(AudioBackend::Offline, 1);
    {
        ScopedAudioBackend unavailable(AudioBackend::Unavailable);
        platform::SetAudioBackend(AudioBackend::Device);
    }
    AudioEngine* engine = nullptr;
    ASSERT_EQ(S_OK, AudioEngine::Create(&engine));
    EXPECT_TRUE(engine->IsOffline());
    engine->Release();
}

}  // namespace
}  // namespace tovel_test
