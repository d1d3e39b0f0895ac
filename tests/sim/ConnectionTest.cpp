// The camera's connection registers and what power does to the camera.
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;
using SimConnection = SimTest;

namespace {

constexpr uint32_t kWidth = 0x6008;

// Programs both links of the 2-link camera and waits for their lock.
void LockBoth(const Session &board, uint32_t mbps) {
    board.SetLinkRate(0, mbps);
    board.SetLinkRate(1, mbps);
    EXPECT_TRUE(board.Locks(0) && board.Locks(1));
}

}  // namespace

TEST_F(SimConnection, ConnectionConfigRefusesWhatTheCameraLacksAndSwitchesAfterItsAcknowledgment) {
    Session board;
    const uint32_t config = bootstrap::kConnectionConfig, refused = AckWord(AckCode::kInvalidData);
    EXPECT_EQ(board.WriteCamera(2, config, ConnectionConfig(1, 12500)), refused);
    EXPECT_EQ(board.WriteCamera(2, config, ConnectionConfig(2, 3125)), refused);
    EXPECT_EQ(board.WriteCamera(2, config, ConnectionConfig(0, 3125)), refused);
    EXPECT_EQ(board.ReadCamera(2, config), ConnectionConfig(1, 3125)) << "refusals change nothing";
    EXPECT_TRUE(board.Locks(2));

    EXPECT_EQ(board.ReadCamera(0, bootstrap::kConnectionConfigDefault), ConnectionConfig(2, 12500));
    EXPECT_EQ(board.WriteCamera(0, bootstrap::kConnectionConfig, ConnectionConfig(2, 6250)), kAckSuccess);
    EXPECT_FALSE(board.Locked(0) || board.Locked(1)) << "the camera now sends at 6250";
    EXPECT_FALSE(board.ReadCamera(0, bootstrap::kStandard)) << "no answer while the link is down";
    EXPECT_TRUE(board.PacketSent(0)) << "commands still go up";
    LockBoth(board, 6250);
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kConnectionConfig), ConnectionConfig(2, 6250));
}

TEST_F(SimConnection, ConnectionIdsHostIdAndConnectionReset) {
    Session board;
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kDeviceConnectionId), 0u);
    EXPECT_EQ(board.ReadCamera(1, bootstrap::kDeviceConnectionId), 1u);
    EXPECT_EQ(board.WriteCamera(0, bootstrap::kMasterHostConnectionId, 0x101), kAckSuccess);
    EXPECT_EQ(board.ReadCamera(1, bootstrap::kMasterHostConnectionId), 0x101u)
        << "every link reports the master's value";
    EXPECT_EQ(board.WriteCamera(1, bootstrap::kMasterHostConnectionId, 0x202), AckWord(AckCode::kWriteToReadOnly));

    ASSERT_EQ(board.WriteCamera(0, bootstrap::kConnectionConfig, ConnectionConfig(2, 6250)), kAckSuccess);
    LockBoth(board, 6250);
    EXPECT_EQ(board.WriteCamera(0, bootstrap::kConnectionReset, 1), kAckSuccess);
    EXPECT_FALSE(board.Locked(0) || board.Locked(1)) << "back at the discovery speed";
    LockBoth(board, 3125);
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kMasterHostConnectionId), 0u);
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kConnectionConfig), ConnectionConfig(2, 3125));
}

TEST_F(SimConnection, PowerLossReturnsTheCameraToItsDiscoverySpeedAndPowerOnState) {
    Session board;
    ASSERT_EQ(board.WriteCamera(0, bootstrap::kConnectionConfig, ConnectionConfig(2, 6250)), kAckSuccess);
    LockBoth(board, 6250);
    ASSERT_EQ(board.WriteCamera(0, bootstrap::kMasterHostConnectionId, 0x101), kAckSuccess);
    ASSERT_EQ(board.WriteCamera(0, kWidth, 1024), kAckSuccess);
    ASSERT_TRUE(board.Exchange(0, WritePacket(bootstrap::kDeviceUserId.address, TextWords("kept", 16))));

    board.Write("wCxpPowerEnablePower", 0xE);
    EXPECT_FALSE(board.Locked(0) || board.Locked(1));
    EXPECT_FALSE(board.ReadCamera(0, bootstrap::kStandard));
    board.Write("wCxpPowerEnablePower", 0xF);
    EXPECT_FALSE(board.Locked(0)) << "the camera came back at 3125";
    LockBoth(board, 3125);
    EXPECT_EQ(board.ReadCamera(0, bootstrap::kMasterHostConnectionId), 0u);
    EXPECT_EQ(board.ReadCamera(0, kWidth), 4096u);
    EXPECT_EQ(board.ReadCameraBytes(0, bootstrap::kDeviceUserId.address, 4), (std::vector<uint8_t>{'k', 'e', 'p', 't'}))
        << "kept in flash";

    LoadTopology(R"({"boards": [{"model": "cxp2-c", "power_on_at_start": false,
                     "cameras": [{"links": [0], "power": "external"}, {"links": [1]}]}]})");
    Session other;
    EXPECT_EQ(other.Read("rCxpPowerEnablePower"), 0u);
    EXPECT_TRUE(other.Locks(0)) << "an externally powered camera runs anyway";
    EXPECT_FALSE(other.Locked(1));
    other.Write("wCxpPowerEnablePower", 0x2);
    EXPECT_TRUE(other.Locks(1));
}

TEST_F(SimConnection, PowerRegistersReportStateVoltageAndCurrentPerFamily) {
    {
        Session c;  // family C: state field in bits 30-35, 0.004 V and signed 0.2 steps below
        const auto field = [&](uint32_t port) { return c.Read("CxpPowerStatus_", port) >> 30 & 0x3F; };
        EXPECT_EQ(field(0), 4u) << "state 5: a camera draws power";
        EXPECT_EQ(c.Read("CxpPowerStatus_", 0) >> 16 & 0x3FFF, 6000u) << "24.0 V";
        EXPECT_EQ(c.Read("CxpPowerStatus_", 0) & 0xFFFF, 2500u);
        EXPECT_EQ(field(1), 2u) << "state 3: powered, nothing drawn on an extension link";
        EXPECT_EQ(c.Read("CxpPowerStatus_", 1) & 0xFFFF, 0u);
        c.Write("wCxpPowerEnablePower", 0x7);
        EXPECT_EQ(field(3), 1u) << "state 0: off";
        EXPECT_EQ(c.Read("CxpPowerStatus_", 3) >> 16 & 0x3FFF, 0u);
    }
    LoadTopology(R"({"boards": [{"model": "cxp4-b", "cameras": [{"links": [0]}]},
                                {"model": "cxp4-a", "cameras": [{"links": [0]}]}]})");
    Session b(0), a(1);
    for (const Session *board : {&b, &a}) {
        EXPECT_EQ(board->Read("CxpPowerStatus_", 0), 1u << 2);
        EXPECT_EQ(board->Read("CxpPowerStatus_", 1), 1u << 1);
        board->Write("wCxpPowerEnablePower", 0xE);
        EXPECT_EQ(board->Read("CxpPowerStatus_", 0), 1u << 0);
    }
    EXPECT_EQ(b.Read("CxpPowerBusVoltage_", 0), 0u);
    EXPECT_EQ(b.Read("CxpPowerBusVoltage_", 1), 6000u);
    EXPECT_EQ(a.Read("CxpPowerVin_", 1), 960u);
    b.Write("wCxpPowerEnablePower", 0xF);
    a.Write("wCxpPowerEnablePower", 0xF);
    EXPECT_EQ(b.Read("CxpPowerShuntVoltage_", 0), 2500u);
    EXPECT_EQ(a.Read("CxpPowerSense_", 0), 1250u);
    EXPECT_EQ(a.Read("CxpPowerSense_", 1), 0u);
}
