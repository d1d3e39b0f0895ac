#pragma once
#include <algorithm>
#include <chrono>
#include <thread>

namespace vexo::genicam::cxp {

// Paces the reads of a board register while the board is expected to change
// it: for the first `spin` only yields between reads, so that an answer due
// within microseconds is seen at once; after that sleeps between reads, 20 us
// at first and doubling up to 1 ms, so that a long wait costs next to no
// processor time. The spin starts with the first pause, so a pacer that is
// never needed costs nothing. The caller bounds the wait.
class PollPacer {
public:
    explicit PollPacer(std::chrono::microseconds spin) : spin_(spin) {}

    void Pause() {
        const Clock::time_point now = Clock::now();
        if (spinUntil_ == Clock::time_point()) spinUntil_ = now + spin_;
        if (now < spinUntil_) {
            std::this_thread::yield();
            return;
        }
        std::this_thread::sleep_for(sleep_);
        sleep_ = std::min(sleep_ * 2, kLongestSleep);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::microseconds kFirstSleep{20};
    static constexpr std::chrono::microseconds kLongestSleep{1000};

    std::chrono::microseconds spin_;
    Clock::time_point spinUntil_;
    std::chrono::microseconds sleep_ = kFirstSleep;
};

}  // namespace vexo::genicam::cxp
