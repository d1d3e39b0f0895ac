#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/ReadWriteLock.h"
#include "platform/RecursiveMutex.h"
#include "platform/SimpleThread.h"
#include "platform/SpinLockVariableGuard.h"

using vexo::templates::patterns::SpinLockVariable;
using vexo::templates::patterns::SpinLockVariableGuard;

TEST(SpinLockVariableGuard, OwnerPassesThroughAndOnlyTheTakingGuardReleases) {
    SpinLockVariable variable;
    std::atomic<bool> otherGotIt{false};
    std::thread other;
    {
        SpinLockVariableGuard outer(variable);
        EXPECT_TRUE(outer.Acquired());
        {
            SpinLockVariableGuard inner(variable);
            EXPECT_FALSE(inner.Acquired());
        }
        // Still held after the inner guard ends: another thread cannot take it.
        other = std::thread([&] {
            SpinLockVariableGuard guard(variable);
            otherGotIt = true;
        });
        for (int i = 0; i < 1000 && !otherGotIt; ++i) std::this_thread::yield();
        EXPECT_FALSE(otherGotIt);
    }
    // Released by the outer guard: the other thread gets in.
    other.join();
    EXPECT_TRUE(otherGotIt);
    SpinLockVariableGuard again(variable);
    EXPECT_TRUE(again.Acquired());
}

TEST(SpinLockVariableGuard, ExcludesOtherThreads) {
    SpinLockVariable variable;
    long counter = 0;  // deliberately not atomic: the lock must protect it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            SpinLockVariableGuard guard(variable);
            counter = counter + 1;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(work);
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
}

TEST(RecursiveMutexAndReadWriteLock, GuardsNestAndExclude) {
    vexo::templates::platform::RecursiveMutex mutex;
    {
        vexo::templates::platform::RecursiveMutex::Guard outer(mutex);
        vexo::templates::platform::RecursiveMutex::Guard inner(mutex);
        std::atomic<bool> taken{true};
        std::thread([&] { taken = mutex.TryLock(); }).join();
        EXPECT_FALSE(taken);
    }
    std::atomic<bool> taken{false};
    std::thread([&] {
        taken = mutex.TryLock();
        if (taken) mutex.Unlock();
    }).join();
    EXPECT_TRUE(taken);

    vexo::templates::platform::ReadWriteLock lock;
    long value = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                if (i % 2) {
                    vexo::templates::platform::ReadWriteLock::ExclusiveGuard guard(lock);
                    value = value + 1;
                } else {
                    vexo::templates::platform::ReadWriteLock::SharedGuard guard(lock);
                    EXPECT_GE(value, 0);
                }
            }
        });
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(value, 4 * 2500);
}

namespace {
class StoppableThread : public vexo::templates::platform::SimpleThread {
public:
    ~StoppableThread() override {
        stop = true;
        Join();
    }
    std::atomic<bool> stop{false};
    std::atomic<int> passes{0};

protected:
    void Run() override {
        while (!stop) {
            ++passes;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};
}  // namespace

TEST(SimpleThread, RunsUntilToldToStopAndJoins) {
    StoppableThread thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start());  // already started
    for (int i = 0; i < 5000 && thread.passes < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(thread.passes, 3);
    EXPECT_FALSE(thread.WaitForFinish(std::chrono::milliseconds(5)));
    thread.stop = true;
    EXPECT_TRUE(thread.WaitForFinish(std::chrono::seconds(10)));
    EXPECT_TRUE(thread.IsFinished());
    thread.Join();
    thread.Join();  // harmless twice
}
