#pragma once
// A one-shot event between threads: opened once, awaited with a bound that
// only catches a hang; and the end of a test whose bound ran out.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace nox_test {

class Latch {
public:
    // Notifies under the lock: a waiter cannot return, and end the latch,
    // before the opening thread is done with it.
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    bool Wait(std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex_);
        return opened_.wait_for(lock, bound, [this] { return open_; });
    }
    bool IsOpen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// A deadlocked test cannot end its threads: it says so and ends the process.
inline void EndIfHung(bool finished, const char *what) {
    if (finished) return;
    std::fprintf(stderr, "hung: %s\n", what);
    ::_exit(1);
}

}  // namespace nox_test
