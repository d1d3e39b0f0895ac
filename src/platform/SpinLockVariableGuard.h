#pragma once
#include <atomic>
#include <cstdint>

namespace vexo::templates::patterns {

// A lock word and the id of the thread holding it. Zero-initialised storage is unlocked.
struct SpinLockVariable {
    std::atomic<uint32_t> lockWord{0};
    std::atomic<uint32_t> ownerThreadId{0};
};

// Re-entrant spin lock guard without a count: a thread that already owns the
// lock passes through and releases nothing; any other thread spins (never
// sleeps) until it can swap the lock word from 0 to 1.
class SpinLockVariableGuard {
public:
    explicit SpinLockVariableGuard(SpinLockVariable &variable);
    ~SpinLockVariableGuard();

    SpinLockVariableGuard(const SpinLockVariableGuard &) = delete;
    SpinLockVariableGuard &operator=(const SpinLockVariableGuard &) = delete;

    // True when this guard took the lock (and so releases it).
    bool Acquired() const { return acquired_; }

private:
    SpinLockVariable &variable_;
    bool acquired_ = false;
};

}  // namespace vexo::templates::patterns
