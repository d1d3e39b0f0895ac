#include <gtest/gtest.h>

#include <vector>

#include "board/FirmwareControllerBase.h"
#include "discovery/DiscoveryInfo.h"
#include "logging/Logging.h"
#include "model/CameraOperatorAllocation.h"
#include "nox_genicam.h"

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
    int32_t Allocate(DiscoveryInfo &info) {
        return AllocateCameraOperator(info, kCamera, controller_, false, logger_);
    }

    AppletIds controller_;
    vexo::tools::logging::Logger *logger_ =
        vexo::tools::logging::Logging::Instance()->GetLogger("vexo.genicam.NOXBoardInterface");
};

using Peers_ = std::vector<uint32_t>;

}  // namespace

// Which operator a camera's links go to, and which applet port each link reaches.
TEST_F(CameraOperatorAllocation, TheOperatorIsChosenByScoreAndTheLinksFollowItsPorts) {
    const struct {
        const char *rule;
        uint32_t ports;
        std::vector<std::vector<uint32_t>> operators;
        std::vector<uint32_t> camera;
        Peers_ peers;
        uint32_t commandPort;
    } cases[] = {
        {"same-sized operators score by their common ports", 4, {{0, 1}, {2, 3}}, {0, 1}, {0, 1, kNone, kNone}, 0},
        {"... on the later operator too", 4, {{0, 1}, {2, 3}}, {2, 3}, {kNone, kNone, 2, 3}, 2},
        {"one link, single-port operators", 4, {{0}, {1}}, {1}, {kNone, 1, kNone, kNone}, 1},
        {"at equal scores the one holding the master link wins", 6, {{0, 4}, {1, 2}}, {2, 4},
         {kNone, kNone, 1, kNone, 2, kNone}, 1},
        {"neither overlaps: the first", 6, {{0, 1}, {2, 3}}, {4, 5}, {kNone, kNone, kNone, kNone, 0, 1}, 0},
        // A four-link camera: its first two links go to the two-port operator covering them.
        {"smaller operators prefer more links, then overlap", 8, {{4}, {6, 7}, {1, 0}}, {0, 1, 2, 3},
         {1, 0, kNone, kNone, kNone, kNone, kNone, kNone}, 1},
        {"a larger operator leaves its further ports free", 4, {{0, 1, 2, 3}}, {2, 3}, {kNone, kNone, 0, 1}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        DiscoveryInfo info = WithOperators(c.ports, c.operators);
        AddCamera(info, kCamera, c.camera);
        EXPECT_EQ(Allocate(info), 0);
        EXPECT_EQ(Peers(info), c.peers);
        EXPECT_EQ(info.GetCommandPort(kCamera), c.commandPort);
        // Applet ports no link reached stay free.
        for (uint32_t port = 0; port < c.ports; ++port) {
            if (c.peers[port] != kNone) {
                EXPECT_EQ(info.GetApPeerIndex(c.peers[port]), port);
            }
        }
        uint32_t taken = 0;
        for (uint32_t port = 0; port < c.ports; ++port) taken += info.GetApPeerIndex(port) != kNone;
        EXPECT_EQ(taken, static_cast<uint32_t>(info.CountConnectedCameraLinks(kCamera)));
    }
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
}

TEST_F(CameraOperatorAllocation, ACameraWithoutLinksLeavesTheAppletSideAlone) {
    DiscoveryInfo info(4);
    EXPECT_EQ(Allocate(info), ERR_NO_CAMERA_FOUND);
    EXPECT_EQ(controller_.questions, 0);
    EXPECT_FALSE(info.IsApTopologyKnown());
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
}
