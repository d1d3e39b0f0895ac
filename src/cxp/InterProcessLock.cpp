#include "cxp/InterProcessLock.h"

#include "board/BoardLibraries.h"
#include "protocol/BoardInfo.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <thread>

namespace vexo::genicam {

namespace board_info = vexo::protocol::board_info;

namespace {

constexpr const char *kOpenFailure = "can not open the requested lock";
// Written last by the process that initialises the file, so a file whose
// initialiser died half-way is initialised again by the next opener.
constexpr uint64_t kReadyMagic = 0x4B434F4C47455256ull;  // "VREGLOCK"
constexpr std::chrono::seconds kSetupTimeout{2};

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// Holds the file's advisory lock while the shared state is checked and set
// up; the kernel drops it should this process die meanwhile. Setting up takes
// microseconds, so a holder that keeps it for long is stuck and we give up.
class SetupGuard {
public:
    explicit SetupGuard(int fd) : fd_(fd) {
        const auto deadline = std::chrono::steady_clock::now() + kSetupTimeout;
        while (!(locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0)) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~SetupGuard() {
        if (locked_) ::flock(fd_, LOCK_UN);
    }
    SetupGuard(const SetupGuard &) = delete;
    SetupGuard &operator=(const SetupGuard &) = delete;
    bool Locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

[[noreturn]] void FailToOpen() { throw std::runtime_error(kOpenFailure); }

timespec DeadlineAfter(std::chrono::milliseconds timeout) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto total = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec) +
                       std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(total);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>(std::chrono::nanoseconds(total - seconds).count())};
}

}  // namespace

struct InterProcessLock::Shared {
    pthread_mutex_t mutex;
    uint64_t magic;
};

namespace {

bool InitialiseMutex(pthread_mutex_t &mutex, InterProcessLock::Reach reach) {
    pthread_mutexattr_t attributes;
    if (::pthread_mutexattr_init(&attributes) != 0) return false;
    const int sharing =
        reach == InterProcessLock::Reach::kProcesses ? PTHREAD_PROCESS_SHARED : PTHREAD_PROCESS_PRIVATE;
    const bool configured = ::pthread_mutexattr_setpshared(&attributes, sharing) == 0 &&
                            ::pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
                            ::pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0;
    const bool initialised = configured && ::pthread_mutex_init(&mutex, &attributes) == 0;
    ::pthread_mutexattr_destroy(&attributes);
    return initialised;
}

// The previous owner died holding the lock: whatever it guarded is the
// board's registers, which need no repair, so the lock is usable again.
bool Acquired(pthread_mutex_t &mutex, int result) {
    if (result == EOWNERDEAD) {
        ::pthread_mutex_consistent(&mutex);
        return true;
    }
    return result == 0;
}

}  // namespace

InterProcessLock::InterProcessLock(const std::string &name, Reach reach) : name_(name) {
    if (name.empty() || name.find('/') != std::string::npos) FailToOpen();
    if (reach == Reach::kThisProcess) {
        auto local = std::make_unique<Shared>();
        if (!InitialiseMutex(local->mutex, reach)) FailToOpen();
        shared_ = local.release();
        return;
    }
    FileDescriptor file(::open(PathOf(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.Get() < 0) FailToOpen();
    // Other users' processes share the board too; a failure only means another user made the file.
    ::fchmod(file.Get(), 0666);

    SetupGuard setup(file.Get());
    struct stat status {};
    if (!setup.Locked() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) FailToOpen();
    if (static_cast<size_t>(status.st_size) < sizeof(Shared) && ::ftruncate(file.Get(), sizeof(Shared)) != 0)
        FailToOpen();
    void *mapping = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, file.Get(), 0);
    if (mapping == MAP_FAILED) FailToOpen();
    shared_ = static_cast<Shared *>(mapping);
    mapped_ = true;
    if (shared_->magic != kReadyMagic) {
        if (!InitialiseMutex(shared_->mutex, reach)) {
            ::munmap(shared_, sizeof(Shared));
            FailToOpen();
        }
        __atomic_store_n(&shared_->magic, kReadyMagic, __ATOMIC_RELEASE);
    }
}

InterProcessLock::~InterProcessLock() {
    // The file stays: other processes may be using the lock.
    if (mapped_)
        ::munmap(shared_, sizeof(Shared));
    else
        delete shared_;
}

void InterProcessLock::Lock() {
    // Only a lock left unrecoverable by a process of another program can fail here.
    if (!Acquired(shared_->mutex, ::pthread_mutex_lock(&shared_->mutex)))
        throw std::runtime_error("the lock " + name_ + " is no longer usable");
}

bool InterProcessLock::TryLock(std::chrono::milliseconds timeout) {
    // The uncontended case needs no deadline, and so no clock.
    const int result = ::pthread_mutex_trylock(&shared_->mutex);
    if (result != EBUSY || timeout <= std::chrono::milliseconds::zero()) return Acquired(shared_->mutex, result);
    const timespec deadline = DeadlineAfter(timeout);
    return Acquired(shared_->mutex, ::pthread_mutex_clocklock(&shared_->mutex, CLOCK_MONOTONIC, &deadline));
}

void InterProcessLock::Unlock() { ::pthread_mutex_unlock(&shared_->mutex); }

std::string InterProcessLock::PathOf(const std::string &name) { return "/dev/shm/" + name; }

std::string BoardRegisterLockName(uint32_t boardIndex, int64_t scope) {
    std::string name = "vexo_genicam-board_" + std::to_string(boardIndex) + "-reg_lock";
    if (scope > board_info::kProcessScope) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "-%llx", static_cast<unsigned long long>(scope));
        name += suffix;
    }
    return name;
}

InterProcessLock OpenBoardRegisterLock(uint64_t device, uint32_t boardIndex) {
    const int64_t scope = QueryBoardInfo(device, board_info::kLockScope);
    return InterProcessLock(BoardRegisterLockName(boardIndex, scope),
                            scope == board_info::kProcessScope ? InterProcessLock::Reach::kThisProcess
                                                               : InterProcessLock::Reach::kProcesses);
}

}  // namespace vexo::genicam
