#pragma once
#include <chrono>
#include <mutex>
#include <thread>

namespace vexo::templates::platform {

// A mutex its owner may lock again; each Lock needs its Unlock.
class RecursiveMutex {
public:
    void Lock() { mutex_.lock(); }
    bool TryLock() { return mutex_.try_lock(); }
    // For a waiter that has something better to do than wait long: false
    // when the mutex was not had within the time. Polled, so that the bound
    // is kept by the steady clock whatever the wall clock does.
    bool TryLockFor(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!mutex_.try_lock()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    void Unlock() { mutex_.unlock(); }

    // BasicLockable, so std::lock_guard and std::unique_lock work too.
    void lock() { Lock(); }
    bool try_lock() { return TryLock(); }
    void unlock() { Unlock(); }

    class Guard {
    public:
        explicit Guard(RecursiveMutex &mutex) : mutex_(mutex) { mutex_.Lock(); }
        ~Guard() { mutex_.Unlock(); }
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;

    private:
        RecursiveMutex &mutex_;
    };

private:
    std::recursive_mutex mutex_;
};

}  // namespace vexo::templates::platform
