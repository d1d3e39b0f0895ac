#include "platform/SimpleThread.h"

#include <system_error>

#include "platform/ThreadId.h"

namespace vexo::templates::platform {

SimpleThread::~SimpleThread() { Join(); }

bool SimpleThread::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || thread_.joinable()) return false;
    try {
        thread_ = std::thread(&SimpleThread::Body, this);
    } catch (const std::system_error &) {
        return false;
    }
    runner_ = thread_.get_id();
    running_ = true;
    finished_ = false;
    return true;
}

void SimpleThread::Body() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threadId_ = CurrentThreadId();
    }
    Run();
    bool deleteSelf = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        finished_ = true;
        deleteSelf = deleteWhenFinished_;
        finishedChanged_.notify_all();
    }
    if (deleteSelf) delete this;
}

bool SimpleThread::IsCurrentThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runner_ == std::this_thread::get_id();
}

void SimpleThread::DeleteWhenFinished() {
    std::lock_guard<std::mutex> lock(mutex_);
    deleteWhenFinished_ = true;
    if (thread_.joinable()) thread_.detach();
}

bool SimpleThread::WaitForFinish(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedChanged_.wait_for(lock, timeout, [this] { return !running_; });
}

void SimpleThread::Join() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        thread.swap(thread_);
    }
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
    else if (thread.joinable()) thread.detach();
}

bool SimpleThread::IsRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

bool SimpleThread::IsFinished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

uint32_t SimpleThread::ThreadId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadId_;
}

}  // namespace vexo::templates::platform
