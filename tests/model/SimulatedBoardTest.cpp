// The board model on the virtual frame grabber, with the real CoaXPress controller.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/BoardLibraries.h"
#include "board/FirmwareControllerBase.h"
#include "model/NOXBoardInterface.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"
#include "protocol/CxpBootstrap.h"
#include "vexosim.h"

using namespace vexo::genicam;
namespace bootstrap = vexo::protocol::cxp::bootstrap;
using Clock = std::chrono::steady_clock;

namespace {

class SimulatedBoard : public testing::Test {
protected:
    void Open(const char *topology = nullptr, uint32_t index = 0) {
        ASSERT_EQ(vexosim_load_topology(topology), 0);
        session_ = OpenGrabber(index);
        ASSERT_NE(session_, nullptr);
        board_ = std::make_unique<NOXBoardInterface>();
        ASSERT_EQ(board_->Init(session_, false, 0), ERR_NONE);
    }
    void TearDown() override {
        board_.reset();
        if (session_ != nullptr) CloseGrabber(session_);
    }
    uint32_t ReadCameraRegister(uint32_t port, uint32_t address) {
        uint32_t value = 0;
        EXPECT_EQ(board_->Controller()->ReadRaw(port, address, &value, 4, ByteSwap::kSwapWords, 200), ERR_NONE);
        return value;
    }

    GrabberSession *session_ = nullptr;
    std::unique_ptr<NOXBoardInterface> board_;
};

struct Events {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<NoxEvent, Clock::time_point>> received;

    static int32_t Record(NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *event, void *context) {
        auto *events = static_cast<Events *>(context);
        std::lock_guard<std::mutex> lock(events->mutex);
        events->received.emplace_back(*event, Clock::now());
        events->arrived.notify_all();
        return 0;
    }
    bool WaitFor(size_t count, std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, bound, [&] { return received.size() >= count; });
    }
};

}  // namespace

TEST_F(SimulatedBoard, ScanningTheDefaultTopology) {
    Open();
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    ASSERT_EQ(board_->GetCameraCount(), 3u);
    // How the model becomes cameras and placeholders is BoardModel's part;
    // here the real controller's findings reach them.
    NOXCameraInterface *twoLink = board_->GetCamera(0);
    NOXCameraInterface *oneLink = board_->GetCamera(1);
    EXPECT_EQ(twoLink->GetPortIndex(), 0u);
    EXPECT_EQ(twoLink->LinkCount(), 2u);
    EXPECT_EQ(twoLink->BitRate(), 12500u);
    EXPECT_EQ(oneLink->GetPortIndex(), 2u);
    EXPECT_EQ(oneLink->LinkCount(), 1u);
    EXPECT_EQ(oneLink->BitRate(), 6250u);
    EXPECT_TRUE(board_->GetCamera(2)->IsDummy());
}

TEST_F(SimulatedBoard, LinkConnectConfiguresTheCamera) {
    Open();
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    NOXCameraInterface *camera = board_->GetCamera(0);
    // Spoil what the connect must set again.
    board_->Controller()->WriteRegister(0, bootstrap::kMasterHostConnectionId, 0, ByteSwap::kSwapWords, AcknowledgeMode::kRequired, 0);
    ASSERT_EQ(camera->LinkConnect(), ERR_NONE);
    EXPECT_TRUE(camera->IsTopologyOk());
    EXPECT_TRUE(camera->IsLinkUp(true));
    EXPECT_EQ(ReadCameraRegister(0, bootstrap::kMasterHostConnectionId), camera->MasterId());
    EXPECT_EQ(ReadCameraRegister(0, bootstrap::kStreamPacketSizeMax), 8192u) << "the applet's stream packet size";
    EXPECT_EQ(ReadCameraRegister(0, bootstrap::kConnectionConfig), 0x00020058u) << "2 links at 12500";
    EXPECT_EQ(camera->ControlPacketSize(), 1024u);
}

TEST_F(SimulatedBoard, ALostMasterLinkIsReportedAfterTheInitialWait) {
    ::setenv("VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", "700", 1);
    Open();
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    NOXCameraInterface *camera = board_->GetCamera(1);
    Events events;
    ASSERT_EQ(board_->RegisterEventCallback(&Events::Record, &events), ERR_NONE);
    ASSERT_EQ(camera->LinkConnect(), ERR_NONE);
    const Clock::time_point connected = Clock::now();
    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);

    ASSERT_TRUE(events.WaitFor(1, std::chrono::seconds(10)));
    const auto &[event, when] = events.received[0];
    EXPECT_EQ(uint16_t{event.type}, 100);
    EXPECT_EQ(uint32_t{event.slot}, 1u);
    EXPECT_GE(when - connected, std::chrono::milliseconds(700)) << "nothing before the initial wait";
    EXPECT_FALSE(camera->IsLinkUpFlag());
    // Reported once, however long the link stays down.
    EXPECT_FALSE(events.WaitFor(2, std::chrono::milliseconds(400)));

    // Plugged back and connected again, the next loss is reported again.
    ASSERT_EQ(vexosim_plug(0, 2, 1), 0);
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    camera = board_->GetCamera(1);
    ASSERT_EQ(camera->LinkConnect(), ERR_NONE);
    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);
    EXPECT_TRUE(events.WaitFor(2, std::chrono::seconds(10)));
}

TEST_F(SimulatedBoard, TwoBoardsScannedAndConnectedFromTwoThreads) {
    const char *twoBoards = R"({"boards": [
        {"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]},
         "cameras": [{"links": [0, 1]}, {"links": [2], "speeds": [1250, 3125, 6250]}]},
        {"model": "cxp2-c", "cameras": [{"links": [0]}, {"links": [1]}]}]})";
    ASSERT_EQ(vexosim_load_topology(twoBoards), 0);
    std::atomic<int> failures{0};
    auto work = [&](uint32_t index, uint32_t mask) {
        GrabberSession *session = OpenGrabber(index);
        if (session == nullptr) {
            ++failures;
            return;
        }
        {
            NOXBoardInterface board;
            Events events;
            board.RegisterEventCallback(&Events::Record, &events);
            if (board.Init(session, false, 0) != ERR_NONE) ++failures;
            for (int round = 0; round < 3; ++round) {
                if (board.DiscoverCameras(mask, 0, 0, 0) != ERR_NONE) ++failures;
                for (uint32_t slot = 0; slot < board.GetCameraCount(); ++slot) {
                    NOXCameraInterface *camera = board.GetCamera(slot);
                    if (camera != nullptr && !camera->IsDummy() && camera->LinkConnect() != ERR_NONE) ++failures;
                }
                board.CheckCameraLinks();
            }
        }
        CloseGrabber(session);
    };
    std::thread first(work, 0, 0xF), second(work, 1, 0x3);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
}
