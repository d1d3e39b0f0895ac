#include <gtest/gtest.h>
#include <stdlib.h>

#include "LogFile.h"
#include "TempDirectory.h"
#include "api/LibraryLogger.h"
#include "logging/Logging.h"
#include "nox_genicam.h"
#include "platform/LibraryInitController.h"

using vexo::templates::platform::LibraryInitController;
using vexo::tools::logging::Logging;

TEST(Lifecycle, InitCallsNestAndTheLastDeinitTearsDown) {
    nox_test::TempDirectory directory;
    const auto file = directory / "lib.log";
    ::setenv("VEXO_LOG", "1", 1);
    ::setenv("VEXO_LOG_FILE", file.c_str(), 1);

    GenICamInit();
    GenICamInit();
    EXPECT_EQ(LibraryInitController::UseCount(), 2);
    Logging *first = Logging::Peek();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsRelayAttached()) << "the relay of build/lib is attached";
    vexo::genicam::LibraryLogger()->Write(3, "first life");

    GenICamDeinit();
    EXPECT_TRUE(LibraryInitController::IsUp());
    EXPECT_EQ(Logging::Peek(), first);

    GenICamDeinit();
    EXPECT_FALSE(LibraryInitController::IsUp());
    EXPECT_EQ(Logging::Peek(), nullptr) << "teardown destroys the logging singleton";

    GenICamInit();
    EXPECT_TRUE(LibraryInitController::IsUp());
    Logging *second = Logging::Peek();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->IsRelayAttached()) << "the fresh singleton attaches the relay again";
    vexo::genicam::LibraryLogger()->Write(3, "second life");
    GenICamDeinit();

    const auto lines = nox_test::ReadLogLines(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "first life");
    EXPECT_EQ(lines[1].text, "second life");
    EXPECT_EQ(lines[1].logger, "vexo.genicam.lib");
}

TEST(Lifecycle, TheLastReferenceReleasedOutsideGenICamDeinitLeavesNoStaleLogger) {
    GenICamInit();
    LibraryInitController::Init();  // a board's reference
    GenICamDeinit();
    LibraryInitController::Deinit();  // the board freed last: teardown happens here
    EXPECT_FALSE(LibraryInitController::IsUp());
    EXPECT_EQ(Logging::Peek(), nullptr);
    // The cached library logger went with the singleton; asking again is safe.
    vexo::genicam::LibraryLogger()->IsEnabled(5);
}
