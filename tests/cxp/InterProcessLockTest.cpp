#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "cxp/InterProcessLock.h"

using vexo::genicam::BoardRegisterLockName;
using vexo::genicam::InterProcessLock;
using namespace std::chrono_literals;

namespace {

// A lock name of this test process only; its file is removed afterwards.
class LockName {
public:
    LockName() : name_(BoardRegisterLockName(900000 + static_cast<uint32_t>(::getpid()))) { Remove(); }
    ~LockName() { Remove(); }
    const std::string &Get() const { return name_; }
    std::filesystem::path Path() const { return InterProcessLock::PathOf(name_); }

private:
    void Remove() const {
        std::error_code ignored;
        std::filesystem::remove(Path(), ignored);
    }
    std::string name_;
};

// A pipe from child to parent (or back) carrying single bytes, read with a bound.
class Signal {
public:
    Signal() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Signal() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void Send() const { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }
    bool Await(std::chrono::milliseconds timeout) const {
        pollfd poll{fds_[0], POLLIN, 0};
        if (::poll(&poll, 1, static_cast<int>(timeout.count())) != 1) return false;
        char byte;
        return ::read(fds_[0], &byte, 1) == 1;
    }

private:
    int fds_[2];
};

// Runs `body` in a child process, which ends with the code it returns.
template <class Body>
pid_t Fork(Body &&body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    EXPECT_GT(child, 0);
    return child;
}

int ExitCode(pid_t child) {
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Handing the lock from process to process on unlock: ProcessesRacingToCreateTheLockShareOneMutex.
TEST(InterProcessLock, AnotherProcessWaitsAndTheLockOfAKilledHolderIsFreed) {
    EXPECT_EQ(BoardRegisterLockName(3), "vexo_genicam-board_3-reg_lock");
    LockName name;
    Signal locked;
    const pid_t holder = Fork([&] {
        InterProcessLock lock(name.Get());
        lock.Lock();
        locked.Send();
        std::this_thread::sleep_for(30s);
        return 1;
    });
    ASSERT_TRUE(locked.Await(10s));
    InterProcessLock lock(name.Get());
    EXPECT_FALSE(lock.TryLock(50ms));
    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    EXPECT_EQ(ExitCode(holder), -1);
    ASSERT_TRUE(lock.TryLock(10s));
    lock.Unlock();
    // Recovered for good, not only once.
    lock.Lock();
    lock.Unlock();
    EXPECT_TRUE(lock.TryLock(0ms));
    lock.Unlock();
    // Everyone of the board's users may open it.
    struct stat status {};
    ASSERT_EQ(::stat(name.Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666u);
}

TEST(InterProcessLock, TheOwningThreadReentersOtherThreadsWait) {
    LockName name;
    InterProcessLock lock(name.Get());
    InterProcessLock secondHandle(name.Get());
    lock.Lock();
    EXPECT_TRUE(lock.TryLock(0ms));
    EXPECT_TRUE(secondHandle.TryLock(0ms));  // the same lock through another object of this thread
    std::atomic<int> otherThread{-1};
    std::thread([&] { otherThread = lock.TryLock(50ms) ? 1 : 0; }).join();
    EXPECT_EQ(otherThread, 0);
    secondHandle.Unlock();
    lock.Unlock();
    lock.Unlock();
    std::thread([&] {
        otherThread = lock.TryLock(1s) ? 1 : 0;
        lock.Unlock();
    }).join();
    EXPECT_EQ(otherThread, 1);
}

TEST(InterProcessLock, ProcessesRacingToCreateTheLockShareOneMutex) {
    LockName name;
    constexpr int kChildren = 4;
    constexpr int kRounds = 2000;
    auto *counter = static_cast<volatile int *>(
        ::mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(counter, MAP_FAILED);
    *counter = 0;
    Signal start;
    pid_t children[kChildren];
    for (pid_t &child : children)
        child = Fork([&] {
            if (!start.Await(10s)) return 1;
            InterProcessLock lock(name.Get());
            for (int round = 0; round < kRounds; ++round) {
                lock.Lock();
                const int seen = *counter;
                if (round % 64 == 0) std::this_thread::yield();
                *counter = seen + 1;
                lock.Unlock();
            }
            return 0;
        });
    for (int i = 0; i < kChildren; ++i) start.Send();
    for (pid_t child : children) EXPECT_EQ(ExitCode(child), 0);
    EXPECT_EQ(*counter, kChildren * kRounds);
    ::munmap(const_cast<int *>(counter), sizeof(int));
}

TEST(InterProcessLock, APathThatIsNoPlainFileIsRefused) {
    LockName name;
    const std::filesystem::path target = name.Path().string() + "-target";
    std::filesystem::create_symlink(target, name.Path());
    try {
        InterProcessLock lock(name.Get());
        FAIL() << "a symbolic link was followed";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "can not open the requested lock");
    }
    std::filesystem::remove(name.Path());
    std::filesystem::create_directory(name.Path());
    EXPECT_THROW(InterProcessLock{name.Get()}, std::runtime_error);
    std::filesystem::remove(name.Path());
    EXPECT_THROW(InterProcessLock{"a/b"}, std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(target));
}
