// The library's use count across opening and freeing boards through the exported functions.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Latch.h"
#include "board/BoardLibraries.h"
#include "nox_genicam.h"
#include "platform/LibraryInitController.h"
#include "vexosim.h"

using vexo::templates::platform::LibraryInitController;

TEST(BoardLifecycle, OpeningABoardBringsTheLibraryUpAndFreeingItKeepsTheImplicitReference) {
    ASSERT_EQ(LibraryInitController::UseCount(), 0);
    GrabberSession *session = vexo::genicam::OpenGrabber(0);
    ASSERT_NE(session, nullptr);
    NoxBoardHandle *board = nullptr;
    ASSERT_EQ(Nox_initBoardEx(session, 0, &board, 0xF), ERR_NONE);
    EXPECT_EQ(LibraryInitController::UseCount(), 2) << "the board's reference and the implicit GenICamInit";
    Nox_freeBoard(board);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    // Neither a null nor a freed board gives a reference back.
    Nox_freeBoard(nullptr);
    Nox_freeBoard(board);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GenICamDeinit();
    EXPECT_EQ(LibraryInitController::UseCount(), 0);
    EXPECT_FALSE(LibraryInitController::IsUp());

    // Up again for the next board.
    ASSERT_EQ(Nox_initBoardEx(session, 0, &board, 0xF), ERR_NONE);
    EXPECT_EQ(LibraryInitController::UseCount(), 2);
    Nox_freeBoard(board);
    GenICamDeinit();
    EXPECT_EQ(LibraryInitController::UseCount(), 0);
    vexo::genicam::CloseGrabber(session);
}

TEST(BoardLifecycle, AFailedOpenGivesItsReferenceBack) {
    GenICamInit();
    NoxBoardHandle *board = reinterpret_cast<NoxBoardHandle *>(0x1);
    EXPECT_EQ(Nox_initBoardEx(nullptr, 0, &board, 0xF), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GrabberSession *session = vexo::genicam::OpenGrabber(0);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(Nox_initBoardEx(session, 0, nullptr, 0xF), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GenICamDeinit();
    EXPECT_EQ(LibraryInitController::UseCount(), 0);

    // Without a prior GenICamInit the implicit reference stays after a refusal.
    EXPECT_EQ(Nox_initBoardEx(nullptr, 0, &board, 0xF), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GenICamDeinit();
    EXPECT_FALSE(LibraryInitController::IsUp());
    vexo::genicam::CloseGrabber(session);
}

namespace {

struct FreedInCallback {
    NoxBoardHandle *board = nullptr;
    NoxCameraHandle *camera = nullptr;
    int32_t countAfterFree = 0;
    int32_t disconnectAfterFree = 0;
    int useCountInCallback = 0;
    nox_test::Latch returned;

    static int32_t FreeOwnBoard(NoxBoardHandle *board, NoxCameraHandle *, const NoxEvent *, void *context) {
        auto *seen = static_cast<FreedInCallback *>(context);
        Nox_freeBoard(board);
        seen->countAfterFree = Nox_getCameraCount(board);
        seen->disconnectAfterFree = Nox_LinkDisconnect(seen->camera);
        seen->useCountInCallback = LibraryInitController::UseCount();
        seen->returned.Open();
        return 0;
    }
};

}  // namespace

TEST(BoardLifecycle, ABoardFreedFromItsOwnCallbackGoesRightAfterTheCallbackReturns) {
    ASSERT_EQ(vexosim_load_topology(nullptr), 0);
    GrabberSession *session = vexo::genicam::OpenGrabber(0);
    ASSERT_NE(session, nullptr);
    FreedInCallback seen;
    ASSERT_EQ(Nox_initBoardEx(session, 0, &seen.board, 0xF), ERR_NONE);
    ASSERT_EQ(Nox_scanPorts(seen.board, 0xF, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_getCameraByIndex(seen.board, 1, &seen.camera), ERR_NONE);
    ASSERT_EQ(Nox_LinkConnect(seen.board, seen.camera), ERR_NONE);
    ASSERT_EQ(Nox_RegisterEventCallback(seen.board, &FreedInCallback::FreeOwnBoard, &seen), ERR_NONE);

    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);
    ASSERT_TRUE(seen.returned.Wait(std::chrono::seconds(10)));
    // Inside the callback the free returned at once, and the handles were dead already.
    EXPECT_EQ(seen.countAfterFree, ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(seen.disconnectAfterFree, ERR_INVALID_CAMERA_HANDLE);
    EXPECT_EQ(seen.useCountInCallback, 2) << "the board was deleted under its own callback";
    // Deleted once the callback is over: its library reference goes with it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (LibraryInitController::UseCount() != 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GenICamDeinit();
    vexo::genicam::CloseGrabber(session);
}
