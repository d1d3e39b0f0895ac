#pragma once
#include <condition_variable>
#include <mutex>

#include "platform/SimpleThread.h"

namespace vexo::genicam {

class NOXBoardInterface;

// Watches a board's connected cameras: nine passes in every ten ticks of
// 100 ms, each a CheckCameraLinks of the board. Stop() ends the thread within
// one tick plus a running pass and waits for it.
class NoxBoardMonitoringThread : public templates::platform::SimpleThread {
public:
    static constexpr int kTickMs = 100;
    static constexpr int kSkippedTick = 10;

    explicit NoxBoardMonitoringThread(NOXBoardInterface &board) : board_(board) {}
    ~NoxBoardMonitoringThread() override;

    void Stop();

protected:
    void Run() override;

private:
    NOXBoardInterface &board_;
    std::mutex stopMutex_;
    std::condition_variable stopRequested_;
    bool stop_ = false;
};

}  // namespace vexo::genicam
