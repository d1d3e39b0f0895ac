// Hardware time on the board: links lock a while after every change,
// commands and answers take their wire time, transceivers are busy after
// programming; "timing": false gives the instant board. Only lower bounds are
// checked: a loaded machine can make anything later, nothing earlier.
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;
using SimTiming = SimTest;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

// How long after `start` the condition is first seen true (within kAnswerBound).
template <class Check>
Clock::duration SeenAfter(Clock::time_point start, Check &&check) {
    EXPECT_TRUE(Eventually(check));
    return Clock::now() - start;
}

bool AnswerWaiting(const Session &board, uint32_t appletPort) {
    return !(board.Read("CxpRxCmdAckPacketData_", appletPort) & kReceiveEmpty);
}

}  // namespace

TEST_F(SimTiming, LinksLockOnlyTheirLockTimeAfterEveryChange) {
    constexpr microseconds kLock(3000);
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "timing": {"lock_us": 3000},
                     "cameras": [{"links": [0]}, {"links": [1]}]}]})");
    Session board;
    ASSERT_TRUE(board.Locks(0) && board.Locks(1)) << "the power-on state is settled";
    const auto afterEach = [&](uint32_t port, const char *change, auto &&action) {
        SCOPED_TRACE(change);
        const Clock::time_point start = Clock::now();
        action();
        EXPECT_GE(SeenAfter(start, [&] { return board.Locked(port); }), kLock);
    };
    afterEach(0, "downlink rate written", [&] { board.Write("CxpTransceiverDownLinkBitRate_", 0, 3125); });
    board.Write("CxpControlCoreReset_", 0, 4);
    afterEach(0, "downlink reset released", [&] { board.Write("CxpControlCoreReset_", 0, 0); });
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    afterEach(0, "cable plugged, camera powered", [&] { ASSERT_EQ(vexosim_plug(0, 0, 1), 0); });
    board.Write("wCxpPowerEnablePower", 0x1);
    afterEach(1, "camera powered", [&] { board.Write("wCxpPowerEnablePower", 0x3); });
    // The board listens at 6250 before the camera switches; the command goes up all the same.
    board.Write("CxpTransceiverDownLinkBitRate_", 1, 6250);
    afterEach(1, "camera's rate changed", [&] {
        board.Send(1, WritePacket(bootstrap::kConnectionConfig, ConnectionConfig(1, 6250)));
    });
}

TEST_F(SimTiming, CommandsTakeTheirUplinkTimeAndAnswersTheCamerasTurnAround) {
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "timing": {"ack_us": 500},
                     "cameras": [{"links": [0], "control_packet_size": 4096}]}]})");
    Session board;
    // A read command is 6 words with its markers: 240 bits at 20.833 Mbit/s.
    Clock::time_point start = Clock::now();
    board.Send(0, ReadPacket(bootstrap::kStandard, 4));
    EXPECT_GE(SeenAfter(start, [&] { return AnswerWaiting(board, 0); }), microseconds(11 + 500));
    ASSERT_TRUE(board.TakeAck(0));

    // A write of 1017 words is 1029 words on the wire: 1976 us.
    start = Clock::now();
    board.Send(0, WritePacket(bootstrap::kDeviceUserId.address, std::vector<uint32_t>(1017, 0)));
    EXPECT_GE(SeenAfter(start, [&] { return AnswerWaiting(board, 0); }), microseconds(1976 + 500));
}

TEST_F(SimTiming, TransceiversReportBusyAfterProgramming) {
    constexpr microseconds kReady(3000);
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "timing": {"ready_us": 3000}},
                                {"model": "cxp2-b", "timing": {"ready_us": 3000}},
                                {"model": "cxp4-a", "timing": {"ready_us": 3000}}]})");
    Session c(0), b(1), a(2);
    Clock::time_point start = Clock::now();
    c.Write("CxpTransceiverUpLinkBitRate_", 1, 0);
    EXPECT_GE(SeenAfter(start, [&] { return c.Read("CxpTransceiverStatus_", 1) >> 49 & 1; }), kReady);
    start = Clock::now();
    b.Write("CxpTransceiverGtxSetBitRate_", 1, RateCode(6250));
    EXPECT_GE(SeenAfter(start, [&] { return b.Read("CxpTransceiverGtxSetBitRateDone") >> 1 & 1; }), kReady);
    EXPECT_EQ(b.Read("CxpTransceiverGtxSetBitRateDone") & 1, 1u) << "the other port is idle";
    start = Clock::now();
    a.Write("CxpTransceiverGtxDrpWriteData_", 0, RateCode(6250));
    EXPECT_GE(SeenAfter(start, [&] { return a.Read("CxpTransceiverGtxDrpReady") & 1; }), kReady);
}

TEST_F(SimTiming, ErrorCountersSurviveAResetOnlyWhenAsked) {
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "timing": {"counters_survive_reset": true}}]})");
    Session board;
    const uint64_t before = board.Read("CxpTransceiverStatus_", 0) & 0xFFFFFF;
    ASSERT_GT(before, 0u) << "nothing is plugged: the counter runs";
    board.Write("CxpControlCoreReset_", 0, 0);
    EXPECT_GT(board.Read("CxpTransceiverStatus_", 0) & 0xFFFFFF, before);
}

TEST_F(SimTiming, WithoutTimingEverythingHappensAtOnce) {
    LoadTopology(R"({"boards": [{"model": "cxp2-c", "timing": false, "cameras": [{"links": [0]}]}]})");
    Session board;
    board.Send(0, ReadPacket(bootstrap::kStandard, 4));
    EXPECT_EQ(board.Read("CxpRxCmdAckPacketData_", 0), kAckSuccess) << "the answer waits on the first read";
    board.SetLinkRate(0, 6250);
    board.SetLinkRate(0, 3125);
    EXPECT_TRUE(board.Locked(0));
    EXPECT_EQ(board.Read("CxpTransceiverStatus_", 0) >> 49 & 1, 1u);
}
