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
// A lock of reach kThisProcess keeps the same contract without a file, for a
// board no other process can reach.
//
// Construction fails with std::runtime_error("can not open the requested lock").
class InterProcessLock {
public:
    enum class Reach { kProcesses, kThisProcess };

    explicit InterProcessLock(const std::string &name, Reach reach = Reach::kProcesses);
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
    bool mapped_ = false;
};

// "vexo_genicam-board_<index>-reg_lock": the lock of one board's registers,
// which every program of the machine shares. A virtual board with a scope of
// its own (board_info::kLockScope above kProcessScope) gets "-<scope in hex>"
// after it, so that programs of different simulator instances never wait for
// each other.
std::string BoardRegisterLockName(uint32_t boardIndex, int64_t scope = 0);

// The register lock of the board behind `device`, of the reach its scope gives.
InterProcessLock OpenBoardRegisterLock(uint64_t device, uint32_t boardIndex);

}  // namespace vexo::genicam
