#include <gtest/gtest.h>
#include <stdlib.h>

#include "FakeRelay.h"
#include "LogFile.h"
#include "TempDirectory.h"
#include "api/CallFrame.h"
#include "logging/Logging.h"
#include "nox_genicam.h"
#include "platform/ThreadId.h"

using nox_test::FakeRelay;
using vexo::genicam::CallFrameResult;
using vexo::genicam::CallTracer;

namespace {
std::string Tid() { return std::to_string(vexo::templates::platform::CurrentThreadId()); }
}  // namespace

// The Entering and Leaving records end to end are exported_interface.trace_logged's; here the parts it
// cannot show: the parameters text, a context rendered anew when leaving, details before it, the threshold.
TEST(CallTracer, ParametersContextAndDetailsHaveTheirPlace) {
    FakeRelay::initialThreshold = 1;
    vexo::tools::logging::Logging logging;
    logging.AttachRelay(FakeRelay::Descriptor());
    auto *logger = logging.GetLogger("vexo.genicam.lib");
    int contextCalls = 0;
    {
        CallTracer tracer(logger, "f.cpp", 7, "Nox_scanPortsEx", "Speed: 0; Flags: 1",
                          [&] { return ",handle=(NoxBoardHandle*)0x10" + std::string(contextCalls++ ? ",again" : ""); });
        tracer.AppendDetail(",return=-1001");
    }
    vexo::genicam::WriteRecord(logger, 0, {}, "below the threshold");
    ASSERT_EQ(FakeRelay::records.size(), 2u);
    const std::string site = "source-file=f.cpp,source-line=7,thread-id=" + Tid();
    EXPECT_EQ(FakeRelay::records[0].text,
              site + ",handle=(NoxBoardHandle*)0x10|Entering Nox_scanPortsEx; Speed: 0; Flags: 1");
    EXPECT_EQ(FakeRelay::records[1].text,
              site + ",return=-1001,handle=(NoxBoardHandle*)0x10,again|Leaving Nox_scanPortsEx");
    EXPECT_EQ(FakeRelay::records[1].level, 1u);
}

namespace {
// What an exported function looks like.
int32_t TracedFunction(void *board, uint32_t mask, bool fail) {
    NOX_CALL_FRAME(frame, "Nox_example", [=] { return vexo::genicam::PortMaskItem(mask); },
                   [=] { return "Flags: " + std::to_string(mask); });
    if (board == nullptr) {
        frame.LogError("Invalid board handle");
        return frame.Return(ERR_INVALID_BOARD_HANDLE);
    }
    if (fail) return frame.Return(ERR_LINK_TIMEOUT);
    frame.AppendHandle("NoxBoardHandle*", board);
    return frame.Return(0);
}
}  // namespace

// With the call trace off the statuses stay and only the error record is written. (The trace of an
// exported function's every return path is checked end to end by exported_interface.trace_logged.)
TEST(CallFrameResult, WithTracingOffTheSameStatusesAndNoRecords) {
    nox_test::TempDirectory directory;
    const auto file = directory / "trace.log";
    ::setenv("VEXO_LOG", "5", 1);
    ::setenv("VEXO_LOG_FILE", file.c_str(), 1);
    GenICamInit();
    int board = 0;
    EXPECT_EQ(TracedFunction(nullptr, 3, false), ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(TracedFunction(&board, 5, true), ERR_LINK_TIMEOUT);
    EXPECT_EQ(TracedFunction(&board, 6, false), 0);
    GenICamDeinit();
    const auto lines = nox_test::ReadLogLines(file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "thread-id=" + Tid() + ",port-mask=3|Invalid board handle");
}

// An exported call starts with no last error; the calls the library makes of its own exported
// functions (nested) keep what went wrong before them. Kept whatever the log level.
TEST(CallFrameResult, TheOutermostCallForgetsTheThreadsLastErrorAndNestedOnesKeepIt) {
    using vexo::tools::logging::LastErrorRecord;
    ::unsetenv("VEXO_LOG");
    GenICamInit();
    int board = 0;
    EXPECT_EQ(TracedFunction(nullptr, 3, false), ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(LastErrorRecord(), "thread-id=" + Tid() + ",port-mask=3|Invalid board handle");
    {
        vexo::genicam::ExportedCallScope outer;
        EXPECT_EQ(LastErrorRecord(), "");
        EXPECT_EQ(TracedFunction(nullptr, 4, false), ERR_INVALID_BOARD_HANDLE);
        EXPECT_EQ(TracedFunction(&board, 6, false), 0);
        EXPECT_EQ(LastErrorRecord(), "thread-id=" + Tid() + ",port-mask=4|Invalid board handle");
    }
    EXPECT_EQ(TracedFunction(&board, 6, false), 0);
    EXPECT_EQ(LastErrorRecord(), "");
    GenICamDeinit();
}
