// Camera register reads through the CoaXPress controller on a locked link of
// the virtual frame grabber. The command packet of a 4-byte read alone needs
// 11.5 us on a CoaXPress 1.1 uplink (24 bytes, 8b/10b, 20.833 Mbit/s); the
// controller's own cost per read should stay well below a tenth of that.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "board/BoardLibraries.h"
#include "board/ControllerOwner.h"
#include "cxp/CxpController.h"
#include "model/CameraOperatorAllocation.h"
#include "platform/Environment.h"
#include "vexosim.h"

namespace {

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
        for (const char *name : {"VEXO_CXP_WAIT_AFTER_LINK_RESET_DONE", "VEXO_CXP_WAIT_AFTER_CAMERA_CONFIG_CHANGED",
                                 "VEXO_CXP_WAIT_AFTER_UPLINK_SPEED_CHANGED", "VEXO_CXP_WAIT_AFTER_POWERUP"})
            vexo::templates::platform::SetEnvironment(name, "0");
        vexosim_load_topology(nullptr);
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
    GrabberSession *session_ = nullptr;
    Owner owner_;
    std::unique_ptr<CxpController> controller_;
    bool ready_ = false;
};

LockedBoard &Board() {
    static LockedBoard board;
    return board;
}

void BM_ReadRawFourBytes(benchmark::State &state) {
    LockedBoard &board = Board();
    if (!board.Ready()) {
        state.SkipWithError("discovery failed");
        return;
    }
    uint32_t value = 0;
    for (auto _ : state) {
        if (board.Controller().ReadRaw(0, 0x0000, &value, 4, 1, 0) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadRawFourBytes);

void BM_ReadMemory(benchmark::State &state) {
    LockedBoard &board = Board();
    if (!board.Ready()) {
        state.SkipWithError("discovery failed");
        return;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        if (board.Controller().ReadMemory(0, 0x100000, buffer.data(), static_cast<uint32_t>(buffer.size()), 0) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadMemory)->Arg(256)->Arg(1024);

}  // namespace
