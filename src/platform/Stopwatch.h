#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace vexo::templates::platform {

// Elapsed time on the monotonic clock since the last Restart. A stopwatch
// never started reads 0. Restart and Elapsed may run on different threads.
class Stopwatch {
public:
    void Restart() { start_.store(Now(), std::memory_order_release); }
    bool IsStarted() const { return start_.load(std::memory_order_acquire) != kNotStarted; }

    std::chrono::nanoseconds Elapsed() const {
        const int64_t start = start_.load(std::memory_order_acquire);
        if (start == kNotStarted) return std::chrono::nanoseconds(0);
        return std::chrono::nanoseconds(Now() - start);
    }

private:
    static constexpr int64_t kNotStarted = INT64_MIN;

    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<int64_t> start_{kNotStarted};
};

}  // namespace vexo::templates::platform
