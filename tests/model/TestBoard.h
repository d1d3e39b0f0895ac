#pragma once
// A board whose controller is a FakeController, opened on the simulator's board 0.
#include <gtest/gtest.h>

#include <memory>

#include "FakeController.h"
#include "board/BoardLibraries.h"
#include "model/NOXBoardInterface.h"
#include "vexosim.h"

namespace nox_test {

class TestBoard : public vexo::genicam::NOXBoardInterface {
public:
    FakeController *fake = nullptr;

    // The simulator builds no Camera Link HS board: a simulated board with a
    // fake controller stands in for one.
    void TreatAs(vexo::genicam::ControllerKind kind) { kind_ = kind; }

protected:
    std::unique_ptr<vexo::genicam::FirmwareControllerBase> MakeController(vexo::genicam::ControllerKind,
                                                                          uint64_t device, uint64_t applet, bool,
                                                                          uint32_t) override {
        auto controller = std::make_unique<FakeController>(device, applet, this);
        fake = controller.get();
        return controller;
    }
};

// The model of the simulator's default topology after a discovery: a 2-link
// camera 0x101 on ports 0 and 1, a 1-link camera 0x103 on port 2; operators
// 1 (ports 0, 1), 2 (port 2) and 3 (port 3).
inline void FillDefaultModel(vexo::genicam::DiscoveryInfo &info, bool connect = true) {
    info.Reset();
    info.SetApPort(0, 1, 0);
    info.SetApPort(1, 1, 1);
    info.SetApPort(2, 2, 0);
    info.SetApPort(3, 3, 0);
    info.SetApTopologyKnown();
    info.SetCameraPort(0, 0x101, 0);
    info.SetCameraPort(1, 0x101, 1);
    info.SetCameraPort(2, 0x103, 0);
    for (uint32_t master : {0x101u, 0x103u}) {
        info.SetBitRate(master, master == 0x101 ? 12500 : 6250);
        info.SetDiscoveryBitRate(master, 3125);
        info.SetStreamPacketSize(master, 8192);
        info.SetControlPacketSize(master, 1024);
    }
    if (!connect) return;
    info.ConnectMasters(0x101, 1, false, 1);
    info.ConnectMasters(0x103, 2, false, 1);
}

// Scans `board` with a discovery that finds the default model.
inline int32_t ScanDefaultModel(TestBoard &board) {
    board.fake->discover = [](vexo::genicam::DiscoveryInfo &info) {
        FillDefaultModel(info);
        return 0;
    };
    return board.DiscoverCameras(0xF, 0, 0, 0);
}

// A TestBoard on the simulator's board 0, closed after each case.
class FakeBoardTest : public testing::Test {
protected:
    void Open(const char *topology = nullptr) {
        ASSERT_EQ(vexosim_load_topology(topology), 0);
        session_ = vexo::genicam::OpenGrabber(0);
        ASSERT_NE(session_, nullptr);
        board_ = std::make_unique<TestBoard>();
        ASSERT_EQ(board_->Init(session_, false, 0), ERR_NONE);
        ASSERT_NE(board_->fake, nullptr);
    }
    void Close() {
        board_.reset();
        if (session_ != nullptr) vexo::genicam::CloseGrabber(session_);
        session_ = nullptr;
    }
    void TearDown() override { Close(); }
    FakeController &Fake() { return *board_->fake; }
    void ScanDefaultModel() { ASSERT_EQ(nox_test::ScanDefaultModel(*board_), ERR_NONE); }

    GrabberSession *session_ = nullptr;
    std::unique_ptr<TestBoard> board_;
};

}  // namespace nox_test
