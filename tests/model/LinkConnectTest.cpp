#include <gtest/gtest.h>

#include "TestBoard.h"
#include "model/NOXCameraInterface.h"
#include "nox_genicam.h"

using namespace vexo::genicam;

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
