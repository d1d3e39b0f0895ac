#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace vexo::genicam {

// A named lock that processes using the same board share: a process-shared,
// robust, recursive mutex living in the file /dev/shm/<name>.
//
// - The owning thread may lock again; each Lock needs its Unlock. Other
//   threads, of this or any other process, wait.
// - Uncontended locking and unlocking cost no system call.
// - A lock whose owner process dies is recovered by the next locker, so it
//   never stays locked.
// - The file is created with mode 0666 (never through a symbolic link) and the
//   mutex in it is initialised exactly once, even when processes race to
//   create it.
//
// Construction fails with std::runtime_error("can not open the requested lock").
class InterProcessLock {
public:
    explicit InterProcessLock(const std::string &name);
    ~InterProcessLock();

    InterProcessLock(const InterProcessLock &) = delete;
    InterProcessLock &operator=(const InterProcessLock &) = delete;

    // Waits without limit.
    void Lock();
    // True when acquired within the timeout.
    bool TryLock(std::chrono::milliseconds timeout);
    void Unlock();

    const std::string &Name() const { return name_; }
    static std::string PathOf(const std::string &name);

private:
    struct Shared;

    std::string name_;
    Shared *shared_ = nullptr;
};

// "vexo_genicam-board_<index>-reg_lock": the lock of one board's registers.
std::string BoardRegisterLockName(uint32_t boardIndex);

}  // namespace vexo::genicam
