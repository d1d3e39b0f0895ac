// A camera that comes back after its cable was pulled or its port's power was
// switched off is brought back by Nox_LinkConnect and Nox_connectCamera alone,
// at the layout the scan found, through the exported interface.
#include <gtest/gtest.h>

#include "GenICamRoad.h"
#include "protocol/CxpBootstrap.h"

using nox_test::CameraProperty;
using nox_test::CameraRegister;
using nox_test::LossEvents;
using nox_test::LoggedRoad;
namespace bootstrap = vexo::protocol::cxp::bootstrap;

namespace {

// A 2-link camera whose master link arrives on port 3 and its extension on
// port 1, and a 1-link camera on port 0: discovery routes the ports crosswise.
constexpr const char *kCrossedTopology = R"({"boards": [{"model": "cxp4-c",
  "applet": {"operators": [[0, 1], [2], [3]]},
  "cameras": [{"links": [3, 1]}, {"links": [0], "speeds": [1250, 2500, 3125, 5000, 6250]}]}]})";

// What the camera and the board say about its links.
struct Layout {
    uint32_t links = 0, speed = 0, masterPort = 0, connectionConfig = 0, masterHostId = 0;
    bool operator==(const Layout &) const = default;
};

Layout LayoutOf(NoxCameraHandle *camera) {
    return {CameraProperty(camera, "NROFLINKS"), CameraProperty(camera, "LINKSPEED"),
            CameraProperty(camera, "MASTERPORT"), CameraRegister(camera, bootstrap::kConnectionConfig),
            CameraRegister(camera, bootstrap::kMasterHostConnectionId)};
}

enum class Outage { kCablePulled, kPowerCycled };

void Interrupt(NoxBoardHandle *board, uint32_t physicalPort, Outage outage, bool on) {
    if (outage == Outage::kCablePulled)
        ASSERT_EQ(vexosim_plug(0, physicalPort, on ? 1 : 0), 0);
    else
        ASSERT_EQ(Nox_powerSwitchExt(board, 1u << physicalPort, on ? 1 : 0), ERR_NONE);
}

// The camera in `slot`, whose master link is on `physicalPort`, is lost, comes
// back and is connected again without a scan; its next loss is reported again.
void ExpectRecovery(const char *topology, uint32_t slot, uint32_t physicalPort, Outage outage,
                    bool fastWaits = true) {
    LoggedRoad road(topology, true, fastWaits);
    LossEvents events;
    ASSERT_EQ(Nox_RegisterEventCallback(road.Board(), &LossEvents::Record, &events), ERR_NONE);
    NoxCameraHandle *camera = road.Connected(slot);
    const Layout scanned = LayoutOf(camera);
    ASSERT_GT(scanned.masterHostId, 0u);

    Interrupt(road.Board(), physicalPort, outage, false);
    ASSERT_TRUE(events.WaitFor(1));
    int64_t width = 0;
    EXPECT_NE(Nox_getIntegerValue(camera, "Width", &width), ERR_NONE) << "nothing answers while the link is down";
    Interrupt(road.Board(), physicalPort, outage, true);

    road.Connected(slot);
    EXPECT_EQ(nox_test::IntegerFeature(camera, "Width"), 4096);
    EXPECT_EQ(LayoutOf(camera), scanned) << "back at the negotiated layout";

    Interrupt(road.Board(), physicalPort, outage, false);
    EXPECT_TRUE(events.WaitFor(2)) << "the next loss is reported again";
}

}  // namespace

TEST(Recovery, AfterTheCableIsPluggedBack) {
    ExpectRecovery(nullptr, 0, 0, Outage::kCablePulled);
    ExpectRecovery(nullptr, 1, 2, Outage::kCablePulled);
    ExpectRecovery(kCrossedTopology, 0, 3, Outage::kCablePulled);
}

TEST(Recovery, AfterThePortIsPowerCycled) {
    ExpectRecovery(nullptr, 0, 0, Outage::kPowerCycled);
    ExpectRecovery(kCrossedTopology, 0, 3, Outage::kPowerCycled);
    ExpectRecovery(kCrossedTopology, 1, 0, Outage::kPowerCycled);
}

// The settling waits as they are out of the box: the recovery does not lean on their being 0.
TEST(Recovery, WithTheDefaultWaits) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "seconds of waits; the plain tree runs it";
#endif
    ExpectRecovery(nullptr, 1, 2, Outage::kPowerCycled, false);
    ExpectRecovery(kCrossedTopology, 0, 3, Outage::kCablePulled, false);
}
