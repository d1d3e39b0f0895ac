// The library's use count across opening and freeing boards through the exported functions.
#include <gtest/gtest.h>

#include "board/BoardLibraries.h"
#include "nox_genicam.h"
#include "platform/LibraryInitController.h"

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

TEST(BoardLifecycle, FreeingANullOrAFreedBoardChangesNothing) {
    GenICamInit();
    Nox_freeBoard(nullptr);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GrabberSession *session = vexo::genicam::OpenGrabber(0);
    ASSERT_NE(session, nullptr);
    NoxBoardHandle *board = nullptr;
    ASSERT_EQ(Nox_initBoardEx(session, 0, &board, 0xF), ERR_NONE);
    Nox_freeBoard(board);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    // The freed board's reference is not given back twice.
    Nox_freeBoard(board);
    EXPECT_EQ(LibraryInitController::UseCount(), 1);
    GenICamDeinit();
    vexo::genicam::CloseGrabber(session);
}
