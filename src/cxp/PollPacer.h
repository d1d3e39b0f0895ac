#pragma once
#include <algorithm>
#include <chrono>
#include <thread>

namespace vexo::genicam::cxp {

// Paces the reads of a board register while the board is expected to change
// it. For the first `busy` the reads follow each other at once: an answer
// due within microseconds is seen the moment it is there, even on a loaded
// machine, where handing the processor over can cost milliseconds. Until
// `spin` each read yields the processor first; after that the reads sleep in
// between, 20 us at first and doubling up to 1 ms, so that a long wait costs
// next to no processor time. The clock starts with the first pause, so a
// pacer that is never needed costs nothing. The caller bounds the wait.
class PollPacer {
public:
    PollPacer(std::chrono::microseconds busy, std::chrono::microseconds spin) : busy_(busy), spin_(spin) {}

    void Pause() {
        const Clock::time_point now = Clock::now();
        if (start_ == Clock::time_point()) start_ = now;
        if (now - start_ < busy_) return;
        if (now - start_ < spin_) {
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

    std::chrono::microseconds busy_;
    std::chrono::microseconds spin_;
    Clock::time_point start_;
    std::chrono::microseconds sleep_ = kFirstSleep;
};

}  // namespace vexo::genicam::cxp
