// Camera Link HS boards through the exported interface against the virtual
// frame grabber: the whole road from opening with a port master mask to
// features and files, the board properties, link loss, the device
// configuration change and a camera whose links arrive on two boards.
#include <thread>

#include "GenICamRoad.h"
#include "Latch.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"

namespace {

using nox_test::CameraProperty;
using nox_test::CameraRegister;
using nox_test::LossEvents;

namespace camera_register = vexo::protocol::clhs::camera;
namespace bootstrap = vexo::protocol::gencp::bootstrap;
constexpr auto kHang = std::chrono::seconds(20);
constexpr uint32_t kTypeU32 = 1;
constexpr uint32_t kMaskOption = 1;  // init flag bit 0: take the port master mask from the call

constexpr const char *kTwoLinkCamera = R"({"boards": [{"model": "clhs2-c",
    "cameras": [{"links": [0, 1], "configurations": [[2, 10000], [1, 5000]], "reconnect_time": 40}]}]})";

// Boards of a topology opened with a port master mask, closed in reverse.
class ClhsRoad {
public:
    ClhsRoad(const char *topology, uint32_t boards, uint32_t portMask) {
        GenICamInit();
        EXPECT_EQ(vexosim_load_topology(topology), 0);
        for (uint32_t index = 0; index < boards; ++index)
            boards_.push_back(std::make_unique<nox_test::OpenBoard>(index, kMaskOption, portMask));
    }
    ~ClhsRoad() {
        while (!boards_.empty()) boards_.pop_back();
        GenICamDeinit();
    }

    NoxBoardHandle *Board(uint32_t index = 0) const { return boards_.at(index)->Handle(); }
    NoxCameraHandle *Camera(uint32_t slot, uint32_t board = 0) const { return boards_.at(board)->Camera(slot); }

private:
    std::vector<std::unique_ptr<nox_test::OpenBoard>> boards_;
};

uint32_t BoardProperty(NoxBoardHandle *board, const char *name, uint32_t index) {
    uint32_t value = 0xFFFFFFFF;
    EXPECT_EQ(Nox_getBoardPropertyWithType(board, name, &value, kTypeU32, index), ERR_NONE) << name;
    return value;
}

int32_t SetBoardProperty(NoxBoardHandle *board, const char *name, uint32_t value, uint32_t index) {
    return Nox_setBoardPropertyWithType(board, name, &value, kTypeU32, &index);
}

TEST(ClhsRoad, ScanConnectFeaturesRegistersAndFiles) {
    ClhsRoad road(kTwoLinkCamera, 1, 3);
    NoxBoardHandle *board = road.Board();
    EXPECT_EQ(Nox_scanPortsEx(board, 3, 5000, 0, 0), ERR_INVALID_LINK_SPEED);
    EXPECT_EQ(Nox_scanPortsEx(board, 1, 0, 0, 0), ERR_INVALID_PORT);
    ASSERT_EQ(Nox_scanPorts(board, 3, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_getCameraCount(board), 1);
    NoxCameraHandle *camera = road.Camera(0);
    const NoxCameraInfo *info = Nox_getCameraInfo(camera);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->vendorName, nullptr);

    ASSERT_EQ(Nox_LinkConnect(board, camera), ERR_NONE);
    EXPECT_EQ(CameraProperty(camera, "NROFLINKS"), 2u);
    EXPECT_EQ(CameraProperty(camera, "LINKSPEED"), 10000u);
    EXPECT_EQ(CameraRegister(camera, camera_register::kDeviceId), CameraProperty(camera, "MASTERID"));
    ASSERT_EQ(Nox_connectCamera(camera), ERR_NONE);
    ASSERT_EQ(Nox_setIntegerValue(camera, "Width", 1024), ERR_NONE);
    EXPECT_EQ(nox_test::IntegerFeature(camera, "Width"), 1024);

    // Registers and memory through the camera and through the board's port.
    EXPECT_EQ(CameraRegister(camera, bootstrap::kGenCpVersion), vexo::protocol::gencp::kVersion1_0);
    uint32_t version = 0;
    EXPECT_EQ(Nox_DirectRegisterRead(board, 0, bootstrap::kGenCpVersion, &version), ERR_NONE);
    EXPECT_EQ(version, vexo::protocol::gencp::kVersion1_0);
    const char name[] = "road name";
    ASSERT_EQ(Nox_memoryWriteToCamera(camera, name, bootstrap::kDeviceUserDefinedName, sizeof name), ERR_NONE);
    char back[sizeof name] = {};
    ASSERT_EQ(Nox_memoryReadFromCamera(camera, back, bootstrap::kDeviceUserDefinedName, sizeof back), ERR_NONE);
    EXPECT_STREQ(back, name);
    // (A camera's refusal, the negated GenCP status, is the fault matrix's status:8003 row.)

    // Link files keep the link group. (Parameter files are the node map's, over any port: the CoaXPress
    // and Camera Link roads save and load them.)
    nox_test::TempDirectory directory;
    const std::string links = (directory / "links.xml").string();
    ASSERT_EQ(Nox_SaveBoardConfiguration(board, links.c_str()), ERR_NONE);
    const std::string text = nox_test::ReadFile(links);
    EXPECT_NE(text.find("linkgroups=\"1\""), std::string::npos) << text;
    ASSERT_EQ(Nox_LoadBoardConfiguration(board, links.c_str()), ERR_NONE);
    EXPECT_EQ(CameraProperty(road.Camera(0), "NROFLINKS"), 2u);
}

TEST(ClhsRoad, BoardPropertiesAndLinkLoss) {
    ClhsRoad road(kTwoLinkCamera, 1, 3);
    NoxBoardHandle *board = road.Board();
    ASSERT_EQ(Nox_scanPorts(board, 3, 0, 0), ERR_NONE);
    NoxCameraHandle *camera = road.Camera(0);
    LossEvents events;
    ASSERT_EQ(Nox_RegisterEventCallback(board, &LossEvents::Record, &events), ERR_NONE);
    ASSERT_EQ(Nox_LinkConnect(board, camera), ERR_NONE);

    EXPECT_EQ(BoardProperty(board, "CLHSLinkState", 0), 1u);
    EXPECT_EQ(BoardProperty(board, "CLHSLinkDetectionEnable", 1), 1u);
    EXPECT_EQ(SetBoardProperty(board, "CLHSFecEnable", 1, 0), ERR_NONE);
    EXPECT_EQ(BoardProperty(board, "CLHSFecEnable", 0), 1u);
    const uint32_t mdio = 0u << 24 | 1u << 16 | 0x20;
    EXPECT_EQ(SetBoardProperty(board, "CLHSWriteMDIO", 0xABCD, mdio), ERR_NONE);
    EXPECT_EQ(BoardProperty(board, "CLHSReadMDIO", mdio), 0xABCDu);
    EXPECT_EQ(SetBoardProperty(board, "CLHSSendRevisionMessage", 1, 0), ERR_UNKNOWN_PROPERTY);
    double wrongType = 0;
    EXPECT_EQ(Nox_getBoardPropertyWithType(board, "CLHSLinkState", &wrongType, 2, 0), ERR_INVALID_DATA_TYPE);

    // The master link goes: the loss is reported once, while it lasts.
    ASSERT_EQ(vexosim_plug(0, 0, 0), 0);
    ASSERT_TRUE(events.WaitFor(1));
    EXPECT_FALSE(events.WaitFor(2, std::chrono::milliseconds(600))) << "one report per loss";
    EXPECT_EQ(BoardProperty(board, "CLHSLinkState", 0), 0u);
    EXPECT_EQ(BoardProperty(board, "CLHSLinkState", 1), 1u);
}

// A 2-link camera switched to one link at 5000 Mbit/s: its links drop and
// the master comes back alone; asked for two again, only one comes back when
// the second cable is out.
TEST(ClhsRoad, DeviceConfigurationChange) {
    ClhsRoad road(kTwoLinkCamera, 1, 3);
    NoxBoardHandle *board = road.Board();
    ASSERT_EQ(Nox_scanPorts(board, 3, 0, 0), ERR_NONE);
    NoxCameraHandle *camera = road.Camera(0);
    ASSERT_EQ(Nox_LinkConnect(board, camera), ERR_NONE);
    uint32_t masterId = CameraProperty(camera, "MASTERID");
    uint32_t speed = 5000;
    ASSERT_EQ(Nox_setBoardPropertyWithType(board, "SET_LINK_CONFIG_FREQ", &speed, kTypeU32, &masterId), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, camera_register::kDeviceConfigurationIndex), 1u);
    EXPECT_EQ(BoardProperty(board, "CLHSLinkState", 0), 1u);
    EXPECT_EQ(BoardProperty(board, "CLHSLinkState", 1), 0u);
    EXPECT_EQ(CameraRegister(camera, camera_register::kDeviceId), masterId) << "kept across the hotplug";

    // No configuration of that shape: nothing changes.
    uint32_t unknown = 2500;
    EXPECT_EQ(Nox_setBoardPropertyWithType(board, "SET_LINK_CONFIG_FREQ", &unknown, kTypeU32, &masterId), ERR_NONE);
    EXPECT_EQ(CameraRegister(camera, camera_register::kDeviceConfigurationIndex), 1u);
}

TEST(ClhsRoad, FewerLinksBackThanConfigured) {
    nox_test::TempDirectory directory;
    const std::string log = (directory / "clhs.log").string();
    ::setenv("VEXO_LOG", "vexo.genicam.ClhsController=5", 1);
    ::setenv("VEXO_LOG_FILE", log.c_str(), 1);
    // Two links at either speed; the second cable goes out after the scan.
    ClhsRoad road(R"({"boards": [{"model": "clhs2-c",
        "cameras": [{"links": [0, 1], "configurations": [[2, 10000], [2, 5000]], "reconnect_time": 40}]}]})", 1, 3);
    NoxBoardHandle *board = road.Board();
    ASSERT_EQ(Nox_scanPorts(board, 3, 0, 0), ERR_NONE);
    NoxCameraHandle *camera = road.Camera(0);
    ASSERT_EQ(vexosim_plug(0, 1, 0), 0);
    uint32_t masterId = CameraProperty(camera, "MASTERID");
    uint32_t speed = 5000;
    // The type code stands for the number of links: 2 links at 5000.
    EXPECT_EQ(Nox_setBoardPropertyWithType(board, "SET_LINK_CONFIG_FREQ", &speed, 2, &masterId), ERR_LINK_TIMEOUT);
    const std::string text = nox_test::ReadFile(log);
    EXPECT_NE(text.find("Not all links were re-connected: expected 2, connected 1"), std::string::npos) << text;
}

// Master link on board 0, extension link on board 1: one camera of two links,
// connected from both boards at once by two threads. The master's connect
// counts the links over both boards: with one it would find no configuration
// of the camera to match.
TEST(ClhsRoad, CameraAcrossTwoBoards) {
    nox_test::TempDirectory directory;
    const std::string log = (directory / "clhs.log").string();
    ::setenv("VEXO_LOG", "vexo.genicam.ClhsController=4", 1);
    ::setenv("VEXO_LOG_FILE", log.c_str(), 1);
    ClhsRoad road(R"({"boards": [{"model": "clhs2-c"}, {"model": "clhs2-c", "cameras": [{"links": [1]}]}],
        "clhs_cameras": [{"links": [[0, 0], [1, 0]]}]})", 2, 3);
    ASSERT_EQ(Nox_scanPorts(road.Board(0), 3, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_scanPorts(road.Board(1), 3, 0, 0), ERR_NONE);
    NoxCameraHandle *cameras[2] = {road.Camera(0, 0), nullptr};
    const uint32_t masterId = CameraProperty(cameras[0], "MASTERID");
    for (uint32_t slot = 0; slot < 2 && cameras[1] == nullptr; ++slot)
        if (CameraProperty(road.Camera(slot, 1), "MASTERID") == masterId) cameras[1] = road.Camera(slot, 1);
    ASSERT_NE(cameras[1], nullptr) << "board 1 knows the camera by its extension link";

    nox_test::Latch start;
    int32_t statuses[2] = {-1, -1};
    std::thread threads[2];
    for (uint32_t index = 0; index < 2; ++index)
        threads[index] = std::thread([&, index] {
            start.Wait(kHang);
            statuses[index] = Nox_LinkConnect(road.Board(index), cameras[index]);
        });
    start.Open();
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(statuses[0], ERR_NONE);
    EXPECT_EQ(statuses[1], ERR_NONE);
    EXPECT_EQ(CameraProperty(cameras[1], "CONNECTED"), 1u);
    EXPECT_EQ(CameraRegister(cameras[0], camera_register::kDeviceId), masterId);
    ASSERT_EQ(Nox_connectCamera(cameras[0]), ERR_NONE);
    int64_t width = 0;
    EXPECT_EQ(Nox_getIntegerValue(cameras[0], "Width", &width), ERR_NONE);
    const std::string text = nox_test::ReadFile(log);
    EXPECT_EQ(text.find("Failed to find matching camera configuration"), std::string::npos) << text;
}

}  // namespace
