#pragma once
#include <mutex>

namespace vexo::templates::platform {

// A mutex its owner may lock again; each Lock needs its Unlock.
class RecursiveMutex {
public:
    void Lock() { mutex_.lock(); }
    bool TryLock() { return mutex_.try_lock(); }
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
