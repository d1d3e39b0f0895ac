// The board's port model. The routing it computes for ordinary layouts is read
// back from the simulated board by CxpDiscoveryTest; here the corners.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "discovery/DiscoveryInfo.h"
#include "nox_genicam.h"

using vexo::genicam::CameraInfoTexts;
using vexo::genicam::DiscoveryException;
using vexo::genicam::DiscoveryInfo;
using vexo::genicam::PortRecord;

namespace {

constexpr uint32_t kNone = DiscoveryInfo::kNone;

// Applet with AP master 1 on applet ports 0 and 1 and AP master 2 on ports 2 and 3.
void SetTwoTwoPortOperators(DiscoveryInfo &info) {
    info.SetApPort(0, 1, 0);
    info.SetApPort(1, 1, 1);
    info.SetApPort(2, 2, 0);
    info.SetApPort(3, 2, 1);
}

void SetOnePortOperators(DiscoveryInfo &info) {
    for (uint32_t port = 0; port < info.GetPortCount(); ++port) info.SetApPort(port, port + 1, 0);
}

// The peer fields of a port record.
std::tuple<uint32_t, uint32_t, uint32_t, int, int> Peer(const PortRecord &record) {
    return {record.peerIndex, record.peerMasterId, record.peerExtensionId, record.connected, record.masterConnectMark};
}

}  // namespace

TEST(DiscoveryInfo, PortsBeyondTheLastReadAsNoneAndBadPortsAreRefusedWithoutAChange) {
    DiscoveryInfo info(2);
    for (uint32_t port : {2u, kNone}) {
        EXPECT_EQ(info.GetCameraMasterId(port), kNone);
        EXPECT_EQ(info.GetApPeerIndex(port), kNone);
        EXPECT_EQ(info.GetCameraPortRecord(port), std::nullopt);
    }
    EXPECT_EQ(info.FindCameraMasterPort(kNone), kNone);
    EXPECT_EQ(info.CountCameraLinks(kNone), -1);
    uint32_t mask = 0x10;
    EXPECT_EQ(info.CountUnassignedPorts(&mask), 2);
    EXPECT_EQ(mask, 0x13u);

    EXPECT_THROW(info.SetCameraPort(2, 5, 0), std::invalid_argument);
    EXPECT_THROW(info.SetApPort(kNone, 1, 0), std::invalid_argument);
    EXPECT_EQ(info.GetCommandPort(5), kNone);
    EXPECT_EQ(info.CountUnassignedPorts(), 2);
    EXPECT_EQ(info.FindApPort(1, 0), kNone);
    DiscoveryInfo empty(0);
    EXPECT_THROW(empty.SetCameraPort(0, 5, 0), std::invalid_argument);
}

TEST(DiscoveryInfo, AMasterLinkStartsAFreshMasterRecord) {
    DiscoveryInfo info;
    info.SetCameraPort(2, 5, 0);
    info.SetBitRate(5, 6250);
    info.SetStreamPacketSize(5, 4096);
    info.SetCameraInfo(5, "DeviceModelName", "M1");
    info.SetCameraPort(2, 5, 0);
    EXPECT_EQ(info.GetCommandPort(5), 2u);
    EXPECT_EQ(info.GetBitRate(5), 0u);
    EXPECT_EQ(info.GetStreamPacketSize(5), 0u);
    EXPECT_EQ(info.GetCameraInfo(5), CameraInfoTexts{});
    EXPECT_EQ(info.CountCameraLinks(5), 1);

    // An extension link leaves the record alone, and makes none on its own.
    info.SetBitRate(5, 3125);
    info.SetCameraPort(3, 5, 1);
    EXPECT_EQ(info.GetBitRate(5), 3125u);
    info.SetCameraPort(0, 8, 1);
    EXPECT_EQ(info.CountCameraLinks(8), -1);
    EXPECT_EQ(info.FindCameraPort(8, 1), kNone);  // no record, no port
    EXPECT_EQ(info.FindCameraPort(5, 1), 3u);
}

TEST(DiscoveryInfo, MasterRecordSettersCheckTheMasterAndTheBitRate) {
    DiscoveryInfo info;
    EXPECT_THROW(info.SetBitRate(9, 3125), std::invalid_argument);
    EXPECT_THROW(info.SetStreamPacketSize(9, 1), std::invalid_argument);
    info.SetCameraInfo(9, "DeviceModelName", "ignored");
    EXPECT_EQ(info.GetCameraInfo(9), std::nullopt);

    info.SetCameraPort(0, 9, 0);
    for (uint32_t rate : {1250u, 3125u, 12500u}) {
        info.SetBitRate(9, rate);
        info.SetDiscoveryBitRate(9, rate);
        EXPECT_EQ(info.GetBitRate(9), rate);
    }
    info.SetBitRate(9, 3125);
    for (uint32_t rate : {0u, 3126u, kNone}) {
        EXPECT_THROW(info.SetBitRate(9, rate), std::invalid_argument) << rate;
        EXPECT_THROW(info.SetDiscoveryBitRate(9, rate), std::invalid_argument) << rate;
    }
    EXPECT_EQ(info.GetBitRate(9), 3125u);
    EXPECT_EQ(info.GetDiscoveryBitRate(9), 12500u);
    info.ResetBitRate(9);
    EXPECT_EQ(info.GetBitRate(9), kNone);
}

TEST(DiscoveryInfo, CameraInfoKeepsTheEightKnownNamesInOrder) {
    DiscoveryInfo info;
    info.SetCameraPort(1, 3, 0);
    info.SetCameraInfo(3, "DeviceUserId", "cam-a");
    info.SetCameraInfo(3, "DeviceVendorName", "Vendor");
    info.SetCameraInfo(3, "DeviceSerialNumber", nullptr);
    info.SetCameraInfo(3, "SomethingElse", "kept but not handed out");
    CameraInfoTexts expected;
    expected[0] = "Vendor";
    expected[6] = "";
    expected[7] = "cam-a";
    EXPECT_EQ(info.GetCameraInfo(3), expected);

    // A copy's texts are its own.
    DiscoveryInfo copy = info;
    info.SetCameraInfo(3, "DeviceVendorName", "Changed");
    info.SetCameraPort(1, 3, 0);
    EXPECT_EQ(copy.GetCameraInfo(3), expected);
}

// The walk of a camera whose master link lies on a higher port than its
// extensions: the crossed topologies of CxpDiscoveryTest and the link file road test.
TEST(DiscoveryInfo, CameraLinksAreWalkedInExtensionOrder) {
    // Links 0..2 on ports 3, 1, 0.
    DiscoveryInfo crossed;
    crossed.SetCameraPort(3, 4, 0);
    crossed.SetCameraPort(0, 4, 2);
    crossed.SetCameraPort(1, 4, 1);
    EXPECT_EQ(crossed.GetCameraPortMask(4, 2), 0xA);
    uint32_t extension = 99;
    // The search for the next link never goes back to the master link.
    EXPECT_EQ(crossed.NextCameraLink(4, kNone, extension), 1u);
    EXPECT_EQ(extension, 1u);

    // A camera known only by extension links starts its walk at its lowest one.
    crossed.SetCameraPort(2, 4, 3);
    crossed.SetCameraPort(3, 6, 1);
    crossed.SetCommandPort(6, 3);
    EXPECT_EQ(crossed.FirstCameraLink(6, extension), 3u);
    EXPECT_EQ(extension, 1u);
    EXPECT_EQ(crossed.FirstCameraLink(99, extension), kNone);
    EXPECT_EQ(extension, kNone);
    // A camera whose ports carry no extension ids has links but an empty mask.
    crossed.SetCameraPort(1, 6, kNone);
    EXPECT_EQ(crossed.CountCameraLinks(6), 2);
    crossed.SetCameraPort(3, 4, 0);
    EXPECT_EQ(crossed.GetCameraPortMask(6, -1), 0);
}

TEST(DiscoveryInfo, ConnectLinkCrossReferencesBothSides) {
    DiscoveryInfo info;
    SetTwoTwoPortOperators(info);
    info.SetCameraPort(1, 5, 0);
    info.SetCameraPort(3, 5, 1);
    EXPECT_THROW(info.ConnectLink(5, 2, 2, 0), std::invalid_argument);
    EXPECT_THROW(info.ConnectLink(5, 0, 3, 0), std::invalid_argument);
    EXPECT_EQ(info.CountConnectedCameraLinks(5), 0);
    EXPECT_EQ(info.GetApPeerIndex(2), kNone);

    // The peers of connected links: LinkConnectTest.
    info.ConnectLink(5, 1, 2, 1);
    EXPECT_EQ(info.GetCommandPort(5), 1u);  // an extension link leaves the command port
    info.ConnectLink(5, 0, 2, 0);
    EXPECT_EQ(info.GetCommandPort(5), 2u);
    // Only ConnectMasters marks ports connected.
    EXPECT_EQ(Peer(*info.GetApPortRecord(3)), std::make_tuple(3u, 5u, 1u, 0, 0));
}

// Links paired in extension order, and a camera with more links than its
// operator: CxpDiscoveryTest's crossed cables and its camera that must drop links.
TEST(DiscoveryInfo, ConnectMastersConnectsWhatItCanBeforeItThrows) {
    DiscoveryInfo info;
    SetTwoTwoPortOperators(info);
    info.SetCameraPort(2, 5, 0);
    try {
        info.ConnectMasters(5, 1, false, 3);
        ADD_FAILURE() << "no exception";
    } catch (const DiscoveryException &error) {
        EXPECT_EQ(error.Status(), ERR_LINK_LAYOUT_MISMATCH);
        EXPECT_NE(std::string(error.what()).find("Camera port count(1) != AP port count(2)"), std::string::npos);
    }
    EXPECT_EQ(Peer(*info.GetCameraPortRecord(2)), std::make_tuple(0u, 1u, 0u, 1, 3));
    EXPECT_EQ(info.GetApPeerIndex(0), 2u);
    EXPECT_EQ(info.GetCommandPort(5), 0u);

    // Fewer camera links are fine when allowed.
    DiscoveryInfo allowed;
    SetTwoTwoPortOperators(allowed);
    allowed.SetCameraPort(2, 5, 0);
    allowed.ConnectMasters(5, 2, true, 0);
    EXPECT_EQ(allowed.GetCameraPeerIndex(2), 2u);

    EXPECT_THROW(info.ConnectMasters(99, 1, true, 0), DiscoveryException);
    EXPECT_THROW(info.ConnectMasters(5, 42, true, 0), DiscoveryException);
}

TEST(DiscoveryInfo, MasterListsSkipNonCameras) {
    DiscoveryInfo info;
    info.SetCameraPort(0, 0, 0);           // master id 0 is no camera
    info.SetCameraPort(1, 0x80000001, 0);  // top bit set
    info.SetCameraPort(2, 5, 1);
    info.SetCameraPort(3, 5, 0);
    std::vector<uint32_t> masters{1, 2, 3};
    info.ListCameraMasters(false, masters);
    EXPECT_EQ(masters, (std::vector<uint32_t>{0x80000001, 5}));
    info.ListCameraMasters(true, masters);
    EXPECT_EQ(masters, std::vector<uint32_t>{5});
    EXPECT_EQ(info.CountUnassignedPorts(), 0);
}

TEST(DiscoveryInfo, AppletSideCountsAndMasks) {
    DiscoveryInfo info;
    info.SetApPort(1, 7, 0);
    info.SetApPort(3, 7, 1);
    info.SetApPort(0, 8, 0);
    info.SetApPort(2, 9, 0);
    info.SetApPort(0, 9, 2);  // AP master 9 lacks extension 1
    EXPECT_EQ(info.CountApLinks(8), -1);  // overwritten
    EXPECT_EQ(info.CountApLinks(9), 2);
    EXPECT_EQ(info.GetApMasterPortMask(9), 0x4);

    info.SetCameraPort(0, 5, 0);
    info.SetCameraPort(1, 5, 1);
    info.ConnectMasters(5, 7, false, 0);
    EXPECT_EQ(info.LargestFreeApMaster(), 2);  // master 9: its extension-0 port is free
    info.SetCameraPort(2, 6, 0);
    info.ConnectLink(6, 0, 9, 0);
    EXPECT_EQ(info.LargestFreeApMaster(), 0);
}

TEST(DiscoveryInfo, RoutingOfPartialSmallAndStaleLayouts) {
    // One connected camera on port 3, an unconnected one on port 0.
    DiscoveryInfo partial;
    SetOnePortOperators(partial);
    partial.SetCameraPort(3, 1, 0);
    partial.SetCameraPort(0, 2, 0);
    partial.ConnectLink(1, 0, 1, 0);
    EXPECT_EQ(partial.ComputeDiscoverySelect().Value(), 0xFFFF0321FFFF2103ull);

    // A two-port board still routes the unused ports 2 and 3 straight through.
    DiscoveryInfo small(2);
    SetOnePortOperators(small);
    small.SetCameraPort(1, 4, 0);
    small.ConnectLink(4, 0, 1, 0);
    EXPECT_EQ(small.ComputeDiscoverySelect().Value(), 0xFFFF3201FFFF3201ull);

    // A camera moved to another operator: the stale applet-side reference routes nothing.
    DiscoveryInfo moved;
    SetOnePortOperators(moved);
    moved.SetCameraPort(1, 5, 0);
    moved.ConnectLink(5, 0, 1, 0);
    moved.ConnectLink(5, 0, 2, 0);
    EXPECT_EQ(moved.GetApPeerIndex(0), 1u);
    EXPECT_EQ(moved.ComputeDiscoverySelect().Value(), 0xFFFF3210FFFF3210ull);

    // Masters known but nothing connected: ports pair up in order.
    DiscoveryInfo unconnected;
    unconnected.SetCameraPort(2, 3, 0);
    EXPECT_EQ(unconnected.ComputeDiscoverySelect().Value(), 0xFFFF3210FFFF3210ull);
}

TEST(DiscoveryInfo, CopiesAreIndependentValuesAndResetKeepsThePortCount) {
    DiscoveryInfo original(3);
    original.SetApPort(0, 1, 0);
    original.SetCameraPort(0, 5, 0);
    original.ConnectLink(5, 0, 1, 0);
    original.SetApTopologyKnown();

    DiscoveryInfo copy(original);
    copy.SetBitRate(5, 1250);
    copy.Reset();
    EXPECT_EQ(copy.GetPortCount(), 3u);
    EXPECT_FALSE(copy.IsApTopologyKnown());
    EXPECT_EQ(copy.GetApMasterId(0), kNone);
    EXPECT_EQ(copy.ComputeDiscoverySelect().Value(), 0x7654321076543210ull);
    EXPECT_EQ(original.GetBitRate(5), 0u);
    EXPECT_EQ(original.GetCameraPeerIndex(0), 0u);

    DiscoveryInfo assigned;
    assigned = original;
    EXPECT_EQ(assigned.GetPortCount(), 3u);
    original.Reset();
    EXPECT_EQ(assigned.GetApPeerIndex(0), 0u);
    assigned = assigned;
    EXPECT_EQ(assigned.GetCommandPort(5), 0u);
}
