#pragma once
#include <chrono>
#include <cstdint>

namespace vexo::sim {

// A transceiver's error counter that grows with time at a rate in errors per
// millisecond; the rate in force since the last advance is the caller's.
// Plain data: it lives in the simulator's shared memory.
class ErrorCounter {
public:
    using Clock = std::chrono::steady_clock;

    ErrorCounter() = default;
    explicit ErrorCounter(Clock::time_point now) : last_(now) {}

    // Adds the errors of the time since the last call at the given rate.
    void Advance(Clock::time_point now, uint64_t errorsPerMs);
    void Clear(Clock::time_point now);
    void AddOne() { ++count_; }
    uint64_t Count() const { return count_; }

private:
    uint64_t count_ = 0;
    Clock::time_point last_;
    uint64_t carry_ = 0;  // errors x nanoseconds not yet a whole error, below 1e6
};

}  // namespace vexo::sim
