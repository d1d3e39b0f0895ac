// The board model under several threads: what waits for what, and who deletes a freed board.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Latch.h"
#include "TestBoard.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"
#include "vexosim.h"

using namespace vexo::genicam;
using nox_test::EndIfHung;
using nox_test::Latch;
using nox_test::TestBoard;
using namespace std::chrono_literals;

namespace {

// Only to catch a hang.
constexpr auto kHang = 10s;

int32_t IgnoreEvent(NoxBoardHandle *, NoxCameraHandle *, const NoxEvent *, void *) { return 0; }

// A grabber session, closed after everything declared after it is gone.
struct Session {
    explicit Session(uint32_t index) : session(OpenGrabber(index)) {}
    ~Session() {
        if (session != nullptr) CloseGrabber(session);
    }
    GrabberSession *session;
};

// A board of the simulator with the default model discovered; the 1-link
// camera on port 2 (slot 1) is the one the tests connect.
struct ConnectedBoard {
    explicit ConnectedBoard(uint32_t index) : session(index) {
        EXPECT_NE(session.session, nullptr);
        EXPECT_EQ(board.Init(session.session, false, 0), ERR_NONE);
        EXPECT_EQ(nox_test::ScanDefaultModel(board), ERR_NONE);
        camera = board.GetCamera(1);
    }

    Session session;
    TestBoard board;
    NOXCameraInterface *camera = nullptr;
};

}  // namespace

TEST(BoardConcurrency, ListCallsAnswerWhileAPowerUpHoldsTheLinkLock) {
    ::setenv("VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", "0", 1);
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    ConnectedBoard connected(0);
    TestBoard &board = connected.board;
    ASSERT_EQ(connected.camera->LinkConnect(), ERR_NONE);
    // Watched for real once the monitor has looked at the link (the initial wait is over).
    const auto deadline = std::chrono::steady_clock::now() + kHang;
    while (board.fake->CountCalls("CheckLinkSync") == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_GT(board.fake->CountCalls("CheckLinkSync"), 0);

    // The power-up holds the link lock from `holding` until `release`.
    Latch holding, release;
    board.fake->OnReach([&](const std::string &operation) {
        if (operation != "PowerOn") return;
        holding.Open();
        release.Wait(kHang);
    });
    std::thread power([&] { board.Controller()->SwitchPower(0x8, 1); });
    ASSERT_TRUE(holding.Wait(kHang));
    // While the power-up is held: a monitoring pass meets the held link lock
    // and leaves the camera for a later pass, and the list answers at once.
    Latch answered;
    std::thread lister([&] {
        board.CheckCameraLinks();
        EXPECT_EQ(board.GetCameraCount(), 3u);
        EXPECT_EQ(board.GetCamera(1), connected.camera);
        EXPECT_EQ(board.PinCamera(1).get(), connected.camera);
        EXPECT_EQ(board.FindCameraByPort(2), connected.camera);
        EXPECT_EQ(board.IsCameraAvailableAtPort(2), 1);
        EXPECT_EQ(board.IsCameraAvailableInSlot(0), 1);
        EXPECT_EQ(board.RegisterEventCallback(&IgnoreEvent, nullptr), ERR_NONE);
        answered.Open();
    });
    EndIfHung(answered.Wait(kHang), "list calls while a power-up holds the link lock");
    EXPECT_TRUE(connected.camera->IsLinkUpFlag()) << "a link not looked at is no lost link";
    release.Open();
    power.join();
    lister.join();
}

TEST(BoardConcurrency, CameraLinkHsConnectsOnTwoBoardsTakeTheRegistryBeforeTheirLinkLocks) {
    ASSERT_EQ(vexosim_load_topology(R"({"boards": [{"model": "cxp4-c"}, {"model": "cxp4-c"}]})"), 0);
    ConnectedBoard first(0), second(1);
    first.board.TreatAs(ControllerKind::kCameraLinkHs);
    second.board.TreatAs(ControllerKind::kCameraLinkHs);

    // The first connect stops inside its link lock until the second is inside
    // its own, or a while has passed; then it goes on to count the links on
    // both boards. Taken in the wrong order, the two locks would deadlock here.
    Latch firstInside, secondInside;
    std::atomic<bool> secondCameInDuringFirst{false};
    first.board.fake->OnReach([&](const std::string &operation) {
        if (operation != "SetDiscoverySelect") return;
        firstInside.Open();
        secondCameInDuringFirst = secondInside.Wait(300ms);
    });
    second.board.fake->OnReach([&](const std::string &operation) {
        if (operation == "SetDiscoverySelect") secondInside.Open();
    });
    std::atomic<int32_t> firstStatus{1}, secondStatus{1};
    Latch firstDone, secondDone;
    std::thread one([&] {
        firstStatus = first.camera->LinkConnect();
        firstDone.Open();
    });
    ASSERT_TRUE(firstInside.Wait(kHang));
    std::thread two([&] {
        secondStatus = second.camera->LinkConnect();
        secondDone.Open();
    });
    EndIfHung(firstDone.Wait(kHang) && secondDone.Wait(kHang), "two Camera Link HS connects");
    one.join();
    two.join();
    EXPECT_FALSE(secondCameInDuringFirst) << "the second connect got into its link lock before the first was done";
    EXPECT_EQ(firstStatus, ERR_NONE);
    EXPECT_EQ(secondStatus, ERR_NONE);
    // Each connect counted the camera's links on both boards.
    for (TestBoard *board : {&first.board, &second.board}) {
        bool countedBoth = false;
        for (const auto &call : board->fake->Calls())
            countedBoth |= call.name == "SetLinkConfig" && call.arguments[2] == 2;
        EXPECT_TRUE(countedBoth);
    }
}

namespace {
Latch g_disposed;
void DisposeBoard(NOXBoardInterface *board) {
    delete board;
    g_disposed.Open();
}
}  // namespace

TEST(BoardConcurrency, AFreedBoardIsDeletedByItsFreeOrByItsMonitorOnceTheLastHolderLetsGo) {
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    GrabberSession *session = OpenGrabber(0);
    ASSERT_NE(session, nullptr);

    // Nothing holds it: the free hands it back for deleting at once; a second free finds nothing.
    auto *idle = new TestBoard();
    ASSERT_EQ(idle->Init(session, false, 0), ERR_NONE);
    NoxBoardHandle *idleHandle = ToHandle(idle);
    EXPECT_EQ(FreeBoard(LiveBoard(idleHandle), &DisposeBoard, 0ms), BoardFreeing::kUnpinned);
    EXPECT_EQ(FreeBoard(LiveBoard(idleHandle), &DisposeBoard, 0ms), BoardFreeing::kNotLive);
    delete idle;

    // Held by a call of another thread: dead for lookups at once, deleted by
    // the monitor when that call lets go.
    auto *busy = new TestBoard();
    ASSERT_EQ(busy->Init(session, false, 0), ERR_NONE);
    NoxBoardHandle *busyHandle = ToHandle(busy);
    BoardPin call = LiveBoard(busyHandle);
    BoardFreeing outcome = BoardFreeing::kNotLive;
    std::thread freeing([&] { outcome = FreeBoard(LiveBoard(busyHandle), &DisposeBoard, 50ms); });
    freeing.join();
    EXPECT_EQ(outcome, BoardFreeing::kLeftToMonitor);
    EXPECT_TRUE(LiveBoard(busyHandle) == nullptr);
    EXPECT_FALSE(g_disposed.IsOpen()) << "deleted while a call still held it";
    call.Release();
    EXPECT_TRUE(g_disposed.Wait(kHang));
    CloseGrabber(session);
}

// Scans, connects and link checks of two boards of the real controller from a thread each.
TEST(BoardConcurrency, TwoBoardsScannedAndConnectedFromTwoThreads) {
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
            board.RegisterEventCallback(&IgnoreEvent, nullptr);
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
