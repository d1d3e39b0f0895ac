// Camera register reads through the CoaXPress controller on a locked link of
// the virtual frame grabber, below the exported interface: what the
// controller adds to the simulator's cost of the same transfer. The board
// answers at once ("timing": false), as for the simulator's own figures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/BoardLibraries.h"
#include "board/ControllerOwner.h"
#include "cxp/CxpController.h"
#include "model/CameraOperatorAllocation.h"
#include "protocol/CxpBootstrap.h"
#include "SimulatedBoard.h"
#include "TemporaryFolder.h"
#include "Topologies.h"
#include "TransferCounters.h"
#include "vexosim.h"

namespace {

using vexo::genicam::ByteSwap;
using vexo::genicam::CxpController;

class Owner : public vexo::genicam::ControllerOwner {
public:
    int32_t AllocateCameraOperator(vexo::genicam::DiscoveryInfo &info, uint32_t cameraMasterId) override {
        return vexo::genicam::AllocateCameraOperator(info, cameraMasterId, *controller, false, nullptr);
    }
    CxpController *controller = nullptr;
};

// The default topology's board after discovery: the 2-link camera answers on applet port 0.
class LockedBoard {
public:
    LockedBoard() {
        nox_bench::UseFastWaits();
        const std::string description = folder_.Write("filler.xml", std::string(64 << 10, 'x'));
        vexosim_load_topology(nox_bench::DefaultBoardWithDescription(description, false, nox_bench::Timing::kInstant).c_str());
        session_ = vexo::genicam::OpenGrabber(0);
        controller_ = std::make_unique<CxpController>(vexo::genicam::SessionDeviceHandle(session_),
                                                      vexo::genicam::SessionAppletHandle(session_), &owner_, 0, 0);
        owner_.controller = controller_.get();
        ready_ = controller_->Discovery(0, 0, 0xF, 0) == 0;
    }
    ~LockedBoard() {
        controller_.reset();
        if (session_ != nullptr) vexo::genicam::CloseGrabber(session_);
    }
    bool Ready() const { return ready_; }
    CxpController &Controller() { return *controller_; }

private:
    nox_bench::TemporaryFolder folder_;
    GrabberSession *session_ = nullptr;
    Owner owner_;
    std::unique_ptr<CxpController> controller_;
    bool ready_ = false;
};

LockedBoard &Board() {
    static LockedBoard board;
    return board;
}

void BM_ControllerReadRaw(benchmark::State &state) {
    LockedBoard &board = Board();
    if (!board.Ready()) {
        state.SkipWithError("discovery failed");
        return;
    }
    uint32_t value = 0;
    for (auto _ : state) {
        if (board.Controller().ReadRaw(0, vexo::protocol::cxp::bootstrap::kStandard, &value, 4, ByteSwap::kSwapWords, 0) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
    nox_bench::ReportWireTime(state, nox_bench::Transfer::kRead, 4);
}
BENCHMARK(BM_ControllerReadRaw);

void BM_ControllerReadMemory(benchmark::State &state) {
    LockedBoard &board = Board();
    if (!board.Ready()) {
        state.SkipWithError("discovery failed");
        return;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        if (board.Controller().ReadMemory(0, nox_bench::kDescriptionAddress, buffer.data(), static_cast<uint32_t>(buffer.size()), 0) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    nox_bench::ReportWireTime(state, nox_bench::Transfer::kRead, static_cast<uint64_t>(state.range(0)));
}
BENCHMARK(BM_ControllerReadMemory)->Arg(512)->Arg(4 << 10);

}  // namespace
