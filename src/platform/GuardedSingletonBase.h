#pragma once
#include <atomic>

namespace vexo::templates::patterns {

// A process-wide object whose life the library controller ends at teardown.
class GuardedSingletonBase {
public:
    // Called first at teardown, before the object is destroyed.
    virtual void OnTeardown() {}
    // Where the class keeps its published instance; cleared after destruction
    // so that the next request builds a fresh object.
    virtual std::atomic<GuardedSingletonBase *> *InstancePointerAddress() = 0;
    virtual ~GuardedSingletonBase() = default;
    // Called once, right after construction, before the instance is published.
    virtual void OnInitialize() {}
};

}  // namespace vexo::templates::patterns
