#include "model/NoxBoardMonitoringThread.h"

#include <chrono>

#include "model/NOXBoardInterface.h"

namespace vexo::genicam {

NoxBoardMonitoringThread::~NoxBoardMonitoringThread() { Stop(); }

void NoxBoardMonitoringThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_ = true;
    }
    stopRequested_.notify_all();
    Join();
}

void NoxBoardMonitoringThread::Run() {
    std::unique_lock<std::mutex> lock(stopMutex_);
    for (unsigned tick = 1; !stop_; ++tick) {
        if (tick % kSkippedTick != 0) {
            lock.unlock();
            board_.CheckCameraLinks();
            lock.lock();
        }
        stopRequested_.wait_for(lock, std::chrono::milliseconds(kTickMs), [this] { return stop_; });
    }
}

}  // namespace vexo::genicam
