#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Latch.h"
#include "SimBoard.h"
#include "SimInstanceChoice.h"
#include "cxp/CxpControllerImpl.h"
#include "cxp/InterProcessLock.h"
#include "discovery/DiscoveryInfo.h"
#include "protocol/CxpBootstrap.h"

using namespace cxp_test;
using vexo::genicam::ByteSwap;
using vexo::genicam::CxpController;
using vexo::genicam::DiscoveryInfo;
namespace bootstrap = vexo::protocol::cxp::bootstrap;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kBoard = 0;
constexpr uint32_t kNone = DiscoveryInfo::kNone;

// (master id, extension id) of every camera port.
using Links = std::vector<std::pair<uint32_t, uint32_t>>;
Links CameraSide(const DiscoveryInfo &info) {
    Links links;
    for (uint32_t port = 0; port < info.GetPortCount(); ++port)
        links.emplace_back(info.GetCameraMasterId(port), info.GetCameraExtensionId(port));
    return links;
}

std::vector<uint64_t> LedModes(const SimBoard &board, uint32_t ports) {
    std::vector<uint64_t> modes;
    for (uint32_t port = 0; port < ports; ++port)
        modes.push_back(board.Read("CxpLedModeSelectRead_" + std::to_string(port)));
    return modes;
}

}  // namespace

TEST(CxpDiscovery, DefaultTopologyFindsBothCamerasAndConfiguresTheirLinks) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory, "vexo.genicam=2");
    ControllerUnderTest board;
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);

    // Host ids name the master link's port and the board: (port + 1) | board << 8.
    EXPECT_EQ(CameraSide(info), (Links{{1, 0}, {1, 1}, {3, 0}, {kNone, kNone}}));
    EXPECT_EQ(board.owner.allocated, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(controller.FoundPortsMask(), 0x7u);

    // Bit rates and the cameras' link configuration: CxpDiscoveryMatrix's cxp4_c_default cases.
    EXPECT_EQ(info.GetDiscoveryBitRate(1), 3125u);
    EXPECT_EQ(controller.DetectedBitRate(0), 12500u);
    EXPECT_EQ(controller.DetectedBitRate(2), 6250u);
    EXPECT_EQ(info.GetControlPacketSize(3), 1024u);
    EXPECT_EQ(info.GetProtocolRevision(3), 0x00020000u);
    const auto texts = info.GetCameraInfo(3);
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ((*texts)[1], "VX-4M");
    EXPECT_EQ((*texts)[6], "SN0002");

    // Commands reach each camera through its operator's first applet port.
    EXPECT_EQ(info.GetCommandPort(1), 0u);
    EXPECT_EQ(info.GetCommandPort(3), 2u);
    EXPECT_EQ(CameraRegister(controller, 2, bootstrap::kMasterHostConnectionId), 3u);
    EXPECT_EQ(CameraRegister(controller, 0, bootstrap::kStreamPacketSizeMax), 8192u);
    EXPECT_EQ(board.board.Read("rDiscoverySelect"), 0xFFFF3210FFFF3210u);
    EXPECT_EQ(LedModes(board.board, 4), (std::vector<uint64_t>{2, 8, 2, 5}));
    // High uplinks for the fast camera, low for the other.
    EXPECT_EQ(board.board.Read("CxpTransceiverUpLinkBitRate_1"), 1u);
    EXPECT_EQ(board.board.Read("CxpTransceiverUpLinkBitRate_2"), 0u);

    // Speeds a camera refuses while its final speed is negotiated are no errors.
    EXPECT_EQ(LogTexts(log, "error"), std::vector<std::string>{});
}

TEST(CxpDiscovery, CrossedCablesRouteTheMasterLinkToTheOperatorsFirstPort) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]},
        "cameras": [{"links": [1, 0], "speeds": [3125, 6250]}]})"));
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    EXPECT_EQ(CameraSide(info), (Links{{2, 1}, {2, 0}, {kNone, kNone}, {kNone, kNone}}));
    EXPECT_EQ(info.GetCommandPort(2), 0u);
    EXPECT_EQ(info.GetCameraPeerIndex(1), 0u);
    EXPECT_EQ(board.board.Read("rDiscoverySelect"), 0xFFFF3201FFFF3201u);
    // Applet port 0 now reaches the master link on port 1.
    EXPECT_EQ(CameraRegister(controller, 0, bootstrap::kDeviceConnectionId), 0u);
    EXPECT_EQ(CameraRegister(controller, 1, bootstrap::kDeviceConnectionId), 1u);
    EXPECT_EQ(LedModes(board.board, 4), (std::vector<uint64_t>{8, 2, 5, 5}));
}

TEST(CxpDiscovery, RoutingThatCyclesThreePortsKeepsTheTransceiversOnTheirPhysicalPorts) {
    // The only free single-port operator left for the camera on port 0 is on applet port 2, so the
    // routing sends 0 -> 2, 1 -> 0, 2 -> 1: a cycle, not a swap. The camera refuses 12500 and 10000.
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "applet": {"operators": [[0, 1], [2], [3]]},
        "cameras": [{"links": [0], "speeds": [3125, 6250]}]})"));
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    ASSERT_EQ(info.GetCameraPeerIndex(0), 2u);
    EXPECT_EQ(board.board.Read("rDiscoverySelect"), 0xFFFF3102FFFF3021u);
    EXPECT_EQ(info.GetBitRate(1), 6250u);
    // The transceiver of physical port 0 runs at the negotiated rate and stays in sync.
    EXPECT_EQ(board.board.Read("CxpTransceiverDownLinkBitRate_0"), 6250u);
    EXPECT_TRUE(controller.IsLinkSynchronized(0));
    // The camera is reached through applet port 2.
    EXPECT_EQ(CameraRegister(controller, 2, bootstrap::kStandard), vexo::protocol::cxp::kStandardMagic);
    EXPECT_EQ(CameraRegister(controller, 2, bootstrap::kConnectionConfig), 0x00010048u);
}

// Every family's receivers at each camera's best rate: CxpDiscoveryMatrix. Here a
// camera slower than the board, and the LEDs of families A and B.
TEST(CxpDiscovery, FamiliesAAndBProgramTheirReceiversThroughConfigurationPortAndRateCode) {
    {
        ControllerUnderTest board(OneBoard(R"({"model": "cxp4-a", "applet": {"operators": [[0, 1], [2], [3]]},
            "cameras": [{"links": [0, 1]}, {"links": [3], "speeds": [1250, 3125]}]})"));
        ASSERT_EQ(board.controller->Discovery(0, 0, 0xF, 0), 0);
        EXPECT_EQ(board.controller->GetDiscoveryInfo(false)->GetBitRate(4), 3125u);
        EXPECT_EQ(board.board.Read("CxpTransceiverGtxDrpWriteData_3"), 0x38u);
        EXPECT_EQ(LedModes(board.board, 4), (std::vector<uint64_t>{2, 8, 5, 2}));
    }
    ControllerUnderTest board(OneBoard(R"({"model": "cxp2-b", "cameras": [{"links": [0]}, {"links": [1]}]})"));
    ASSERT_EQ(board.controller->Discovery(0, 0, 0x3, 0), 0);
    EXPECT_EQ(CameraSide(*board.controller->GetDiscoveryInfo(false)), (Links{{1, 0}, {2, 0}}));
    EXPECT_EQ(LedModes(board.board, 2), (std::vector<uint64_t>{2, 2}));
}

TEST(CxpDiscovery, ACameraThatCannotBeConfiguredMakesTheScanAMismatchAndLeavesTheOthersConfigured) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory, "vexo.genicam=2");
    // Family B offers nothing above 6250; the camera on ports 2 and 3 runs at 12500 only and has
    // to drop to the one link of its operator.
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-b",
        "cameras": [{"links": [0]}, {"links": [2, 3], "speeds": [12500]}]})"));
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), ERR_LINK_LAYOUT_MISMATCH);
    EXPECT_EQ(board.owner.allocated, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(controller.GetDiscoveryInfo(false)->GetBitRate(1), 6250u);
    EXPECT_EQ(CameraRegister(controller, 0, bootstrap::kConnectionConfig), 0x00010048u);
    EXPECT_TRUE(Contains(LogTexts(log, "error"),
                         "Failed to negotiate the link configuration of the camera with master id 3"));
    // What its link connect asks of it is refused again.
    EXPECT_NE(controller.SetLinkConfig(3, 3125, 1, 0, nullptr), ERR_NONE);
}

TEST(CxpDiscovery, NegotiationTriesUserSpeedCameraDefaultThenTheFastestTheCameraTakes) {
    {
        ControllerUnderTest board;
        ASSERT_EQ(board.controller->Discovery(0, 5000, 0xF, 0), 0);
        EXPECT_EQ(board.controller->GetDiscoveryInfo(false)->GetBitRate(1), 5000u);
        ASSERT_EQ(board.controller->Discovery(0, 0, 0xF, CxpController::kFlagCameraDefaultSpeed), 0);
        EXPECT_EQ(board.controller->GetDiscoveryInfo(false)->GetBitRate(1), 12500u);
    }
    // Refused 12500, the camera takes the next speed down.
    ControllerUnderTest board(OneBoard(R"({"model": "cxp2-c", "applet": {"operators": [[0, 1]]},
        "cameras": [{"links": [0, 1], "speeds": [1250, 2500, 3125, 5000, 6250, 10000]}]})"));
    ASSERT_EQ(board.controller->Discovery(0, 0, 0x3, 0), 0);
    EXPECT_EQ(board.controller->GetDiscoveryInfo(false)->GetBitRate(1), 10000u);
    EXPECT_EQ(CameraRegister(*board.controller, 0, bootstrap::kConnectionConfig), 0x00020050u);
}

TEST(CxpDiscovery, NothingPluggedFindsNoCamera) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory);
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "cameras": []})"));
    EXPECT_EQ(board.controller->Discovery(0, 0, 0xF, 0), ERR_NO_CAMERA_FOUND);
    EXPECT_EQ(board.owner.allocated.size(), 0u);
    EXPECT_TRUE(Contains(LogTexts(log, "error"), "No physical connections found"));
    EXPECT_EQ(LedModes(board.board, 4), (std::vector<uint64_t>{5, 5, 5, 5}));
}

TEST(CxpDiscovery, RefusedSpeedsAndMasksTouchNoRegister) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-b"})"));
    RecordingHardware recording;
    EXPECT_EQ(board.controller->Discovery(0, 12500, 0xF, 0), ERR_INVALID_LINK_SPEED);
    EXPECT_EQ(board.controller->Discovery(0, 3000, 0xF, 0), ERR_INVALID_LINK_SPEED);
    EXPECT_EQ(recording.Reads() + recording.Writes(), 0u);
    EXPECT_EQ(board.controller->Discovery(0, 0, 0x7, 0), ERR_INVALID_PORT);
    EXPECT_EQ(recording.Reads() + recording.Writes(), 0u);
    // Bits beyond the board's ports do not matter.
    EXPECT_EQ(board.controller->Discovery(0, 0, 0xFF, 0), ERR_NO_CAMERA_FOUND);
}

TEST(CxpDiscovery, AnOperatorWithMoreLinksMakesTheCameraAskedForMore) {
    ControllerUnderTest board(OneBoard(R"({"model": "cxp4-c", "applet": {"operators": [[0, 1], [2, 3]]},
        "cameras": [{"links": [0, 1], "speeds": [3125, 6250]}]})"));
    ASSERT_EQ(vexosim_plug(kBoard, 1, 0), 0);
    ASSERT_EQ(board.controller->Discovery(0, 0, 0xF, 0), 0);
    // The second link is unplugged: the camera ends with its one link on the larger operator.
    const DiscoveryInfo &info = *board.controller->GetDiscoveryInfo(false);
    EXPECT_EQ(info.CountCameraLinks(1), 1);
    EXPECT_EQ(info.GetCameraPeerIndex(0), 0u);
    EXPECT_EQ(CameraRegister(*board.controller, 0, bootstrap::kConnectionConfig), 0x00010048u);
}

TEST(CxpDiscovery, LinkSynchronisationIsCheckedAtMostEveryHundredMilliseconds) {
    ControllerUnderTest board;
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    EXPECT_FALSE(controller.IsLinkSynchronized(3));
    EXPECT_FALSE(controller.IsLinkSynchronized(7));
    {
        RecordingHardware recording;
        // Wait for a check that reads the transceiver, then ask again at once.
        bool quiet = false;
        for (int attempt = 0; attempt < 20 && !quiet; ++attempt) {
            ASSERT_TRUE(Eventually([&] {
                recording.Reset();
                const bool synchronised = controller.IsLinkSynchronized(0);
                return recording.Reads() > 0 && synchronised;
            }));
            const auto checked = Clock::now();
            recording.Reset();
            const bool again = controller.IsLinkSynchronized(0);
            if (Clock::now() - checked >= std::chrono::milliseconds(90)) continue;  // too slow to tell
            EXPECT_TRUE(again);
            EXPECT_EQ(recording.Reads(), 0u);
            quiet = true;
        }
        EXPECT_TRUE(quiet);
    }
    // A pulled cable and heavy noise both end the synchronisation.
    ASSERT_EQ(vexosim_plug(kBoard, 1, 0), 0);
    EXPECT_TRUE(Eventually([&] { return !controller.IsLinkSynchronized(1); }));
    ASSERT_EQ(vexosim_link_noise(kBoard, 2, 1000), 0);
    EXPECT_TRUE(Eventually([&] { return !controller.IsLinkSynchronized(2); }));
    EXPECT_TRUE(controller.IsLinkSynchronized(0));
}

TEST(CxpDiscovery, LinksRelockAndCamerasChangeTheirConfiguration) {
    ControllerUnderTest board;
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    EXPECT_EQ(controller.LockLinks(0x3, 12500), 0);
    EXPECT_EQ(controller.LockLinks(0x4, 0), 0);
    EXPECT_EQ(controller.DetectedBitRate(2), 6250u);

    uint32_t applied = 0;
    EXPECT_EQ(controller.SetLinkConfig(1, 3125, 2, 0, &applied), 0);
    EXPECT_EQ(applied, 0x00020038u);
    EXPECT_EQ(CameraRegister(controller, 0, bootstrap::kConnectionConfig), 0x00020038u);
    EXPECT_EQ(controller.GetDiscoveryInfo(false)->GetBitRate(1), 3125u);
    EXPECT_EQ(controller.SetLinkConfig(1, 3125, 2, 0, nullptr), 0);
    EXPECT_EQ(controller.SetLinkConfig(77, 3125, 1, 0, nullptr), ERR_STREAM_PACKET_SIZE_REJECTED);
    EXPECT_EQ(controller.SetLinkConfig(1, 3000, 1, 0, nullptr), ERR_INVALID_LINK_SPEED);

    // A camera that cannot follow: its ports are forgotten, the camera is not.
    ASSERT_EQ(vexosim_plug(kBoard, 1, 0), 0);
    EXPECT_EQ(controller.SetLinkConfig(1, 6250, 2, 0, nullptr), ERR_LINK_TIMEOUT);
    EXPECT_EQ(controller.DetectedBitRate(0), 0u);
    EXPECT_EQ(controller.GetDiscoveryInfo(false)->CountCameraLinks(1), 2);
    EXPECT_EQ(controller.LockLinks(0x2, 0), ERR_STREAM_PACKET_SIZE_REJECTED);

    EXPECT_EQ(controller.ResetControlCore(0x4), 0);
    EXPECT_EQ(board.board.Read("CxpControlCoreReset_2"), 0u);
    EXPECT_EQ(controller.SetUplinkSpeed(3, 1), 0);
    EXPECT_EQ(board.board.Read("CxpTransceiverUpLinkBitRate_3"), 1u);
    EXPECT_EQ(controller.SetUplinkSpeed(3, 3125), 0);
    EXPECT_EQ(controller.GetUplinkSetting(3), 0u);
    EXPECT_EQ(controller.SetUplinkSpeed(4, 0), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(controller.SetUplinkSpeed(3, 3000), ERR_INVALID_ARGUMENT);
}

TEST(CxpDiscovery, ALinkCheckThatCannotHaveTheRegisterLockTellsNothing) {
    nox_test_own_sim_instance("board-lock");
    const std::string topology = LastBoard(R"({"model": "cxp4-c", "cameras": [{"links": [0]}]})");
    ASSERT_EQ(vexosim_load_topology(topology.c_str()), 0);
    ControllerUnderTest board(InForce{}, 15);
    CxpController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, 0xF, 0), 0);
    using LinkSync = CxpController::LinkSync;
    ASSERT_TRUE(Eventually([&] { return controller.CheckLinkSync(0) == LinkSync::kSynchronized; }));

    // Another user of the board holds the lock past its bound: a due check cannot
    // read the error counter, says so, and stays due.
    vexo::genicam::InterProcessLock registerLock =
        vexo::genicam::OpenBoardRegisterLock(board.board.Device(), board.board.Index());
    nox_test::Latch held, release;
    std::thread otherUser([&] {
        registerLock.Lock();
        held.Open();
        release.Wait(std::chrono::seconds(30));
        registerLock.Unlock();
    });
    ASSERT_TRUE(held.Wait(std::chrono::seconds(10)));
    EXPECT_TRUE(Eventually([&] { return controller.CheckLinkSync(0) == LinkSync::kUnknown; }, std::chrono::seconds(20)));
    release.Open();
    otherUser.join();
    EXPECT_EQ(controller.CheckLinkSync(0), LinkSync::kSynchronized);
}
