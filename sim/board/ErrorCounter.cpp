#include "board/ErrorCounter.h"

namespace vexo::sim {

void ErrorCounter::Advance(Clock::time_point now, uint64_t errorsPerMs) {
    constexpr uint64_t kNsPerMs = 1000000;
    if (now <= last_) return;
    const uint64_t elapsed = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_).count());
    last_ = now;
    if (errorsPerMs == 0) {
        carry_ = 0;
        return;
    }
    // Whole milliseconds and the rest apart, so long idle times cannot overflow.
    const uint64_t partial = (elapsed % kNsPerMs) * errorsPerMs + carry_;
    count_ += (elapsed / kNsPerMs) * errorsPerMs + partial / kNsPerMs;
    carry_ = partial % kNsPerMs;
}

void ErrorCounter::Clear(Clock::time_point now) {
    count_ = 0;
    carry_ = 0;
    last_ = now;
}

}  // namespace vexo::sim
