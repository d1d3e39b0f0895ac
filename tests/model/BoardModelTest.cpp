#include <gtest/gtest.h>
#include <stdlib.h>

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

TEST_F(BoardModel, InitNeedsASessionAndAKnownTechnology) {
    NOXBoardInterface board;
    EXPECT_EQ(board.Init(nullptr, false, 0), ERR_INVALID_ARGUMENT);
    EXPECT_EQ(board_->Kind(), ControllerKind::kCoaXPress);
    EXPECT_EQ(board_->PortCount(), 4u);
    // Init resets the routing before anything else uses the board.
    ASSERT_GE(Fake().CountCalls("SetDiscoverySelect"), 1);
    EXPECT_EQ(Fake().Calls().front().arguments[0], DiscoverySelect::kIdentity);
}

TEST_F(BoardModel, AScanRegistersCamerasSortedByPortAndAPlaceholderPerFreeOperator) {
    ScanDefaultModel();
    ASSERT_EQ(board_->GetCameraCount(), 3u);
    EXPECT_EQ(board_->CountDiscoveredCameras(), 3u);

    NOXCameraInterface *twoLink = board_->GetCamera(0);
    ASSERT_NE(twoLink, nullptr);
    EXPECT_EQ(twoLink->MasterId(), 0x101u);
    EXPECT_EQ(twoLink->LinkCount(), 2u);
    EXPECT_EQ(twoLink->CommandPort(), 0u);
    EXPECT_EQ(twoLink->BitRate(), 12500u);
    EXPECT_FALSE(twoLink->IsDummy());
    EXPECT_FALSE(twoLink->IsLinkUpFlag());
    EXPECT_EQ(Record(twoLink, 1), (Fields{1, 1, 1, 1}));

    NOXCameraInterface *oneLink = board_->GetCamera(1);
    ASSERT_NE(oneLink, nullptr);
    EXPECT_EQ(oneLink->MasterId(), 0x103u);
    EXPECT_EQ(oneLink->Link(0).apPort, 2u);

    NOXCameraInterface *placeholder = board_->GetCamera(2);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_TRUE(placeholder->IsDummy());
    EXPECT_TRUE(placeholder->IsDiscovered());
    EXPECT_EQ(placeholder->MasterId(), 0x10000u);
    EXPECT_EQ(placeholder->CommandPort(), 3u);
    EXPECT_EQ(placeholder->LinkCount(), 1u);
    // A placeholder's links start at record 1 unless its operator has four ports.
    EXPECT_EQ(placeholder->Link(0).apPort, LinkRecord::kNone);
    EXPECT_EQ(Record(placeholder, 1), (Fields{3, 3, 3, 0}));
    EXPECT_EQ(board_->FindCameraByPort(3), placeholder);
    EXPECT_EQ(board_->FindCameraByPort(1), twoLink);
    EXPECT_EQ(board_->FindCameraByPort(4), nullptr);
}

TEST_F(BoardModel, AnOperatorOfTwoPortsWithoutACameraGetsLinkRecordsOneAndTwo) {
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
    ASSERT_NE(twoPort, nullptr);
    EXPECT_EQ(twoPort->MasterId(), 0x10000u);
    EXPECT_EQ(twoPort->LinkCount(), 2u);
    EXPECT_EQ(Record(twoPort, 1), (Fields{1, 1, 2, 0}));
    EXPECT_EQ(Record(twoPort, 2), (Fields{2, 2, 2, 1}));
    EXPECT_EQ(board_->GetCamera(2)->MasterId(), 0x10001u);
}

TEST_F(BoardModel, CamerasFoundOnHigherPortsFirstAreSortedAndRescansReplaceThem) {
    Fake().discover = [](DiscoveryInfo &info) {
        info.Reset();
        for (uint32_t port = 0; port < 4; ++port) info.SetApPort(port, port + 1, 0);
        // Camera 0x5 found first (lower id), on port 3; 0x9 on port 1.
        info.SetCameraPort(3, 0x5, 0);
        info.SetCameraPort(1, 0x9, 0);
        for (uint32_t master : {0x5u, 0x9u}) info.SetStreamPacketSize(master, 1024);
        info.ConnectLink(0x5, 0, 4, 0);
        info.ConnectLink(0x9, 0, 2, 0);
        return 0;
    };
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    // Cameras at ports 1 and 3, placeholders for the free operators at 0 and 2.
    ASSERT_EQ(board_->GetCameraCount(), 4u);
    const uint32_t expectedMasters[] = {0x10000, 0x9, 0x10001, 0x5};
    for (uint32_t slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(board_->GetCamera(slot)->GetPortIndex(), slot);
        EXPECT_EQ(board_->GetCamera(slot)->MasterId(), expectedMasters[slot]);
    }

    board_->GetCamera(1)->SetLinkUp(true);
    ASSERT_EQ(board_->DiscoverCameras(0xF, 0, 0, 0), ERR_NONE);
    EXPECT_EQ(board_->GetCameraCount(), 4u) << "the first scan's cameras are gone, not kept beside the new ones";
    EXPECT_FALSE(board_->GetCamera(1)->IsLinkUpFlag());
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
    EXPECT_EQ(board_->GetCameraCount(), 4u);
    EXPECT_EQ(board_->RemoveCamera(1), ERR_NONE);
    EXPECT_EQ(board_->GetCamera(1), nullptr) << "slots are not compacted";
    EXPECT_EQ(board_->GetCameraCount(), 3u);
    EXPECT_EQ(board_->AddCamera(std::make_unique<NOXCameraInterface>(board_.get(), 1), 1), ERR_NONE);
    EXPECT_EQ(board_->RemoveCamera(4), ERR_INVALID_LINK_INDEX);
    EXPECT_EQ(board_->GetCamera(7), nullptr);
    // A camera made for a port is found by that port.
    EXPECT_EQ(board_->FindCameraByPort(2), board_->GetCamera(2));
}

TEST_F(BoardModel, CountLinksOfMasterUsesThisBoardsModel) {
    ScanDefaultModel();
    EXPECT_EQ(board_->CountLinksOfMaster(0x101), 2);
    EXPECT_EQ(board_->CountLinksOfMaster(0x103), 1);
    EXPECT_EQ(board_->CountLinksOfMaster(0x999), -1);
    std::vector<FirmwareControllerBase *> controllers;
    EXPECT_EQ(board_->ListControllersOfMaster(0x101, controllers), ERR_INTERNAL) << "CoaXPress boards only";
}
