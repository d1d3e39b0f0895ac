#pragma once
#include <condition_variable>
#include <mutex>

#include "platform/SimpleThread.h"

namespace vexo::genicam {

class NOXBoardInterface;

// Watches a board's connected cameras: nine passes in every ten ticks of
// 100 ms, each a CheckCameraLinks of the board, which the pass holds by a pin.
// A board freed while calls or its callback still held it is ended here once
// they let go (TakeOverEnd); the board's destructor, running on this thread,
// then lets the thread end on its own. Stop() ends the thread within one tick
// plus a running pass and waits for it.
class NoxBoardMonitoringThread : public templates::platform::SimpleThread {
public:
    static constexpr int kTickMs = 100;
    static constexpr int kSkippedTick = 10;

    explicit NoxBoardMonitoringThread(NOXBoardInterface &board) : board_(board) {}
    ~NoxBoardMonitoringThread() override;

    // No pass starts after this.
    void RequestStop();
    // RequestStop, then waits for the thread.
    void Stop();
    // The freed board is this thread's to delete with `dispose` once nothing
    // holds it; no pass starts any more. False when the thread does not run.
    bool TakeOverEnd(void (*dispose)(NOXBoardInterface *));

protected:
    void Run() override;

private:
    void RunPass();
    void EndBoard(void (*dispose)(NOXBoardInterface *));

    NOXBoardInterface &board_;
    std::mutex stopMutex_;
    std::condition_variable stopRequested_;
    bool stop_ = false;
    void (*endBoard_)(NOXBoardInterface *) = nullptr;
};

}  // namespace vexo::genicam
