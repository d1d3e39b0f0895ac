#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "TestBoard.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"

using namespace vexo::genicam;

namespace {

struct EventLog {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<NoxEvent, NoxCameraHandle *>> events;
    std::function<void(NoxBoardHandle *, NoxCameraHandle *)> reaction;

    static int32_t Callback(NoxBoardHandle *board, NoxCameraHandle *camera, const NoxEvent *event, void *context) {
        auto *log = static_cast<EventLog *>(context);
        if (log->reaction) log->reaction(board, camera);
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events.emplace_back(*event, camera);
        log->arrived.notify_all();
        return 0;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
    bool WaitFor(size_t count, std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, bound, [&] { return events.size() >= count; });
    }
};

class Monitoring : public nox_test::FakeBoardTest {
protected:
    void Open(const char *initialWaitMs) {
        ::setenv("VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", initialWaitMs, 1);
        FakeBoardTest::Open();
        ScanDefaultModel();
        camera_ = board_->GetCamera(1);  // the 1-link camera on port 2
        ASSERT_EQ(camera_->LinkConnect(), ERR_NONE);
    }

    NOXCameraInterface *camera_ = nullptr;
    EventLog log_;
};

}  // namespace

// Reported once, and again after a new connect, through the exported interface by the recovery road.
TEST_F(Monitoring, ALinkTheControllerCannotLookAtIsNoLoss) {
    Open("0");
    ASSERT_EQ(board_->RegisterEventCallback(&EventLog::Callback, &log_), ERR_NONE);
    // A link the controller cannot look at (its lock not had in time) is no loss.
    board_->fake->SetCheckable(2, false);
    board_->fake->SetSynchronized(2, false);
    const int looked = board_->fake->CountCalls("CheckLinkSync");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (board_->fake->CountCalls("CheckLinkSync") < looked + 3 && std::chrono::steady_clock::now() < deadline)
        board_->CheckCameraLinks();
    ASSERT_GE(board_->fake->CountCalls("CheckLinkSync"), looked + 3);
    EXPECT_EQ(log_.Count(), 0u);
    EXPECT_TRUE(camera_->IsLinkUpFlag());

    board_->fake->SetCheckable(2, true);
    // (The event's type, slot and camera are checked through the exported interface by the
    // concurrency stress and the recovery road.)
    ASSERT_TRUE(log_.WaitFor(1, std::chrono::seconds(5)));
    EXPECT_FALSE(camera_->IsLinkUpFlag());
}

TEST_F(Monitoring, NothingIsReportedDuringTheInitialWait) {
    Open("600000");
    ASSERT_EQ(board_->RegisterEventCallback(&EventLog::Callback, &log_), ERR_NONE);
    board_->fake->SetSynchronized(2, false);
    for (int pass = 0; pass < 3; ++pass) board_->CheckCameraLinks();
    EXPECT_EQ(log_.Count(), 0u);
    EXPECT_TRUE(camera_->IsLinkUpFlag());
    // A forced check sees the loss at once.
    EXPECT_FALSE(camera_->IsLinkUp(true));
}

TEST_F(Monitoring, TheCallbackIsOptionalAndWhatItThrowsStaysInsideTheBoard) {
    Open("0");
    board_->fake->SetSynchronized(2, false);
    // The initial wait of 0 ms is over once a millisecond has passed since the connect.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (camera_->IsLinkUpFlag() && std::chrono::steady_clock::now() < deadline) board_->CheckCameraLinks();
    EXPECT_FALSE(camera_->IsLinkUpFlag());
    EXPECT_EQ(board_->DispatchEvent(NoxEvent{100, 1, 0}, camera_), ERR_NO_EVENT_HANDLER);
    // Cameras that never connected are not watched.
    EXPECT_TRUE(board_->GetCamera(0)->IsLinkUp(false));

    auto throwing = [](NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *, void *) -> int32_t {
        throw std::runtime_error("application fault");
    };
    ASSERT_EQ(board_->RegisterEventCallback(throwing, nullptr), ERR_NONE);
    EXPECT_EQ(board_->DispatchEvent(NoxEvent{100, 0, 0}, camera_), ERR_EXCEPTION);
}

TEST_F(Monitoring, TheCallbackMayCallBackIntoTheBoardAndRescanIt) {
    Open("0");
    log_.reaction = [this](NoxBoardHandle *handle, NoxCameraHandle *reported) {
        BoardPin board = LiveBoard(handle);
        ASSERT_EQ(board.get(), board_.get());
        EXPECT_EQ(board->GetCameraCount(), 3u);
        EXPECT_NE(board->FindCameraByPort(2), nullptr);
        board->RegisterEventCallback(&EventLog::Callback, &log_);
        ASSERT_EQ(board->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
        // The rescan retired the reported camera; it is deleted only once the callback is done with it.
        EXPECT_TRUE(LiveCamera(reported) == nullptr);
        EXPECT_EQ(reinterpret_cast<NOXCameraInterface *>(reported)->MasterId(), 0x103u);
        EXPECT_NE(board->GetCamera(1), reinterpret_cast<NOXCameraInterface *>(reported));
    };
    ASSERT_EQ(board_->RegisterEventCallback(&EventLog::Callback, &log_), ERR_NONE);
    board_->fake->SetSynchronized(2, false);
    EXPECT_TRUE(log_.WaitFor(1, std::chrono::seconds(5)));
}
