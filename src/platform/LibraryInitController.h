#pragma once
#include <cstdint>

#include "platform/GuardedSingletonBase.h"
#include "platform/SpinLockVariableGuard.h"

namespace vexo::templates::platform {

// The library's use count. The Init that makes it 1 brings the library up, the
// Deinit that makes it 0 runs teardown (registered functions, then singletons,
// each in registration order) exactly once. All of it runs under one
// re-entrant spin lock, so teardown functions may call back in.
class LibraryInitController {
public:
    using TeardownFunction = void (*)();

    // Returns the use count after this Init.
    static int32_t Init();
    // A Deinit with the count already at 0 (a nested call from teardown) does nothing.
    static void Deinit();

    // Both are dropped while the library is down.
    static void RegisterTeardownFunction(TeardownFunction function);
    static void RegisterSingleton(patterns::GuardedSingletonBase *singleton);

    static int32_t UseCount();
    static bool IsUp();

    // Holds the controller lock for a sequence of steps (re-entrant).
    class Lock {
    public:
        Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        patterns::SpinLockVariableGuard guard_;
    };
};

}  // namespace vexo::templates::platform
