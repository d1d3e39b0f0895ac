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
