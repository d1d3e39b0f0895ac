// Answers matched to their commands on hardware timing: late and lost
// answers, answers with another tag or of another size, and cameras known
// without their revision.
#include <gtest/gtest.h>

#include <utility>

#include "SimBoard.h"
#include "cxp/CxpControllerImpl.h"
#include "protocol/CxpBootstrap.h"

using namespace cxp_test;
using vexo::genicam::ByteSwap;
using vexo::genicam::CxpController;
namespace bootstrap = vexo::protocol::cxp::bootstrap;

namespace {

// A revision 2.0 camera on port 0 (tagged commands) and a 1.1 camera on port 1 (untagged).
const std::string kTwoRevisions = OneBoard(R"({"model": "cxp2-c", "applet": {"operators": [[0], [1]]},
    "cameras": [{"links": [0]}, {"links": [1], "revision": "1.1"}]})");

// Reads another register than the faulted command did: a failure is allowed,
// another command's data is not. True when it succeeded.
bool ReadsItsOwnData(CxpController &controller, uint32_t port) {
    uint32_t value = 0;
    if (controller.ReadRaw(port, bootstrap::kStandard, &value, 4, ByteSwap::kSwapWords, 0) == ERR_NONE) {
        EXPECT_EQ(value, vexo::protocol::cxp::kStandardMagic);
        return true;
    }
    return false;
}

}  // namespace

TEST(CxpAnswers, EveryAnswerGoesToItsOwnCommand) {
    ControllerUnderTest board(kTwoRevisions);
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0x3, 0), 0);
    // 350 ms: past the 300 ms acknowledgment timeout of the faulted read, and
    // for the untagged camera within the window that follows it; 750 ms past
    // that window too, into the wait of the next read. An answer that never
    // comes must not stop the channel.
    // (The tagged camera's late and lost answers, and answers with another tag, are FaultMatrix's rows.)
    const std::pair<const char *, uint32_t> faults[] = {{"delay_ack:350", 0}, {"wait_ack:350", 1},
                                                        {"delay_ack:750", 1}, {"no_ack", 1}};
    for (const auto &[fault, port] : faults) {
        SCOPED_TRACE(std::string(fault) + " on port " + std::to_string(port));
        ASSERT_EQ(vexosim_fault(0, port, fault, 1), 0);
        // Its late answer looks like the answer to the next read but for its value.
        uint32_t revision = 0;
        EXPECT_EQ(controller.ReadRaw(port, bootstrap::kRevision, &revision, 4, ByteSwap::kSwapWords, 0),
                  ERR_GENCP_TOO_FEW_DATA);
        // The camera answers in order: a read behind the late answer may fail too, never take it.
        bool answered = false;
        for (int read = 0; read < 3 && !answered; ++read) answered = ReadsItsOwnData(controller, port);
        EXPECT_TRUE(answered);
        EXPECT_TRUE(ReadsItsOwnData(controller, port));
    }
    // Without a tag, an answer of another size is another read's: here that of a read nobody awaited,
    // held back so that it comes while the next read waits and not before it is sent.
    ASSERT_EQ(vexosim_fault(0, 1, "delay_ack:100", 1), 0);
    char vendor[12] = {};
    ASSERT_EQ(controller.Impl().ExecRWPacket(vexo::genicam::Access::kRead, 1, bootstrap::kDeviceVendorName.address,
                                             vendor, 12, ByteSwap::kWireOrder, vexo::genicam::AcknowledgeMode::kNone, 0),
              ERR_NONE);
    EXPECT_TRUE(ReadsItsOwnData(controller, 1));

    // A camera known without its revision (links configured from a file) is asked once, before its first command.
    vexo::genicam::DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    const uint32_t master = info.GetCameraMasterId(0);
    info.SetProtocolRevision(master, vexo::genicam::DiscoveryInfo::kNone);
    const vexosim_port_stats before = Stats(0, 0);
    EXPECT_TRUE(ReadsItsOwnData(controller, 0));
    EXPECT_TRUE(ReadsItsOwnData(controller, 0));
    EXPECT_EQ(info.GetProtocolRevision(master), 0x00020000u);
    EXPECT_EQ(Stats(0, 0).commandsReceived - before.commandsReceived, 3u) << "asked once, then two reads";
}
