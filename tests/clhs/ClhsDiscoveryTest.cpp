// Set-up, link state threads and discovery of the Camera Link HS controller
// against the simulated board.
#include <gtest/gtest.h>

#include "ClhsBoard.h"
#include "TempDirectory.h"
#include "nox_genicam.h"
#include "platform/Environment.h"
#include "protocol/ClhsRegisters.h"

namespace clhs_test {
namespace {

using namespace vexo::genicam;
using cxp_test::CaptureLog;
using cxp_test::Contains;
using cxp_test::LogTexts;
using Thread = clhs::LinkStateControllerThread;
using vexo::templates::platform::SetEnvironment;
using vexo::templates::platform::UnsetEnvironment;

constexpr const char *kMaskVariable = "VEXO_CLHS_PORT_MASTER_MASK_0";
constexpr uint32_t kBothPorts = 3;

uint32_t Property(ClhsController &controller, uint32_t id, uint32_t port) {
    uint32_t value = 0xFFFF;
    EXPECT_EQ(controller.GetBoardProperty(id, &value, 1, port), ERR_NONE);
    return value;
}

size_t CountOf(const std::vector<std::string> &texts, const std::string &text) {
    return size_t(std::count(texts.begin(), texts.end(), text));
}

TEST(ClhsSetup, PortMasterMaskFromEnvironmentOrInitWords) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory, "vexo.genicam.ClhsController=2");
    SetEnvironment(kMaskVariable, "abc");
    {
        ClhsUnderTest board(kOneLinkCamera, kBothPorts);
        EXPECT_EQ(board.controller->PortMasterMask(), 1u);
        EXPECT_NE(board.controller->LinkThread(0), nullptr);
        EXPECT_EQ(board.controller->LinkThread(1), nullptr);
    }
    SetEnvironment(kMaskVariable, "3");
    { EXPECT_EQ(ClhsUnderTest(kOneLinkCamera, 1).controller->PortMasterMask(), 3u); }
    UnsetEnvironment(kMaskVariable);
    { EXPECT_EQ(ClhsUnderTest(kOneLinkCamera, 0xE).controller->PortMasterMask(), 2u); }
    EXPECT_TRUE(Contains(LogTexts(log), "Failed to set CLHS port master mask from environment variable "
                                        "VEXO_CLHS_PORT_MASTER_MASK_0: Invalid value abc"));
}

// The link comes up only once revision messages flow both ways; a board that
// stops sending its own loses the link until the thread sends them again.
TEST(ClhsLinkState, UpOnlyWithRevisionMessagesBothWays) {
    nox_test::TempDirectory directory;
    const auto log = CaptureLog(directory, "vexo.genicam.ClhsController=2");
    SimBoard unplugged(kOneLinkCamera);
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    ClhsUnderTest board(InForce{}, 0, 1);
    ClhsController &controller = *board.controller;
    const Thread *thread = controller.LinkThread(0);
    ASSERT_TRUE(thread->AwaitPeriods(3, std::chrono::seconds(5)));
    EXPECT_EQ(thread->GetState(), Thread::kDown);
    EXPECT_FALSE(controller.IsLinkSynchronized(0));
    EXPECT_TRUE(controller.IsLinkSynchronized(1));  // no thread there

    ASSERT_EQ(vexosim_plug(0, 0, 1), 0);
    ASSERT_TRUE(board.LinkUp(0));
    EXPECT_EQ(board.board.Read("ClhsLinkRxStatus_0") & 3, 3u);
    EXPECT_EQ(Property(controller, 5, 0), uint32_t(Thread::kUp));
    EXPECT_EQ(Property(controller, 6, 0), 1u);

    board.board.Write("ClhsTxRevision_0", 0);
    ASSERT_TRUE(thread->AwaitPeriods(3, std::chrono::seconds(5)));
    ASSERT_TRUE(board.LinkUp(0));
    EXPECT_EQ(CountOf(LogTexts(log), "Release XCore reset on port 0"), 2u);

    // Unplugged: the state falls and messages fail.
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    ASSERT_TRUE(thread->AwaitPeriods(2, std::chrono::seconds(5)));
    EXPECT_FALSE(controller.IsLinkSynchronized(0));
    EXPECT_EQ(Property(controller, 6, 0), 0u);
    uint32_t value = 0;
    EXPECT_NE(ReadCamera(controller, 0, 0, value), ERR_NONE);

    // Stopped detection: no thread, the port counts as synchronised.
    EXPECT_EQ(controller.SetBoardProperty(6, 0, 0), ERR_NONE);
    EXPECT_EQ(controller.LinkThread(0), nullptr);
    EXPECT_TRUE(controller.IsLinkSynchronized(0));
    EXPECT_EQ(controller.SetBoardProperty(6, 2, 1), ERR_INVALID_PORT);
}

// Refused speeds and masks, the links, speed and identifier of this camera: ClhsRoad.
TEST(ClhsDiscovery, TwoLinkCameraOnTwoSinglePortOperators) {
    ClhsUnderTest board(kTwoLinkCamera, kBothPorts);
    ClhsController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, kBothPorts, 0), ERR_NONE);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    // Board 0, master port 0: identifier 1.
    EXPECT_EQ(controller.DeviceId(0), 1u);
    EXPECT_EQ((std::vector<uint32_t>{info.GetCameraMasterId(0), info.GetCameraExtensionId(0), info.GetCameraMasterId(1),
                                     info.GetCameraExtensionId(1), info.GetBitRate(1), info.GetControlPacketSize(1)}),
              (std::vector<uint32_t>{1, 0, 1, 1, 10000, 8192}));
    // Tier 2: each link on a single-port operator.
    EXPECT_EQ(info.CountConnectedCameraLinks(1), 2);
    EXPECT_NE(info.GetCameraPeerIndex(0), DiscoveryInfo::kNone);
    EXPECT_NE(info.GetCameraPeerIndex(1), info.GetCameraPeerIndex(0));
    EXPECT_EQ(controller.GetDiscoverySelect().Value(), info.ComputeDiscoverySelect().Value());
    const std::optional<CameraInfoTexts> texts = info.GetCameraInfo(1);
    EXPECT_TRUE(texts && (*texts)[0] && !(*texts)[0]->empty()) << "DeviceVendorName";
}

TEST(ClhsDiscovery, OneLinkCameraWithTheDefaultMask) {
    ClhsUnderTest board(kOneLinkCamera);
    ClhsController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 10000, kBothPorts, 0), ERR_NONE);
    const DiscoveryInfo &info = *controller.GetDiscoveryInfo(false);
    EXPECT_EQ(info.GetCameraMasterId(0), 1u);
    EXPECT_EQ(info.GetCameraMasterId(1), DiscoveryInfo::kNone);
    EXPECT_EQ(info.CountConnectedCameraLinks(1), 1);
    // A second discovery finds the identifier in place.
    ASSERT_EQ(controller.Discovery(0, 0, kBothPorts, 0), ERR_NONE);
    EXPECT_EQ(controller.DeviceId(0), 1u);
}

TEST(ClhsDiscovery, IdentifierRejectedOrNoCamera) {
    {
        ClhsUnderTest board(kOneLinkCamera);
        ASSERT_EQ(vexosim_fault(0, 0, "reject_device_id", 1), 0);
        EXPECT_EQ(board.controller->Discovery(0, 0, kBothPorts, 0), ERR_CLHS_DEVICE_ID_REJECTED);
        EXPECT_EQ(board.controller->DeviceId(0), 0u);
        EXPECT_EQ(board.controller->GetDiscoveryInfo(false)->GetCameraMasterId(0), DiscoveryInfo::kNone);
    }
    ClhsUnderTest board(R"({"boards": [{"model": "clhs2-c"}]})", kBothPorts);
    EXPECT_EQ(board.controller->Discovery(0, 0, kBothPorts, 0), ERR_NO_CAMERA_FOUND);
}

// One MDIO bus for both chips, one transceiver status register for both
// ports and no lock register: the same road on the other registers.
TEST(ClhsDiscovery, AppletWithSharedRegisters) {
    const std::string topology = R"({"boards": [{"model": "clhs2-c",
        "applet": {"single_mdio": true, "shared_gtx_status": true, "omit_registers": ["ClhsTransceiverLocked"]},
        "cameras": [{"links": [0, 1]}]}]})";
    ClhsUnderTest board(topology.c_str(), kBothPorts);
    ClhsController &controller = *board.controller;
    ASSERT_EQ(controller.Discovery(0, 0, kBothPorts, 0), ERR_NONE);
    EXPECT_EQ(controller.GetDiscoveryInfo(false)->CountConnectedCameraLinks(1), 2);
    const uint32_t index = 15u << 24 | 1u << 16 | 3;
    EXPECT_EQ(controller.SetBoardProperty(4, index, 0x77), ERR_NONE);
    EXPECT_EQ(Property(controller, 3, index), 0x77u);
    EXPECT_EQ(Property(controller, 3, 0u << 24 | 1u << 16), 0x2040u) << "the start-up's setting of chip 0";
}

}  // namespace
}  // namespace clhs_test
