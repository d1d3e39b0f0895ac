// Link configuration files, connection profiles and low-level link profiles,
// through the exported functions against the virtual frame grabber.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakeController.h"
#include "TempDirectory.h"
#include "board/BoardLibraries.h"
#include "model/NOXBoardInterface.h"
#include "nox_genicam.h"
#include "plex/LowLevelLinkProfile.h"
#include "vexosim.h"

using namespace vexo::genicam;

namespace {

// A 2-link camera whose master link arrives on port 3 and its extension on
// port 1, and a 1-link camera on port 0: discovery routes the ports crosswise.
constexpr const char *kCrossedTopology = R"({"boards": [{"model": "cxp4-c",
  "applet": {"operators": [[0, 1], [2], [3]]},
  "cameras": [{"links": [3, 1], "serial": "SN0031"},
              {"links": [0], "speeds": [1250, 2500, 3125, 5000, 6250], "serial": "SN0000"}]}]})";

constexpr const char *kSinglePortOperators = R"({"boards": [{"model": "cxp4-c",
  "applet": {"operators": [[0], [1], [2], [3]]},
  "cameras": [{"links": [0, 1]}, {"links": [2], "speeds": [1250, 2500, 3125, 5000, 6250]}]}]})";

// The link file the crossed topology's board saves after a scan.
constexpr const char *kCrossedLayout =
    "<cxpconfiguration links=\"4\" linkgroups=\"2\">\n"
    "\t<linkgroup masterId=\"4\" speed=\"12500\" streampacketsize=\"8192\">\n"
    "\t\t<link phyIndex=\"3\" apIndex=\"0\" linkIndex=\"0\" isMaster=\"true\"/>\n"
    "\t\t<link phyIndex=\"1\" apIndex=\"1\" linkIndex=\"1\"/>\n"
    "\t</linkgroup>\n"
    "\t<linkgroup masterId=\"1\" speed=\"6250\" streampacketsize=\"8192\">\n"
    "\t\t<link phyIndex=\"0\" apIndex=\"2\" linkIndex=\"0\" isMaster=\"true\"/>\n"
    "\t</linkgroup>\n"
    "</cxpconfiguration>\n";

// The default topology's layout, written by hand.
constexpr const char *kDefaultLayout =
    "<?xml version=\"1.0\"?>\r\n<!-- saved by hand -->\r\n"
    "<cxpconfiguration links=\"4\" linkgroups=\"2\">\r\n"
    "  <linkgroup masterId=\"1\" speed=\"12500\" streampacketsize=\"8192\">\r\n"
    "    <link phyIndex=\"0\" apIndex=\"0\" isMaster=\"true\"/>\r\n"
    "    <link phyIndex=\"1\" apIndex=\"1\"/>\r\n"
    "  </linkgroup>\r\n"
    "  <linkgroup masterId=\"3\" speed=\"6250\">\r\n"
    "    <link phyIndex=\"2\" apIndex=\"2\" isMaster=\"true\"/>\r\n"
    "  </linkgroup>\r\n"
    "</cxpconfiguration>\r\n";

class LinkFileRoad : public testing::Test {
protected:
    void TearDown() override {
        Close();
        GenICamDeinit();
    }

    void Open(const char *topology) {
        ASSERT_EQ(vexosim_load_topology(topology), 0);
        session_ = OpenGrabber(0);
        ASSERT_NE(session_, nullptr);
        ASSERT_EQ(Nox_initBoardEx(session_, 0, &board_, 0xF), ERR_NONE);
    }
    void Close() {
        if (board_ != nullptr) Nox_freeBoard(board_);
        board_ = nullptr;
        if (session_ != nullptr) CloseGrabber(session_);
        session_ = nullptr;
    }
    NoxCameraHandle *Camera(uint32_t slot) {
        NoxCameraHandle *camera = nullptr;
        EXPECT_EQ(Nox_getCameraByIndex(board_, slot, &camera), ERR_NONE);
        return camera;
    }
    uint32_t Property(NoxCameraHandle *camera, const char *name) {
        uint32_t value = 0, type = 1;
        EXPECT_EQ(Nox_getCameraPropertyWithType(camera, name, &value, &type, nullptr), ERR_NONE) << name;
        return value;
    }
    int32_t SetProperty(NoxCameraHandle *camera, const char *name, uint32_t value, uint32_t link = 0) {
        return Nox_setCameraPropertyWithType(camera, name, &value, 1, &link);
    }
    // What a connected camera tells about itself: serial number and width.
    std::string Identity(NoxCameraHandle *camera) {
        const char *serial = nullptr;
        int64_t width = 0;
        EXPECT_EQ(Nox_getStringValue(camera, "DeviceSerialNumber", &serial), ERR_NONE);
        EXPECT_EQ(Nox_getIntegerValue(camera, "Width", &width), ERR_NONE);
        return std::string(serial != nullptr ? serial : "") + "/" + std::to_string(width);
    }
    uint64_t Register(const std::string &name) {
        const uint64_t applet = SessionAppletHandle(session_);
        const int64_t address = FindAppletRegister(applet, name.c_str());
        EXPECT_GT(address, 0) << name;
        uint64_t value = 0;
        EXPECT_EQ(ReadBoardRegister(SessionDeviceHandle(session_), static_cast<uint32_t>(address), &value), 0) << name;
        return value;
    }
    // The routing and the uplink settings; with the resets, every register a restore may write.
    std::map<std::string, uint64_t> RoutingRegisters(bool withResets = false) {
        std::map<std::string, uint64_t> values{{"rDiscoverySelect", Register("rDiscoverySelect")}};
        for (int port = 0; port < 4; ++port) {
            const std::string uplink = "CxpTransceiverUpLinkBitRate_" + std::to_string(port);
            values[uplink] = Register(uplink);
            const std::string reset = "CxpControlCoreReset_" + std::to_string(port);
            if (withResets) values[reset] = Register(reset);
        }
        return values;
    }
    std::string PathOf(const char *name) const { return (directory_.Path() / name).string(); }

    nox_test::TempDirectory directory_;
    GrabberSession *session_ = nullptr;
    NoxBoardHandle *board_ = nullptr;
};

// A board whose technology is given, for the refusals of non-CoaXPress boards.
class BoardOfKind : public NOXBoardInterface {
public:
    explicit BoardOfKind(ControllerKind kind, bool withController = true) {
        kind_ = kind;
        if (withController) controller_ = std::make_unique<nox_test::FakeController>(0, 0, this);
    }
};

}  // namespace

TEST_F(LinkFileRoad, ABoardSetUpFromItsOwnFileConnectsEveryCameraWithoutAScan) {
    GenICamInit();
    Open(kCrossedTopology);
    ASSERT_EQ(Nox_scanPorts(board_, 0xF, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_getCameraCount(board_), 3) << "two cameras and the free operator's placeholder";
    std::vector<std::string> identities;
    for (uint32_t slot = 0; slot < 2; ++slot) {
        ASSERT_EQ(Nox_LinkConnect(board_, Camera(slot)), ERR_NONE);
        ASSERT_EQ(Nox_connectCamera(Camera(slot)), ERR_NONE);
        identities.push_back(Identity(Camera(slot)));
    }
    const uint64_t scannedRouting = Register("rDiscoverySelect");
    const std::string file = PathOf("layout.xml");
    ASSERT_EQ(Nox_SaveBoardConfiguration(board_, file.c_str()), ERR_NONE);
    EXPECT_EQ(nox_test::ReadFile(file), kCrossedLayout);

    // A board in its power-on state: straight routing, nothing known.
    Close();
    Open(kCrossedTopology);
    ASSERT_EQ(Register("rDiscoverySelect"), 0x7654321076543210u);
    ASSERT_EQ(Nox_LoadBoardConfiguration(board_, file.c_str()), ERR_NONE);
    ASSERT_EQ(Nox_getCameraCount(board_), 2);
    for (uint32_t slot = 0; slot < 2; ++slot) {
        NoxCameraHandle *camera = Camera(slot);
        EXPECT_EQ(Property(camera, "CONNECTED"), 0u) << "not marked discovered";
        EXPECT_EQ(Nox_LinkConnect(board_, camera), ERR_NONE);
        EXPECT_EQ(Nox_connectCamera(camera), ERR_NONE);
        EXPECT_EQ(Identity(camera), identities[slot]);
    }
    EXPECT_EQ(Register("rDiscoverySelect"), scannedRouting);
}

TEST_F(LinkFileRoad, HandWrittenFilesKeepTheirMeaningThroughLoadAndSave) {
    // The default topology's cameras, each in a file of its own as a user might write it.
    const struct {
        const char *file;
        uint32_t masterId;
        const char *saved;
    } cases[] = {
        {"master-on-link-1.xml", 1,
         "<cxpconfiguration links=\"4\" linkgroups=\"1\">\n"
         "\t<linkgroup masterId=\"1\" speed=\"12500\" streampacketsize=\"8192\">\n"
         "\t\t<link phyIndex=\"0\" apIndex=\"0\" linkIndex=\"0\" isMaster=\"true\"/>\n"
         "\t\t<link phyIndex=\"1\" apIndex=\"1\" linkIndex=\"1\"/>\n"
         "\t</linkgroup>\n"
         "</cxpconfiguration>\n"},
        {"no-master-id.xml", 3,
         "<cxpconfiguration links=\"4\" linkgroups=\"1\">\n"
         "\t<linkgroup masterId=\"3\" speed=\"6250\" streampacketsize=\"4096\">\n"
         "\t\t<link phyIndex=\"2\" apIndex=\"2\" linkIndex=\"0\" isMaster=\"true\"/>\n"
         "\t</linkgroup>\n"
         "</cxpconfiguration>\n"},
    };
    for (const auto &given : cases) {
        Close();
        Open(nullptr);
        const std::string saved = PathOf("saved.xml");
        for (const std::string &file : {std::string(LINK_FILE_DATA) + "/" + given.file, saved}) {
            ASSERT_EQ(Nox_LoadBoardConfiguration(board_, file.c_str()), ERR_NONE) << file;
            ASSERT_EQ(Nox_getCameraCount(board_), 1) << file;
            EXPECT_EQ(Property(Camera(0), "MASTERID"), given.masterId) << file;
            EXPECT_EQ(Nox_LinkConnect(board_, Camera(0)), ERR_NONE) << file;
            ASSERT_EQ(Nox_SaveBoardConfiguration(board_, saved.c_str()), ERR_NONE) << file;
            EXPECT_EQ(nox_test::ReadFile(saved), given.saved) << file;
        }
    }
}

TEST_F(LinkFileRoad, PhysicalPortsMakeLinkZeroTheMasterAndTheOthersItsExtensions) {
    Open(nullptr);
    NoxCameraHandle *camera = nullptr;
    ASSERT_EQ(Nox_getCamera(board_, 0, &camera), ERR_NONE);
    EXPECT_EQ(SetProperty(camera, "FGPORT", 1, 1), ERR_NO_MASTER) << "an extension link before any master";
    EXPECT_EQ(SetProperty(camera, "FGPORT", 0, 0), ERR_NONE);
    EXPECT_EQ(Property(camera, "MASTERID"), 1u) << "named after the master link's port";
    EXPECT_EQ(SetProperty(camera, "FGPORT", 1, 1), ERR_NONE);
    for (uint32_t link = 0; link < 2; ++link) EXPECT_EQ(SetProperty(camera, "APPLETPORT", link, link), ERR_NONE);
    EXPECT_EQ(SetProperty(camera, "NROFLINKS", 2), ERR_NONE);
    EXPECT_EQ(SetProperty(camera, "LINKSPEED", 12500), ERR_NONE);
    EXPECT_EQ(SetProperty(camera, "STREAMPACKETSIZE", 8192), ERR_NONE);
    EXPECT_EQ(Nox_LinkConnect(board_, camera), ERR_NONE);
    EXPECT_EQ(Property(camera, "MASTERPORT"), 0u);
}

TEST_F(LinkFileRoad, SavingStopsAtTheFirstCameraThatIsNotConnected) {
    // A free operator between cameras: slot 1 is its placeholder, so only slot 0 is saved.
    Open(R"({"boards": [{"model": "cxp4-c", "applet": {"operators": [[0], [1], [2], [3]]},
             "cameras": [{"links": [0]}, {"links": [2], "serial": "SN0002"}, {"links": [3], "serial": "SN0003"}]}]})");
    ASSERT_EQ(Nox_scanPorts(board_, 0xF, 0, 0), ERR_NONE);
    ASSERT_EQ(Nox_getCameraCount(board_), 4);
    EXPECT_EQ(Property(Camera(1), "CONNECTED"), 0u);
    EXPECT_EQ(Property(Camera(2), "CONNECTED"), 1u);
    const std::string file = PathOf("first.xml");
    ASSERT_EQ(Nox_SaveBoardConfiguration(board_, file.c_str()), ERR_NONE);
    const std::string text = nox_test::ReadFile(file);
    EXPECT_EQ(text,
              "<cxpconfiguration links=\"4\" linkgroups=\"1\">\n"
              "\t<linkgroup masterId=\"1\" speed=\"12500\" streampacketsize=\"8192\">\n"
              "\t\t<link phyIndex=\"0\" apIndex=\"0\" linkIndex=\"0\" isMaster=\"true\"/>\n"
              "\t</linkgroup>\n"
              "</cxpconfiguration>\n");

    // Argument checks, in order, and a file that cannot be written.
    EXPECT_EQ(Nox_SaveBoardConfiguration(nullptr, nullptr), ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(Nox_SaveBoardConfiguration(board_, ""), ERR_INVALID_FILENAME);
    EXPECT_EQ(Nox_SaveBoardConfiguration(board_, "/dev/full"), ERR_FILE_ACCESS);
    EXPECT_EQ(nox_test::ReadFile(file), text);

    EXPECT_EQ(Nox_LoadBoardConfiguration(board_, nullptr), ERR_INVALID_FILENAME);
    EXPECT_EQ(Nox_getCameraCount(board_), 0) << "the slots are emptied before the name is checked";
    EXPECT_EQ(Nox_LoadBoardConfiguration(board_, PathOf("none.xml").c_str()), ERR_INVALID_FILENAME);
    // A damaged file gives the cameras read before the damage.
    std::string damaged = kDefaultLayout;
    damaged.replace(damaged.rfind("apIndex=\"2\""), 12, "apIndex=\"-\"");
    nox_test::WriteFile(PathOf("damaged.xml"), damaged);
    EXPECT_EQ(Nox_LoadBoardConfiguration(board_, PathOf("damaged.xml").c_str()), ERR_NONE);
    EXPECT_EQ(Nox_getCameraCount(board_), 1);
}

TEST_F(LinkFileRoad, ConnectionProfileConnectsEveryCameraAndReleasesEverything) {
    Open(nullptr);
    Close();
    const std::string file = PathOf("default.xml");
    nox_test::WriteFile(file, kDefaultLayout);
    GrabberSession *session = OpenGrabber(0);
    ASSERT_NE(session, nullptr);

    NoxConnectionProfile *profile = nullptr;
    ASSERT_EQ(Nox_LoadConnectionProfile(session, file.c_str(), &profile), ERR_NONE);
    ASSERT_NE(profile, nullptr);
    ASSERT_EQ(profile->cameraCount, 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(profile->states[i], 3u) << i;
        ASSERT_NE(profile->cameraInfos[i], nullptr);
        ASSERT_NE(profile->cameraInfos[i]->serialNumber, nullptr);
    }
    EXPECT_STREQ(profile->cameraInfos[1]->serialNumber, "SN0002");
    EXPECT_STREQ(profile->cameraInfos[1]->modelName, "VX-4M");
    int64_t width = 0;
    EXPECT_EQ(Nox_getIntegerValue(profile->cameras[1], "Width", &width), ERR_NONE);
    EXPECT_GT(width, 0);
    EXPECT_EQ(Nox_UnloadConnectionProfile(profile), ERR_NONE);

    // The 1-link camera unplugged: its links do not come up.
    ASSERT_EQ(vexosim_plug(0, 2, 0), 0);
    ASSERT_EQ(Nox_LoadConnectionProfile(session, file.c_str(), &profile), ERR_NONE);
    ASSERT_EQ(profile->cameraCount, 2u);
    EXPECT_EQ(profile->states[0], 3u);
    EXPECT_EQ(profile->states[1], 1u);
    EXPECT_EQ(profile->cameraInfos[1], nullptr);
    EXPECT_EQ(Nox_UnloadConnectionProfile(profile), ERR_NONE);

    // Refusals leave no profile behind.
    profile = reinterpret_cast<NoxConnectionProfile *>(this);
    EXPECT_EQ(Nox_LoadConnectionProfile(session, PathOf("none.xml").c_str(), &profile), ERR_INVALID_FILENAME);
    EXPECT_EQ(profile, nullptr);
    EXPECT_EQ(Nox_LoadConnectionProfile(nullptr, file.c_str(), &profile), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_LoadConnectionProfile(session, file.c_str(), nullptr), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_UnloadConnectionProfile(nullptr), ERR_INVALID_ARGUMENT);
    CloseGrabber(session);
}

TEST_F(LinkFileRoad, LowLevelProfileRestoresRoutingAndUplinksOnTheSameApplet) {
    Open(kCrossedTopology);
    ASSERT_EQ(Nox_scanPorts(board_, 0xF, 0, 0), ERR_NONE);
    const std::map<std::string, uint64_t> scanned = RoutingRegisters();
    const std::string file = PathOf("links.profile");
    ASSERT_EQ(Nox_StoreLowLevelLinkProfile(board_, file.c_str()), ERR_NONE);
    char select[32];
    std::snprintf(select, sizeof select, "%llx", static_cast<unsigned long long>(scanned.at("rDiscoverySelect")));
    EXPECT_EQ(nox_test::ReadFile(file), std::string("# low level link profile v1.0\n") + "mux=0x" + select +
                                            "\nap_0=1,0\nap_1=1,1\nap_2=2,0\nap_3=3,0\n"
                                            "speed_0=0\nspeed_1=1\nspeed_2=0\nspeed_3=1\n");

    // On a board in its power-on state, the profile alone brings the routing back.
    Close();
    Open(kCrossedTopology);
    ASSERT_NE(Register("rDiscoverySelect"), scanned.at("rDiscoverySelect"));
    ASSERT_EQ(Nox_RestoreLowLevelLinkProfile(board_, file.c_str()), ERR_NONE);
    EXPECT_EQ(RoutingRegisters(), scanned);

    // Stored before any discovery, no uplink had been set: a restore leaves them as they are.
    Close();
    Open(kCrossedTopology);
    const std::string unscanned = PathOf("unscanned.profile");
    ASSERT_EQ(Nox_StoreLowLevelLinkProfile(board_, unscanned.c_str()), ERR_NONE);
    EXPECT_NE(nox_test::ReadFile(unscanned).find("speed_3=4294967295\n"), std::string::npos);
    ASSERT_EQ(Nox_RestoreLowLevelLinkProfile(board_, file.c_str()), ERR_NONE);
    const std::map<std::string, uint64_t> restored = RoutingRegisters();
    EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(board_, unscanned.c_str()), ERR_NONE);
    std::map<std::string, uint64_t> straight = restored;
    straight["rDiscoverySelect"] = 0xFFFF3210FFFF3210u;  // each operator fed as when stored
    EXPECT_EQ(RoutingRegisters(), straight);
}

TEST_F(LinkFileRoad, LowLevelProfileRefusalsAndOtherAppletsWriteNothingToTheBoard) {
    Open(nullptr);
    ASSERT_EQ(Nox_scanPorts(board_, 0xF, 0, 0), ERR_NONE);
    const std::string file = PathOf("links.profile");
    ASSERT_EQ(Nox_StoreLowLevelLinkProfile(board_, file.c_str()), ERR_NONE);
    const std::string stored = nox_test::ReadFile(file);
    const std::map<std::string, uint64_t> before = RoutingRegisters(true);

    const auto restoreText = [&](const std::string &text) {
        nox_test::WriteFile(PathOf("edited.profile"), text);
        return Nox_RestoreLowLevelLinkProfile(board_, PathOf("edited.profile").c_str());
    };
    std::string unknownOperator = stored;
    unknownOperator.replace(unknownOperator.find("ap_2=2,0"), 8, "ap_2=9,0");
    EXPECT_EQ(restoreText(unknownOperator), ERR_LINK_LAYOUT_MISMATCH);
    // One malformed profile stands for all (the parser's refusals are LowLevelLinkProfile's tests).
    EXPECT_EQ(restoreText(stored.substr(0, stored.rfind("speed_3"))), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(restoreText(stored + std::string(vexo::core::plex::LowLevelLinkProfile::kMaxFileBytes, '#')), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(board_, PathOf("none.profile").c_str()), ERR_FILE_ACCESS);
    EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(board_, ""), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(Nox_StoreLowLevelLinkProfile(board_, "/dev/full"), ERR_FILE_ACCESS);
    EXPECT_EQ(RoutingRegisters(true), before);

    // The board's own profile keeps routing and uplinks; the resets end released.
    EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(board_, file.c_str()), ERR_NONE);
    std::map<std::string, uint64_t> released = before;
    for (int port = 0; port < 4; ++port) released["CxpControlCoreReset_" + std::to_string(port)] = 0;
    EXPECT_EQ(RoutingRegisters(true), released);

    // Another applet, of four single-port operators: operator 4 is not in the profile.
    Close();
    Open(kSinglePortOperators);
    const std::map<std::string, uint64_t> otherApplet = RoutingRegisters(true);
    EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(board_, file.c_str()), ERR_LINK_LAYOUT_MISMATCH);
    EXPECT_EQ(RoutingRegisters(true), otherApplet);
}

TEST(LinkProfileBoards, OnlyCoaXPressBoardsKeepLowLevelProfiles) {
    nox_test::TempDirectory directory;
    const std::string file = (directory.Path() / "links.profile").string();
    for (ControllerKind kind : {ControllerKind::kCameraLinkHs, ControllerKind::kCameraLink}) {
        BoardOfKind board(kind);
        EXPECT_EQ(Nox_StoreLowLevelLinkProfile(ToHandle(&board), file.c_str()), ERR_NOT_IMPLEMENTED);
        EXPECT_EQ(Nox_RestoreLowLevelLinkProfile(ToHandle(&board), file.c_str()), ERR_NOT_IMPLEMENTED);
    }
    BoardOfKind withoutController(ControllerKind::kCoaXPress, false);
    EXPECT_EQ(withoutController.StoreLinkProfile(file), ERR_INVALID_BOARD_HANDLE);
    EXPECT_EQ(withoutController.RestoreLinkProfile(file), ERR_INVALID_BOARD_HANDLE);
    EXPECT_FALSE(std::filesystem::exists(file));
}
