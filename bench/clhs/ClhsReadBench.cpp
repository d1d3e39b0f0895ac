// A 4-byte camera register read over GenCP on the X-Core message channel of a
// Camera Link HS board that answers at once ("timing": false). Each iteration
// reads through the controller and then makes the same exchange by hand on
// the same port, word by word on the board's registers (the simulator alone).
// The counters: simulator_us per read, library_us per read, and
// library_excess_us, the median of (library - by hand): the library's share.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "TransferCounters.h"
#include "board/BoardLibraries.h"
#include "board/ControllerOwner.h"
#include "clhs/ClhsController.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"
#include "vexosim.h"

namespace {

using namespace vexo::genicam;
namespace clhs = vexo::protocol::clhs;
using Thread = vexo::genicam::clhs::LinkStateControllerThread;

class NoOwner : public ControllerOwner {
public:
    int32_t AllocateCameraOperator(DiscoveryInfo &, uint32_t) override { return 0; }
};

class ClhsBoard {
public:
    ClhsBoard() {
        vexosim_load_topology(R"({"boards": [{"model": "clhs2-c", "timing": false, "cameras": [{"links": [0]}]}]})");
        session_ = OpenGrabber(0);
        if (session_ == nullptr) return;
        device_ = SessionDeviceHandle(session_);
        const uint64_t applet = SessionAppletHandle(session_);
        controller_ = std::make_unique<ClhsController>(device_, applet, &owner_, 1, true, 1);
        txData_ = uint32_t(FindAppletRegister(applet, "ClhsTxCmdData_0"));
        txCommand_ = uint32_t(FindAppletRegister(applet, "ClhsTxCmdCommand_0"));
        txStatus_ = uint32_t(FindAppletRegister(applet, "ClhsTxCmdStatus_0"));
        rxStatus_ = uint32_t(FindAppletRegister(applet, "ClhsRxCmdStatus_0"));
        rxData_ = uint32_t(FindAppletRegister(applet, "ClhsRxCmdData_0"));
        const Thread *thread = controller_->LinkThread(0);
        for (int period = 0; thread && period < 20 && thread->GetState() != Thread::kUp; ++period)
            thread->AwaitPeriods(1, std::chrono::seconds(1));
        ready_ = thread && thread->GetState() == Thread::kUp;
    }
    ~ClhsBoard() {
        controller_.reset();
        if (session_ != nullptr) CloseGrabber(session_);
    }
    bool Ready() const { return ready_; }
    ClhsController &Controller() { return *controller_; }

    // The read of the GenCP version register, word by word: true when the answer carries it.
    bool ReadByHand() {
        const uint32_t command[] = {clhs::kMessageWord0, clhs::kMessageWord1, 0x40000800, 12u << 16 | ++requestId_, 0, 0, 4};
        uint64_t status = 0, word = 0;
        for (uint32_t value : command) WriteBoardRegister(device_, txData_, value);
        WriteBoardRegister(device_, txCommand_, clhs::kTxCommandSend);
        do ReadBoardRegister(device_, txStatus_, &status);
        while (status & clhs::kTxStatusBusy);
        do ReadBoardRegister(device_, rxStatus_, &status);
        while (!(status & clhs::kRxStatusMessage));
        uint32_t last = 0;
        for (; status & clhs::kRxStatusWordsLeft; ReadBoardRegister(device_, rxStatus_, &status)) {
            ReadBoardRegister(device_, rxData_, &word);
            last = uint32_t(word);
        }
        return last == 0x00000100;
    }

private:
    GrabberSession *session_ = nullptr;
    uint64_t device_ = 0;
    NoOwner owner_;
    std::unique_ptr<ClhsController> controller_;
    uint32_t txData_ = 0, txCommand_ = 0, txStatus_ = 0, rxStatus_ = 0, rxData_ = 0;
    uint16_t requestId_ = 0x8000;
    bool ready_ = false;
};

void BM_ClhsRegisterRead(benchmark::State &state) {
    static ClhsBoard board;
    if (!board.Ready()) return state.SkipWithError("the link did not come up");
    uint32_t value = 0;
    const nox_bench::TurnSeconds seconds = nox_bench::TimeInTurns(
        state,
        [&] {
            return board.Controller().ReadRaw(0, vexo::protocol::gencp::bootstrap::kGenCpVersion, &value, 4,
                                              ByteSwap::kSwapWords, 0) == 0 &&
                   value == vexo::protocol::gencp::kVersion1_0;
        },
        [&] { return board.ReadByHand(); });
    if (state.error_occurred()) return;
    const double iterations = static_cast<double>(state.iterations());
    state.counters["library_us"] = seconds.measured / iterations * 1e6;
    state.counters["simulator_us"] = seconds.reference / iterations * 1e6;
    state.counters["library_excess_us"] = seconds.medianExcess * 1e6;
    state.SetLabel("read 4 B over the message channel");
}
BENCHMARK(BM_ClhsRegisterRead)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
