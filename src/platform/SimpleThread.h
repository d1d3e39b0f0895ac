#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vexo::templates::platform {

// A thread running the virtual Run of a derived object. The derived class
// tells Run to stop in its own way and calls Join before its members go.
class SimpleThread {
public:
    SimpleThread() = default;
    virtual ~SimpleThread();

    SimpleThread(const SimpleThread &) = delete;
    SimpleThread &operator=(const SimpleThread &) = delete;

    // Starts Run on a new thread; false when already started or the thread
    // could not be created (the object then stays not running).
    bool Start();
    // Waits until Run has returned; returns false when it did not within the time.
    bool WaitForFinish(std::chrono::milliseconds timeout);
    // Waits without limit and releases the thread. Safe to call more than once.
    void Join();

    bool IsRunning() const;
    bool IsFinished() const;
    uint32_t ThreadId() const;

protected:
    virtual void Run() = 0;

private:
    void Body();

    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    std::thread thread_;
    uint32_t threadId_ = 0;
    bool running_ = false;
    bool finished_ = false;
};

}  // namespace vexo::templates::platform
