#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/GuardedSingleton.h"
#include "platform/LibraryInitController.h"

using vexo::templates::platform::LibraryInitController;

namespace {

std::vector<std::string> g_events;

class CountedSingleton : public vexo::templates::patterns::GuardedSingleton<CountedSingleton> {
public:
    static inline int destroyed = 0;
    static inline int initialised = 0;
    static inline CountedSingleton *seenByHook = nullptr;

    ~CountedSingleton() override {
        ++destroyed;
        g_events.push_back("singleton destroyed");
    }
    void OnTeardown() override { g_events.push_back("singleton teardown hook"); }
    void OnInitialize() override {
        ++initialised;
        // The hook's own requests see the object under construction.
        seenByHook = Instance();
    }
};

void FirstTeardown() { g_events.push_back("first"); }
void SecondTeardown() { g_events.push_back("second"); }

}  // namespace

// Nesting, a fresh singleton after teardown and a Deinit nested in teardown
// through GenICamInit and GenICamDeinit: LifecycleTest. Here the order of teardown.
TEST(LibraryInitController, TeardownRunsOnceWhenTheCountReturnsToZero) {
    LibraryInitController::Init();
    LibraryInitController::Init();
    EXPECT_EQ(LibraryInitController::UseCount(), 2);
    LibraryInitController::RegisterTeardownFunction(&FirstTeardown);
    LibraryInitController::RegisterTeardownFunction(&SecondTeardown);
    CountedSingleton *singleton = CountedSingleton::Instance();
    EXPECT_EQ(CountedSingleton::seenByHook, singleton);
    EXPECT_EQ(CountedSingleton::Instance(), singleton);
    EXPECT_EQ(CountedSingleton::initialised, 1);

    LibraryInitController::Deinit();
    EXPECT_TRUE(LibraryInitController::IsUp());
    EXPECT_TRUE(g_events.empty());

    LibraryInitController::Deinit();
    EXPECT_FALSE(LibraryInitController::IsUp());
    EXPECT_EQ(g_events, (std::vector<std::string>{"first", "second", "singleton teardown hook", "singleton destroyed"}));
    EXPECT_EQ(CountedSingleton::Peek(), nullptr);

    // A further Deinit neither runs teardown nor drives the count below zero.
    LibraryInitController::Deinit();
    EXPECT_EQ(LibraryInitController::UseCount(), 0);
    EXPECT_EQ(g_events.size(), 4u);
}

TEST(LibraryInitController, RegistrationsWhileDownAreDropped) {
    LibraryInitController::RegisterTeardownFunction(&FirstTeardown);
    CountedSingleton *survivor = CountedSingleton::Instance();  // created while down: not the controller's
    LibraryInitController::Init();
    LibraryInitController::Deinit();
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(CountedSingleton::Peek(), survivor);
    EXPECT_EQ(CountedSingleton::destroyed, 0);
}
