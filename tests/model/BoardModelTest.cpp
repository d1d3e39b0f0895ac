#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "TestBoard.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"

using namespace vexo::genicam;

namespace {

class BoardModel : public nox_test::FakeBoardTest {
protected:
    void SetUp() override { Open(); }
};

// A link record as (camera port, applet port, operator id, extension id).
std::array<uint32_t, 4> Record(NOXCameraInterface *camera, uint32_t index) {
    const LinkRecord &link = camera->Link(index);
    return {link.cameraPort, link.apPort, link.apMasterId, link.apExtensionId};
}
using Fields = std::array<uint32_t, 4>;

}  // namespace

// Init resets the routing before anything else uses the board; a scan makes a camera per found master,
// sorted by port, and a placeholder per free operator, whose links start at record 1 unless its operator
// has four ports.
TEST_F(BoardModel, AScanRegistersCamerasSortedByPortAndAPlaceholderPerFreeOperator) {
    ASSERT_GE(Fake().CountCalls("SetDiscoverySelect"), 1);
    EXPECT_EQ(Fake().Calls().front().arguments[0], DiscoverySelect::kIdentity);
    ScanDefaultModel();
    ASSERT_EQ(board_->GetCameraCount(), 3u);
    EXPECT_EQ(Record(board_->GetCamera(0), 1), (Fields{1, 1, 1, 1}));
    NOXCameraInterface *placeholder = board_->GetCamera(2);
    EXPECT_TRUE(placeholder->IsDummy());
    EXPECT_EQ(placeholder->MasterId(), 0x10000u);
    EXPECT_EQ(placeholder->CommandPort(), 3u);
    EXPECT_EQ(placeholder->Link(0).apPort, LinkRecord::kNone);
    EXPECT_EQ(Record(placeholder, 1), (Fields{3, 3, 3, 0}));
    EXPECT_EQ(board_->FindCameraByPort(3), placeholder);
    EXPECT_EQ(board_->FindCameraByPort(4), nullptr);

    // An operator of two ports without a camera gets link records 1 and 2.
    Fake().discover = [](DiscoveryInfo &info) {
        info.Reset();
        info.SetApPort(0, 1, 0);
        info.SetApPort(1, 2, 0);
        info.SetApPort(2, 2, 1);
        info.SetApPort(3, 3, 0);
        info.SetCameraPort(0, 0x201, 0);
        info.SetBitRate(0x201, 3125);
        info.SetStreamPacketSize(0x201, 4096);
        info.ConnectMasters(0x201, 1, false, 1);
        return 0;
    };
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    ASSERT_EQ(board_->GetCameraCount(), 3u);
    NOXCameraInterface *twoPort = board_->GetCamera(1);
    EXPECT_EQ(twoPort->LinkCount(), 2u);
    EXPECT_EQ(Record(twoPort, 1), (Fields{1, 1, 2, 0}));
    EXPECT_EQ(Record(twoPort, 2), (Fields{2, 2, 2, 1}));
    EXPECT_EQ(board_->GetCamera(2)->MasterId(), 0x10001u);

    // Camera 0x5 found first (lower id) on port 3, 0x9 on port 1: sorted by port between placeholders.
    Fake().discover = [](DiscoveryInfo &info) {
        info.Reset();
        for (uint32_t port = 0; port < 4; ++port) info.SetApPort(port, port + 1, 0);
        info.SetCameraPort(3, 0x5, 0);
        info.SetCameraPort(1, 0x9, 0);
        for (uint32_t master : {0x5u, 0x9u}) info.SetStreamPacketSize(master, 1024);
        info.ConnectLink(0x5, 0, 4, 0);
        info.ConnectLink(0x9, 0, 2, 0);
        return 0;
    };
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    ASSERT_EQ(board_->GetCameraCount(), 4u);
    const uint32_t expectedMasters[] = {0x10000, 0x9, 0x10001, 0x5};
    for (uint32_t slot = 0; slot < 4; ++slot) EXPECT_EQ(board_->GetCamera(slot)->MasterId(), expectedMasters[slot]);
}

TEST_F(BoardModel, ScanOutcomes) {
    // A layout mismatch still registers what was found.
    Fake().discover = [](DiscoveryInfo &info) {
        nox_test::FillDefaultModel(info);
        return ERR_LINK_LAYOUT_MISMATCH;
    };
    EXPECT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_LINK_LAYOUT_MISMATCH);
    EXPECT_EQ(board_->GetCameraCount(), 3u);

    // Any other failure registers nothing.
    Fake().discover = [](DiscoveryInfo &) { return ERR_NO_CAMERA_FOUND; };
    EXPECT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NO_CAMERA_FOUND);
    EXPECT_EQ(board_->GetCameraCount(), 0u);

    // An exception inside discovery counts as success with what the model holds.
    Fake().discover = [](DiscoveryInfo &info) -> int32_t {
        nox_test::FillDefaultModel(info);
        throw std::invalid_argument("model refused a port");
    };
    EXPECT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    EXPECT_EQ(board_->GetCameraCount(), 3u);
}

TEST_F(BoardModel, CameraListRules) {
    EXPECT_EQ(board_->AddCamera(std::make_unique<NOXCameraInterface>(board_.get(), 0), 4), ERR_INVALID_LINK_INDEX);
    for (uint32_t port = 0; port < 4; ++port)
        EXPECT_EQ(board_->AddCamera(std::make_unique<NOXCameraInterface>(board_.get(), port), -1), ERR_NONE);
    EXPECT_EQ(board_->AddCamera(std::make_unique<NOXCameraInterface>(board_.get(), 0), -1), ERR_CAMERA_LIST_FULL);
    EXPECT_EQ(board_->RemoveCamera(1), ERR_NONE);
    EXPECT_EQ(board_->GetCamera(1), nullptr) << "slots are not compacted";
    EXPECT_EQ(board_->GetCameraCount(), 3u);
    EXPECT_EQ(board_->AddCamera(std::make_unique<NOXCameraInterface>(board_.get(), 1), 1), ERR_NONE);
    EXPECT_EQ(board_->RemoveCamera(4), ERR_INVALID_LINK_INDEX);
}

// ---- Link connect of cameras the model or a configuration file describes ----

namespace {

class LinkConnect : public nox_test::FakeBoardTest {
protected:
    DiscoveryInfo &Model() { return Fake().Info(); }

    // A camera as a configuration file describes it: master id, links and their applet ports.
    NOXCameraInterface *AddConfiguredCamera(uint32_t masterId, uint32_t links) {
        auto camera = std::make_unique<NOXCameraInterface>(board_.get(), 0);
        camera->SetMasterId(masterId);
        EXPECT_EQ(camera->SetLinkCount(links), ERR_NONE);
        EXPECT_EQ(camera->SetBitRate(6250), ERR_NONE);
        camera->SetStreamPacketSize(4096);
        NOXCameraInterface *raw = camera.get();
        EXPECT_EQ(board_->AddCamera(std::move(camera), -1), ERR_NONE);
        return raw;
    }
};

}  // namespace

TEST_F(LinkConnect, AnExtensionRecordConnectedFirstBecomesTheCommandPort) {
    Open();
    DiscoveryInfo &info = Model();
    nox_test::FillDefaultModel(info, false);
    info.SetCameraPort(3, 0x105, 1);  // only an extension link of camera 0x105 arrives here
    // Made for no port of the board: its only link record is the one configured.
    auto camera = std::make_unique<NOXCameraInterface>(board_.get(), 7);
    camera->SetMasterId(0x105);
    camera->SetLinkCount(1);
    camera->SetBitRate(3125);
    camera->SetStreamPacketSize(1024);
    camera->SetLinkCameraPort(1, 3);
    camera->SetLinkApPort(1, 3);
    camera->SetLinkApMasterId(1, 3);
    camera->SetLinkApExtensionId(1, 0);
    NOXCameraInterface *raw = camera.get();
    ASSERT_EQ(board_->AddCamera(std::move(camera), -1), ERR_NONE);
    raw->LinkConnect();
    EXPECT_EQ(info.GetCommandPort(0x105), 3u) << "the first connected record's applet port";
    EXPECT_EQ(info.GetCameraPeerIndex(3), 3u);
    EXPECT_EQ(raw->CommandPort(), 3u);
}

// A configured record whose link has no applet port, and cameras without speed, packet size or master.
TEST_F(LinkConnect, IncompleteRecordsAreRefused) {
    Open();
    nox_test::FillDefaultModel(Model(), false);
    NOXCameraInterface *camera = AddConfiguredCamera(0x101, 2);
    camera->SetLinkApPort(0, 0);
    camera->SetLinkCameraPort(1, 1);  // no applet port
    EXPECT_EQ(camera->LinkConnect(), ERR_DISCOVERY_INCOMPLETE);
    EXPECT_FALSE(camera->IsLinkUpFlag());

    auto bare = std::make_unique<NOXCameraInterface>(board_.get(), 0);
    bare->SetStreamPacketSize(0);
    EXPECT_EQ(bare->LinkConnect(), ERR_DISCOVERY_INCOMPLETE);
    // A discovered camera without a master id.
    bare->SetStreamPacketSize(1024);
    bare->SetDiscovered(true);
    EXPECT_EQ(bare->LinkConnect(), ERR_NO_MASTER);
}

namespace {
// A 2-link camera on a 4-port operator, its ConnectionConfig saying 2 links.
void ConnectTwoLinksToFourPortOperator(DiscoveryInfo &info) {
    info.Reset();
    for (uint32_t port = 0; port < 4; ++port) info.SetApPort(port, 1, port);
    info.SetApTopologyKnown();
    info.SetCameraPort(0, 0x101, 0);
    info.SetCameraPort(1, 0x101, 1);
    info.SetBitRate(0x101, 6250);
    info.SetStreamPacketSize(0x101, 8192);
    info.ConnectMasters(0x101, 1, true, 1);
}
}  // namespace

TEST_F(LinkConnect, PartlyUsedOperatorsPassOnlyOnFirmwareThatAcceptsThem) {
    // cxp4-c accepts partly used operators from firmware 771 (3.3) on.
    for (const auto &[firmware, expected] : {std::pair{"[3, 4]", ERR_NONE}, std::pair{"[3, 2]", ERR_LINK_LAYOUT_MISMATCH}}) {
        SCOPED_TRACE(firmware);
        const std::string topology =
            std::string(R"({"boards": [{"model": "cxp4-c", "firmware": )") + firmware + "}]}";
        Open(topology.c_str());
        Fake().discover = [](DiscoveryInfo &info) {
            ConnectTwoLinksToFourPortOperator(info);
            return 0;
        };
        ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
        NOXCameraInterface *camera = board_->GetCamera(0);
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(camera->LinkConnect(), expected);
        EXPECT_EQ(camera->IsTopologyOk(), expected == ERR_NONE);
        EXPECT_TRUE(camera->IsLinkUpFlag()) << "the links are up either way";
        Close();
    }
}
