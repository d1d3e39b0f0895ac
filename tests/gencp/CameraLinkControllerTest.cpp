// The Camera Link controller against the virtual frame grabber: the line rate
// search and switch, the layouts of both applet groups, identification
// strings, accesses and their statuses.
#include <gtest/gtest.h>

#include "ClBoard.h"
#include "discovery/DiscoveryInfo.h"
#include "gencp/CameraLinkController.h"
#include "platform/Environment.h"
#include "protocol/GenCp.h"

using namespace gencp_test;
using namespace vexo::genicam;
namespace bootstrap = vexo::protocol::gencp::bootstrap;

namespace {

constexpr int32_t kGenericError = 0x8FFF;

class ClController : public ::testing::Test {
protected:
    // A failing candidate costs three sendings of this; it still leaves a
    // 9600-baud answer (about 60 ms on the line) ample room.
    void SetUp() override { vexo::templates::platform::SetEnvironment("VEXO_CL_GENCP_ACK_TIMEOUT", "300"); }

    std::unique_ptr<CameraLinkController> Controller(const char *topology) {
        board_.reset();  // its session closes before the next topology loads
        board_ = std::make_unique<ClBoard>(topology);
        return std::make_unique<CameraLinkController>(board_->wrapper->device, board_->wrapper->applet, nullptr);
    }
    static std::vector<uint32_t> Masters(const DiscoveryInfo &info) {
        std::vector<uint32_t> masters;
        info.ListCameraMasters(true, masters);
        return masters;
    }
    static std::string Info(DiscoveryInfo &info, uint32_t masterId, size_t field) {
        return info.GetCameraInfo(masterId).value()[field].value_or("<none>");
    }

    std::unique_ptr<ClBoard> board_;
};

}  // namespace

TEST_F(ClController, FindsA115200CameraAndSwitchesToTheFastestRateBothSupport) {
    auto controller = Controller(R"({"boards": [{"model": "cl2-g1", "cameras": [
        {"links": [0], "baud": 115200, "serial": "CL0001"},
        {"links": [1], "bauds": [9600, 230400, 921600], "serial": "CL0002"}]}]})");
    ASSERT_EQ(controller->Discovery(0, 0, 3, 0), 0);

    EXPECT_EQ(controller->BaudRate(0), 115200u) << "the default camera supports 0x1F";
    EXPECT_EQ(controller->BaudRate(1), 921600u);

    // The camera now answers at the new rates.
    uint32_t version = 0;
    EXPECT_EQ(controller->ReadRaw(1, bootstrap::kGenCpVersion, &version, 4, ByteSwap::kSwapWords, 0), 0);
    EXPECT_EQ(version, vexo::protocol::gencp::kVersion1_0);
}

// Two base cameras are found and named through the exported functions: CameraLinkRoadTest.
TEST_F(ClController, MediumGivesOneCameraOnTwoLinks) {
    // Group 2 answers through its mode registers; connector 1 carries the
    // camera's second cable, which is no camera of its own.
    auto controller = Controller(R"({"boards": [{"model": "cl2-g2", "applet": {"port_config": "medium"},
        "cameras": [{"links": [0, 1], "serial": "CL0003"}]}]})");
    ASSERT_EQ(controller->Discovery(0, 0, 3, 0), 0);
    EXPECT_EQ(controller->PortConfiguration(), CameraPortConfiguration::kMedium);
    DiscoveryInfo &info = *controller->GetDiscoveryInfo(false);
    const std::vector<uint32_t> masters = Masters(info);
    ASSERT_EQ(masters.size(), 1u);
    EXPECT_EQ(info.CountConnectedCameraLinks(masters[0]), 2);
    EXPECT_EQ(info.FindCameraPort(masters[0], 1), 1u);
    EXPECT_EQ(Info(info, masters[0], 6), "CL0003");
    EXPECT_TRUE(controller->IsLinkSynchronized(0));
    EXPECT_EQ(controller->BaudRate(1), 0u);
    EXPECT_FALSE(controller->IsLinkSynchronized(1));
    uint32_t value = 0;
    EXPECT_EQ(controller->ReadRaw(1, 0, &value, 4, ByteSwap::kSwapWords, 0), ERR_NO_CAMERA_FOUND);
}

TEST_F(ClController, AMissingConfigurationRegisterOrAHeldPortLeavesNoCamera) {
    {
        auto controller = Controller(R"({"boards": [{"model": "cl2-g1", "applet": {"port_config": "none"},
            "cameras": [{"links": [0]}]}]})");
        EXPECT_EQ(controller->Discovery(0, 0, 3, 0), kGenericError);
        EXPECT_TRUE(Masters(*controller->GetDiscoveryInfo(false)).empty());
    }
    auto controller = Controller(R"({"boards": [{"model": "cl2-g1", "cameras": [{"links": [0]}, {"links": [1]}]}]})");
    ASSERT_EQ(vexosim_serial_claim(0, 1, 1), 0);
    EXPECT_EQ(controller->Discovery(0, 0, 3, 0), 0);
    ASSERT_EQ(vexosim_serial_claim(0, 1, 0), 0);
    DiscoveryInfo &info = *controller->GetDiscoveryInfo(false);
    EXPECT_NE(info.GetCameraMasterId(0), DiscoveryInfo::kNone);
    EXPECT_EQ(info.GetCameraMasterId(1), DiscoveryInfo::kNone);
    uint32_t value = 0;
    EXPECT_EQ(controller->ReadRaw(1, 0, &value, 4, ByteSwap::kSwapWords, 0), ERR_NO_CAMERA_FOUND);
}

TEST_F(ClController, AccessesCarryBytesAndReturnTheCamerasStatusPositive) {
    auto controller = Controller(R"({"boards": [{"model": "cl2-g1", "cameras": [{"links": [0]}]}]})");
    ASSERT_EQ(controller->Discovery(0, 0, 1, 0), 0);

    // Odd lengths are carried whole: GenCpConnection's test and CameraLinkRoadTest.
    char read[4] = {};
    ASSERT_EQ(controller->WriteRegister(0, bootstrap::kDeviceUserDefinedName, 0x41424344, ByteSwap::kSwapWords,
                                        AcknowledgeMode::kRequired, 0), 0);
    ASSERT_EQ(controller->ReadRaw(0, bootstrap::kDeviceUserDefinedName, read, 4, ByteSwap::kWireOrder, 0), 0);
    EXPECT_EQ(std::string(read, 4), "ABCD");

    // A write's status, negated through the exported functions: CameraLinkRoadTest.
    uint32_t value = 0xA5A5A5A5;
    ASSERT_EQ(vexosim_fault(0, 0, "status:8006", 1), 0);
    EXPECT_EQ(controller->ReadRaw(0, bootstrap::kGenCpVersion, &value, 4, ByteSwap::kSwapWords, 0), 0x8006);
    EXPECT_EQ(value, 0xA5A5A5A5u) << "a failed read leaves the buffer";
}
