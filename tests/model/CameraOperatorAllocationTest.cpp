#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "LogFile.h"
#include "TempDirectory.h"
#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "logging/Logging.h"
#include "model/CameraOperatorAllocation.h"
#include "nox_genicam.h"
#include "platform/Environment.h"

using vexo::genicam::AllocateCameraOperator;
using vexo::genicam::AcknowledgeMode;
using vexo::genicam::ByteSwap;
using vexo::genicam::DiscoveryInfo;
using vexo::genicam::FirmwareControllerBase;

namespace {

constexpr uint32_t kNone = DiscoveryInfo::kNone;
constexpr uint32_t kCamera = 0x101;

// A controller that only answers the applet's operator ids, and counts the questions.
class AppletIds : public FirmwareControllerBase {
public:
    AppletIds() : FirmwareControllerBase(0, 0, nullptr) {}
    int32_t WriteMemory(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    int32_t WriteRaw(uint32_t, uint64_t, const void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    int32_t WriteRegister(uint32_t, uint64_t, uint32_t, ByteSwap, AcknowledgeMode, uint32_t) override { return -1; }
    int32_t ReadMemory(uint32_t, uint64_t, void *, uint32_t, uint32_t) override { return -1; }
    int32_t ReadRaw(uint32_t, uint64_t, void *, uint32_t, ByteSwap, uint32_t) override { return -1; }
    DiscoveryInfo *GetDiscoveryInfo(bool) override { return nullptr; }
    int32_t Discovery(uint32_t, uint32_t, uint32_t, uint32_t) override { return -1; }
    uint32_t GetAppletMasterId(uint32_t port) override {
        ++questions;
        return port < masters.size() ? masters[port] : 0;
    }
    uint32_t GetAppletExtensionId(uint32_t port) override {
        ++questions;
        return port < extensions.size() ? extensions[port] : 0;
    }

    std::vector<uint32_t> masters;
    std::vector<uint32_t> extensions;
    int questions = 0;
};

// A model of `ports` ports whose applet side lists each operator's ports in extension order.
DiscoveryInfo WithOperators(uint32_t ports, const std::vector<std::vector<uint32_t>> &operators) {
    DiscoveryInfo info(ports);
    for (size_t master = 0; master < operators.size(); ++master)
        for (size_t extension = 0; extension < operators[master].size(); ++extension)
            info.SetApPort(operators[master][extension], static_cast<uint32_t>(master + 1),
                           static_cast<uint32_t>(extension));
    info.SetApTopologyKnown();
    return info;
}

// The camera's links at physical ports, master link first.
void AddCamera(DiscoveryInfo &info, uint32_t masterId, const std::vector<uint32_t> &ports) {
    for (size_t extension = 0; extension < ports.size(); ++extension)
        info.SetCameraPort(ports[extension], masterId, static_cast<uint32_t>(extension));
}

// The applet port of each camera port (kNone: unconnected).
std::vector<uint32_t> Peers(const DiscoveryInfo &info) {
    std::vector<uint32_t> peers;
    for (uint32_t port = 0; port < info.GetPortCount(); ++port) peers.push_back(info.GetCameraPeerIndex(port));
    return peers;
}

class CameraOperatorAllocation : public ::testing::Test {
protected:
    void SetUp() override {
        vexo::templates::platform::SetEnvironment("VEXO_LOG", "vexo.genicam.NOXBoardInterface=2");
        vexo::templates::platform::SetEnvironment("VEXO_LOG_FILE", (directory_ / "allocation.log").string());
        logger_ = vexo::tools::logging::Logging::Instance()->GetLogger("vexo.genicam.NOXBoardInterface");
    }

    int32_t Allocate(DiscoveryInfo &info) {
        return AllocateCameraOperator(info, kCamera, controller_, false, logger_);
    }
    // The text after the "|" of the last record at one level; empty without one.
    std::string LastLogged(const std::string &level) const {
        std::string text;
        for (const auto &line : nox_test::ReadLogLines(directory_ / "allocation.log"))
            if (line.level == level) text = line.text.substr(line.text.find('|') + 1);
        return text;
    }

    nox_test::TempDirectory directory_;
    AppletIds controller_;
    vexo::tools::logging::Logger *logger_ = nullptr;
};

using Peers_ = std::vector<uint32_t>;

}  // namespace

TEST_F(CameraOperatorAllocation, SameSizedOperatorsScoreByTheirCommonPorts) {
    DiscoveryInfo onFirstPorts = WithOperators(4, {{0, 1}, {2, 3}});
    AddCamera(onFirstPorts, kCamera, {0, 1});
    EXPECT_EQ(Allocate(onFirstPorts), 0);
    EXPECT_EQ(Peers(onFirstPorts), (Peers_{0, 1, kNone, kNone}));
    EXPECT_EQ(onFirstPorts.GetCommandPort(kCamera), 0u);

    DiscoveryInfo onLastPorts = WithOperators(4, {{0, 1}, {2, 3}});
    AddCamera(onLastPorts, kCamera, {2, 3});
    EXPECT_EQ(Allocate(onLastPorts), 0);
    EXPECT_EQ(Peers(onLastPorts), (Peers_{kNone, kNone, 2, 3}));
    EXPECT_EQ(onLastPorts.GetCommandPort(kCamera), 2u);

    // One link on port 1, single-port operators on applet ports 0 and 1: the second scores.
    DiscoveryInfo single = WithOperators(4, {{0}, {1}});
    AddCamera(single, kCamera, {1});
    EXPECT_EQ(Allocate(single), 0);
    EXPECT_EQ(single.GetCameraPeerIndex(1), 1u);
    EXPECT_EQ(single.GetApMasterId(single.GetCameraPeerIndex(1)), 2u);
}

TEST_F(CameraOperatorAllocation, AtEqualScoresTheOperatorHoldingTheMasterLinkWins) {
    // Both overlap by one port; only the later one holds the master link's port 2.
    DiscoveryInfo laterCovers = WithOperators(6, {{0, 4}, {1, 2}});
    AddCamera(laterCovers, kCamera, {2, 4});
    EXPECT_EQ(Allocate(laterCovers), 0);
    EXPECT_EQ(laterCovers.GetApMasterId(laterCovers.GetCameraPeerIndex(2)), 2u);
    EXPECT_EQ(laterCovers.GetCameraPeerIndex(2), 1u);
    EXPECT_EQ(laterCovers.GetCameraPeerIndex(4), 2u);

    // Neither overlaps: the first one.
    DiscoveryInfo neither = WithOperators(6, {{0, 1}, {2, 3}});
    AddCamera(neither, kCamera, {4, 5});
    EXPECT_EQ(Allocate(neither), 0);
    EXPECT_EQ(Peers(neither), (Peers_{kNone, kNone, kNone, kNone, 0, 1}));
}

TEST_F(CameraOperatorAllocation, SmallerOperatorsPreferMoreLinksThenOverlapThenTheMasterPort) {
    // A four-link camera; operators of one, two (no overlap) and two (overlap) ports.
    DiscoveryInfo info = WithOperators(8, {{4}, {6, 7}, {1, 0}});
    AddCamera(info, kCamera, {0, 1, 2, 3});
    EXPECT_EQ(Allocate(info), 0);
    // The camera's first two links went to the two-port operator covering them.
    EXPECT_EQ(info.GetCameraPeerIndex(0), 1u);
    EXPECT_EQ(info.GetCameraPeerIndex(1), 0u);
    EXPECT_EQ(info.GetCameraPeerIndex(2), kNone);
    EXPECT_EQ(info.CountConnectedCameraLinks(kCamera), 2);
}

TEST_F(CameraOperatorAllocation, ALargerOperatorLeavesItsFurtherPortsFree) {
    DiscoveryInfo info = WithOperators(4, {{0, 1, 2, 3}});
    AddCamera(info, kCamera, {2, 3});
    EXPECT_EQ(Allocate(info), 0);
    EXPECT_EQ(Peers(info), (Peers_{kNone, kNone, 0, 1}));
    EXPECT_EQ(info.GetApPeerIndex(2), kNone);
    EXPECT_EQ(info.GetApPeerIndex(3), kNone);
}

TEST_F(CameraOperatorAllocation, AnOperatorServesOneCameraOnly) {
    DiscoveryInfo info = WithOperators(4, {{0}, {1}});
    AddCamera(info, kCamera, {0});
    EXPECT_EQ(Allocate(info), 0);
    EXPECT_EQ(info.GetCameraPeerIndex(0), 0u);
    // Already connected, the camera still has links; its operator is no longer free.
    EXPECT_EQ(Allocate(info), 0);
    EXPECT_EQ(info.GetCameraPeerIndex(0), 1u);
    EXPECT_EQ(Allocate(info), ERR_INTERNAL);
    EXPECT_EQ(LastLogged("error"),
              "Allocating camera operator failed: No matching operator found for connected camera");
}

TEST_F(CameraOperatorAllocation, ACameraWithoutLinksLeavesTheAppletSideAlone) {
    DiscoveryInfo info(4);
    EXPECT_EQ(Allocate(info), ERR_NO_CAMERA_FOUND);
    EXPECT_EQ(controller_.questions, 0);
    EXPECT_FALSE(info.IsApTopologyKnown());
    EXPECT_EQ(LastLogged("error"), "No ports to be configured!");
}

TEST_F(CameraOperatorAllocation, AnUnknownAppletSideIsReadFromTheController) {
    // Operator 1 on applet ports 2 and 3; ports 0 and 1 belong to no operator (id 0).
    controller_.masters = {0, 0, 1, 1};
    controller_.extensions = {0, 0, 0, 1};
    DiscoveryInfo info(4);
    info.SetApPort(3, 1, 1);  // already known: not asked again
    AddCamera(info, kCamera, {0, 1});
    EXPECT_EQ(Allocate(info), 0);
    EXPECT_TRUE(info.IsApTopologyKnown());
    EXPECT_EQ(controller_.questions, 6);
    EXPECT_EQ(info.GetApMasterId(0), kNone);
    EXPECT_EQ(info.GetApMasterId(2), 1u);
    EXPECT_EQ(Peers(info), (Peers_{2, 3, kNone, kNone}));
}

TEST_F(CameraOperatorAllocation, ACameraWithoutItsMasterLinkCommandsThroughTheOperatorsFirstPort) {
    DiscoveryInfo info = WithOperators(4, {{3, 2}});
    info.SetCameraPort(1, kCamera, 1);
    info.SetCommandPort(kCamera, 1);
    EXPECT_EQ(Allocate(info), 0);
    EXPECT_EQ(info.GetCommandPort(kCamera), 3u);
    EXPECT_EQ(info.GetCameraPeerIndex(1), 3u);
}

TEST_F(CameraOperatorAllocation, AModelRefusingALinkStopsTheConnecting) {
    // The operator's ports skip extension 1, so the camera's second link has nowhere to go.
    DiscoveryInfo info(4);
    info.SetApPort(0, 1, 0);
    info.SetApPort(1, 1, 2);
    info.SetApTopologyKnown();
    AddCamera(info, kCamera, {0, 1});
    EXPECT_EQ(Allocate(info), ERR_INTERNAL);
    EXPECT_EQ(info.GetCameraPeerIndex(0), 0u);
    EXPECT_EQ(info.GetCameraPeerIndex(1), kNone);
    EXPECT_EQ(LastLogged("error"), "Exception while configuring ports!");
}
