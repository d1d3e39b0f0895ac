#pragma once
#include <shared_mutex>

namespace vexo::templates::platform {

// Many readers or one writer.
class ReadWriteLock {
public:
    void LockShared() { mutex_.lock_shared(); }
    void UnlockShared() { mutex_.unlock_shared(); }
    void LockExclusive() { mutex_.lock(); }
    void UnlockExclusive() { mutex_.unlock(); }

    class SharedGuard {
    public:
        explicit SharedGuard(ReadWriteLock &lock) : lock_(lock) { lock_.LockShared(); }
        ~SharedGuard() { lock_.UnlockShared(); }
        SharedGuard(const SharedGuard &) = delete;
        SharedGuard &operator=(const SharedGuard &) = delete;

    private:
        ReadWriteLock &lock_;
    };

    class ExclusiveGuard {
    public:
        explicit ExclusiveGuard(ReadWriteLock &lock) : lock_(lock) { lock_.LockExclusive(); }
        ~ExclusiveGuard() { lock_.UnlockExclusive(); }
        ExclusiveGuard(const ExclusiveGuard &) = delete;
        ExclusiveGuard &operator=(const ExclusiveGuard &) = delete;

    private:
        ReadWriteLock &lock_;
    };

private:
    std::shared_mutex mutex_;
};

}  // namespace vexo::templates::platform
