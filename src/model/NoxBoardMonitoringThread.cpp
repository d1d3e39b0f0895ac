#include "model/NoxBoardMonitoringThread.h"

#include <chrono>

#include "model/NOXBoardInterface.h"

namespace vexo::genicam {

NoxBoardMonitoringThread::~NoxBoardMonitoringThread() { Stop(); }

void NoxBoardMonitoringThread::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_ = true;
    }
    stopRequested_.notify_all();
}

void NoxBoardMonitoringThread::Stop() {
    RequestStop();
    Join();
}

bool NoxBoardMonitoringThread::TakeOverEnd(void (*dispose)(NOXBoardInterface *)) {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        if (stop_ || endBoard_ != nullptr || !IsRunning()) return false;
        endBoard_ = dispose;
    }
    stopRequested_.notify_all();
    return true;
}

void NoxBoardMonitoringThread::Run() {
    std::unique_lock<std::mutex> lock(stopMutex_);
    for (unsigned tick = 1; !stop_; ++tick) {
        if (endBoard_ != nullptr) {
            const auto dispose = endBoard_;
            lock.unlock();
            // The board's end deletes this object's owner; nothing of it is touched after.
            EndBoard(dispose);
            return;
        }
        if (tick % kSkippedTick != 0) {
            lock.unlock();
            RunPass();
            lock.lock();
        }
        stopRequested_.wait_for(lock, std::chrono::milliseconds(kTickMs),
                                [this] { return stop_ || endBoard_ != nullptr; });
    }
}

void NoxBoardMonitoringThread::RunPass() {
    // Only the address is used until the pin says the board is there.
    BoardPin board = LiveBoard(ToHandle(&board_));
    if (board != nullptr) board->CheckCameraLinks();
}

void NoxBoardMonitoringThread::EndBoard(void (*dispose)(NOXBoardInterface *)) {
    NOXBoardInterface *board = &board_;
    AwaitLastRelease(board);
    dispose(board);
}

}  // namespace vexo::genicam
