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
    // True when called on the thread that runs Run.
    bool IsCurrentThread() const;
    // For an owner that ends on this very thread and so cannot join it: the
    // thread is let go and deletes this object once Run has returned. Call it
    // from the thread itself, and touch the object no more.
    void DeleteWhenFinished();

protected:
    virtual void Run() = 0;

private:
    void Body();

    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    std::thread thread_;
    std::thread::id runner_;
    uint32_t threadId_ = 0;
    bool running_ = false;
    bool finished_ = false;
    bool deleteWhenFinished_ = false;
};

}  // namespace vexo::templates::platform
