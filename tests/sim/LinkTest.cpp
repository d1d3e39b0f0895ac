// Link lock, error counters and the transceiver programming of each board family.
#include <gtest/gtest.h>

#include <thread>

#include "SimHarness.h"

using namespace simtest;
using SimLink = SimTest;

namespace {

// Lets at least `span` of steady time pass; the counters under test grow with it.
void AwaitElapsed(std::chrono::microseconds span) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < span) std::this_thread::yield();
}

uint64_t StatusErrors(const Session &board, uint32_t port) { return board.Read("CxpTransceiverStatus_", port) & 0xFFFFFF; }

// Families A and B tell a lock only by an error counter that stops moving.
bool CounterHolds(const Session &board, uint32_t port) {
    const uint64_t first = board.Read("CxpTransceiverNotInTable_", port);
    return board.Read("CxpTransceiverNotInTable_", port) == first;
}

void PowerMask(const Session &board, uint64_t mask) { board.Write("wCxpPowerEnablePower", mask); }

}  // namespace

TEST_F(SimLink, LocksOnlyWhileCableCameraResetAndRatesAgree) {
    Session board;  // default topology: 2-link camera on ports 0 and 1, 1-link camera on port 2
    EXPECT_TRUE(board.Locks(0) && board.Locks(1) && board.Locks(2));
    EXPECT_FALSE(board.Locked(3)) << "nothing is plugged there";

    ASSERT_EQ(vexosim_plug(0, 1, 0), 0);
    EXPECT_FALSE(board.Locked(1));
    EXPECT_TRUE(board.Locks(0));
    ASSERT_EQ(vexosim_plug(0, 1, 1), 0);
    EXPECT_TRUE(board.Locks(1));
    // The master cable carries the camera's power.
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    EXPECT_FALSE(board.Locked(0) || board.Locked(1));
    ASSERT_EQ(vexosim_plug(0, 0, 1), 0);
    EXPECT_TRUE(board.Locks(0) && board.Locks(1));

    PowerMask(board, 0xE);
    EXPECT_EQ(board.Read("rCxpPowerEnablePower"), 0xEu);
    EXPECT_FALSE(board.Locked(0) || board.Locked(1));
    EXPECT_TRUE(board.Locks(2));
    PowerMask(board, 0xFF);
    EXPECT_EQ(board.Read("rCxpPowerEnablePower"), 0xFu) << "only existing ports";
    EXPECT_TRUE(board.Locks(0) && board.Locks(1));

    board.Write("CxpControlCoreReset_", 0, 4);
    EXPECT_FALSE(board.Locked(0));
    EXPECT_TRUE(board.Locks(1));
    board.Write("CxpControlCoreReset_", 0, 3);
    EXPECT_TRUE(board.Locks(0)) << "only the downlink transceiver's reset stops the lock";
    EXPECT_EQ(board.Read("CxpControlCoreReset_", 0), 3u);

    board.SetLinkRate(0, 6250);
    EXPECT_FALSE(board.Locked(0));
    board.SetLinkRate(0, 3125);
    EXPECT_TRUE(board.Locks(0));
    EXPECT_EQ(board.Read("CxpTransceiverDownLinkBitRate_", 0), 3125u);
    EXPECT_EQ(board.Read("CxpTransceiverStatus_", 3) >> 49 & 1, 1u) << "ready for an uplink change";
}

TEST_F(SimLink, ErrorCounterGrowsWhileUnlockedHoldsWhileLockedAndTakesNoise) {
    Session board;
    board.Write("CxpControlCoreReset_", 0, 0);
    EXPECT_EQ(StatusErrors(board, 0), 0u) << "a reset write clears the counter";
    AwaitElapsed(std::chrono::milliseconds(2));
    EXPECT_EQ(StatusErrors(board, 0), 0u) << "a locked link makes no errors";

    const uint64_t first = StatusErrors(board, 3);
    EXPECT_GT(StatusErrors(board, 3), first) << "every read of an unlocked port counts";
    const uint64_t before = StatusErrors(board, 3);
    AwaitElapsed(std::chrono::milliseconds(2));
    EXPECT_GE(StatusErrors(board, 3) - before, 2000u) << "1000 errors per millisecond";
    board.Write("CxpControlCoreReset_", 3, 0);
    EXPECT_LT(StatusErrors(board, 3), before);

    ASSERT_EQ(vexosim_link_noise(0, 0, 100), 0);
    AwaitElapsed(std::chrono::milliseconds(2));
    EXPECT_GE(StatusErrors(board, 0), 200u);
    EXPECT_TRUE(board.Locks(0)) << "noise does not break the lock";
    ASSERT_EQ(vexosim_link_noise(0, 0, 0), 0);
    const uint64_t quiet = StatusErrors(board, 0);
    AwaitElapsed(std::chrono::milliseconds(1));
    EXPECT_EQ(StatusErrors(board, 0), quiet);
    EXPECT_EQ(vexosim_link_noise(0, 4, 1), -1) << "no such port";
}

TEST_F(SimLink, EachFamilyProgramsItsDownlinkThroughItsOwnInterface) {
    struct Case {
        const char *model;
        const char *applet;
        bool drp;
    };
    for (const Case &c : {Case{"cxp4-a", "{}", true}, Case{"cxp4-b", "{}", true}, Case{"cxp2-b", "{}", false},
                          Case{"cxp2-b", R"({"rx_status": true})", false}}) {
        SCOPED_TRACE(std::string(c.model) + " " + c.applet);
        LoadTopology(std::string(R"({"boards": [{"model": ")") + c.model + R"(", "applet": )" + c.applet +
                     R"(, "cameras": [{"links": [1]}]}]})");
        Session board;
        const bool rxStatus = std::string(c.applet).find("rx_status") != std::string::npos;
        EXPECT_TRUE(CounterHolds(board, 1)) << "camera and board start at the discovery rate";
        EXPECT_FALSE(CounterHolds(board, 0));
        ASSERT_EQ(board.WriteCamera(1, bootstrap::kConnectionConfig, ConnectionConfig(1, 6250)), kAckSuccess);
        EXPECT_FALSE(CounterHolds(board, 1));
        if (c.drp) {
            board.Write("CxpTransceiverGtxDrpAddress_", 1, 0x11);
            board.Write("CxpTransceiverGtxDrpWriteData_", 1, RateCode(6250));
            EXPECT_FALSE(CounterHolds(board, 1)) << "only address 0 holds the rate code";
            board.Write("CxpTransceiverGtxDrpAddress_", 1, 0);
            board.Write("CxpTransceiverGtxDrpWriteData_", 1, RateCode(6250));
            EXPECT_TRUE(Eventually([&] { return board.Read("CxpTransceiverGtxDrpReady") >> 1 & 1; }));
        } else {
            board.Write("CxpTransceiverGtxSetBitRate_", 1, RateCode(6250));
            EXPECT_TRUE(Eventually([&] { return board.Read("CxpTransceiverGtxSetBitRateDone") >> 1 & 1; }));
        }
        EXPECT_TRUE(Eventually([&] { return CounterHolds(board, 1); }));
        EXPECT_EQ(board.Read("CxpTransceiverDisparityError_", 1), board.Read("CxpTransceiverNotInTable_", 1));
        if (rxStatus) {
            EXPECT_EQ(board.Read("CxpTransceiverRxStatus"), 1u << 3) << "bit 2p + 1 for port 1";
        }
        EXPECT_EQ(board.ReadCamera(1, bootstrap::kStandard), kStandardMagic);
    }
}

TEST_F(SimLink, CommandsNeedAFreeUplinkOfTheRightSettingAndAnswersAFreeReceiver) {
    Session board;
    const auto reaches = [&](uint32_t appletPort) {
        const uint64_t before = Stats(0, appletPort).commandsReceived;
        board.Send(appletPort, ReadPacket(bootstrap::kStandard, 4));
        const bool sent = board.PacketSent(appletPort);
        EXPECT_EQ(Stats(0, appletPort).commandsReceived - before, sent ? 1u : 0u);
        return sent;
    };
    ASSERT_EQ(board.WriteCamera(0, bootstrap::kConnectionConfig, ConnectionConfig(2, 12500)), kAckSuccess);
    EXPECT_FALSE(reaches(0)) << "the uplink is still at the low setting";
    board.Write("CxpTransceiverDownLinkBitRate_", 0, 12500);
    EXPECT_TRUE(board.Locks(0));
    EXPECT_FALSE(reaches(0));
    board.Write("CxpTransceiverUpLinkBitRate_", 0, 1);
    EXPECT_TRUE(reaches(0));
    EXPECT_TRUE(board.TakeAck(0));

    board.Write("CxpControlCoreReset_", 0, 1);
    EXPECT_FALSE(reaches(0)) << "uplink transmitter held";
    board.Write("CxpControlCoreReset_", 0, 2);
    EXPECT_TRUE(reaches(0));
    EXPECT_FALSE(board.TakeAck(0)) << "acknowledgment receiver held";
    board.Write("CxpControlCoreReset_", 0, 0);
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kStandard), kStandardMagic);
}
