#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "discovery/DiscoveryInfo.h"
#include "nox_genicam.h"

using vexo::genicam::CameraInfoTexts;
using vexo::genicam::DiscoveryException;
using vexo::genicam::DiscoveryInfo;
using vexo::genicam::PortRecord;

namespace {

constexpr uint32_t kNone = DiscoveryInfo::kNone;

// The message of the exception `call` throws, with its "DiscoveryInfo_<line>" tag checked and cut off.
template <class Exception>
std::string UntaggedMessage(const std::function<void()> &call) {
    try {
        call();
    } catch (const Exception &error) {
        const std::string text = error.what();
        const std::string tag = "DiscoveryInfo_";
        if (text.rfind(tag, 0) != 0) return "untagged: " + text;
        size_t end = tag.size();
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end == tag.size()) return "no line number: " + text;
        return text.substr(end);
    }
    return "no exception";
}

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

}  // namespace

TEST(DiscoveryInfo, ANewModelKnowsNothingAndReadsBeyondTheLastPortAsNone) {
    const DiscoveryInfo info;
    EXPECT_FALSE(info.IsApTopologyKnown());
    for (uint32_t master : {0u, 1u, kNone}) {
        EXPECT_EQ(info.FindCameraMasterPort(master), kNone);
        EXPECT_EQ(info.CountCameraLinks(master), -1);
        EXPECT_EQ(info.GetCameraPortMask(master, -1), -1);
        EXPECT_EQ(info.GetCommandPort(master), kNone);
        EXPECT_EQ(info.GetCameraInfo(master), std::nullopt);
        EXPECT_EQ(info.GetApMasterPortMask(master + 1), -1);
    }
    EXPECT_EQ(info.LargestFreeApMaster(), 0);
    uint32_t mask = 0x10;
    EXPECT_EQ(info.CountUnassignedPorts(&mask), 4);
    EXPECT_EQ(mask, 0x1Fu);
    EXPECT_EQ(info.ComputeDiscoverySelect().Value(), 0x7654321076543210ull);
    std::vector<uint32_t> masters{9, 9};
    info.ListCameraMasters(true, masters);
    EXPECT_TRUE(masters.empty());
    for (uint32_t port : {4u, 5u, kNone}) {
        EXPECT_EQ(info.GetCameraMasterId(port), kNone);
        EXPECT_EQ(info.GetApPeerIndex(port), kNone);
        EXPECT_EQ(info.GetCameraPortRecord(port), std::nullopt);
    }
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
    EXPECT_EQ(info.GetDiscoveryBitRate(5), 0u);
    EXPECT_EQ(info.GetStreamPacketSize(5), 0u);
    EXPECT_EQ(info.GetControlPacketSize(5), 0u);
    EXPECT_EQ(info.GetProtocolRevision(5), kNone);
    EXPECT_EQ(info.GetCameraInfo(5), CameraInfoTexts{});
    EXPECT_EQ(info.CountCameraLinks(5), 1);
    std::vector<uint32_t> masters;
    info.ListCameraMasters(true, masters);
    EXPECT_EQ(masters, std::vector<uint32_t>{5});

    // An extension link leaves the record alone, and makes none on its own.
    info.SetBitRate(5, 3125);
    info.SetCameraPort(3, 5, 1);
    EXPECT_EQ(info.GetBitRate(5), 3125u);
    info.SetCameraPort(0, 8, 1);
    EXPECT_EQ(info.CountCameraLinks(8), -1);
    EXPECT_EQ(info.FindCameraPort(8, 1), kNone);  // no record, no port
    EXPECT_EQ(info.FindCameraPort(5, 1), 3u);
    EXPECT_EQ(info.FindCameraMasterPort(5), 2u);
}

TEST(DiscoveryInfo, BadPortsAreRefusedWithoutAChange) {
    DiscoveryInfo info(2);
    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.SetCameraPort(2, 5, 0); }),
              ": the parameter pc_PortID(2) exceeds the maximal port index(1!");
    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.SetApPort(kNone, 1, 0); }),
              ": the parameter pc_PortID(4294967295) exceeds the maximal port index(1!");
    EXPECT_EQ(info.GetCommandPort(5), kNone);
    EXPECT_EQ(info.CountUnassignedPorts(), 2);
    EXPECT_EQ(info.FindApPort(1, 0), kNone);

    DiscoveryInfo empty(0);
    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { empty.SetCameraPort(0, 5, 0); }),
              ": the parameter pc_PortID(0) exceeds the maximal port index(-1!");
}

TEST(DiscoveryInfo, MasterRecordSettersCheckTheMasterAndTheBitRate) {
    DiscoveryInfo info;
    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.SetBitRate(9, 3125); }),
              ": the specified pc_MasterPortID(9) does not exist!");
    for (const auto &setter : std::vector<std::function<void()>>{
             [&] { info.SetDiscoveryBitRate(9, 3125); }, [&] { info.ResetBitRate(9); },
             [&] { info.SetControlPacketSize(9, 1); }, [&] { info.SetStreamPacketSize(9, 1); },
             [&] { info.SetProtocolRevision(9, 1); }})
        EXPECT_EQ(UntaggedMessage<std::invalid_argument>(setter), ": the specified pc_MasterPortID(9) does not exist!");
    info.SetCameraInfo(9, "DeviceModelName", "ignored");
    EXPECT_EQ(info.GetCameraInfo(9), std::nullopt);

    info.SetCameraPort(0, 9, 0);
    for (uint32_t rate : {1250u, 2500u, 3125u, 5000u, 6250u, 10000u, 12500u}) {
        info.SetBitRate(9, rate);
        info.SetDiscoveryBitRate(9, rate);
        EXPECT_EQ(info.GetBitRate(9), rate);
    }
    info.SetBitRate(9, 3125);
    for (uint32_t rate : {0u, 3000u, 3126u, 20000u, kNone}) {
        EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.SetBitRate(9, rate); }),
                  ": the specified pc_BitRate(" + std::to_string(rate) + ") is not supported!");
        EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.SetDiscoveryBitRate(9, rate); }),
                  ": the specified pc_BitRate(" + std::to_string(rate) + ") is not supported!");
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

TEST(DiscoveryInfo, CameraLinksAreWalkedInExtensionOrder) {
    DiscoveryInfo info;
    info.SetCameraPort(0, 7, 0);
    info.SetCameraPort(2, 7, 1);
    EXPECT_EQ(info.GetCameraPortMask(7, -1), 0x5);
    EXPECT_EQ(info.GetCameraPortMask(7, 1), 0x1);
    EXPECT_EQ(info.GetCameraPortMask(7, 0), 0);

    // Extension order, not port order: links 0..2 on ports 3, 1, 0.
    DiscoveryInfo crossed;
    crossed.SetCameraPort(3, 4, 0);
    crossed.SetCameraPort(0, 4, 2);
    crossed.SetCameraPort(1, 4, 1);
    EXPECT_EQ(crossed.GetCameraPortMask(4, 1), 0x8);
    EXPECT_EQ(crossed.GetCameraPortMask(4, 2), 0xA);
    EXPECT_EQ(crossed.GetCameraPortMask(4, 3), 0xB);
    uint32_t extension = 99;
    EXPECT_EQ(crossed.FirstCameraLink(4, extension), 3u);
    EXPECT_EQ(extension, 0u);
    std::vector<uint32_t> walk;
    for (uint32_t port = crossed.NextCameraLink(4, extension, extension); port != kNone;
         port = crossed.NextCameraLink(4, extension, extension))
        walk.push_back(port);
    EXPECT_EQ(walk, (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(extension, kNone);
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
    EXPECT_EQ(info.GetCommandPort(5), 1u);

    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.ConnectLink(5, 2, 2, 0); }),
              ": the specified pc_CameraMasterID(5) with pc_CameraExtensionID(2) does not exist!");
    EXPECT_EQ(UntaggedMessage<std::invalid_argument>([&] { info.ConnectLink(5, 0, 3, 0); }),
              ": the specified pc_ApMasterID(3) with pc_ApExtensionID(0) does not exist!");
    EXPECT_EQ(info.CountConnectedCameraLinks(5), 0);
    EXPECT_EQ(info.GetApPeerIndex(2), kNone);

    info.ConnectLink(5, 1, 2, 1);
    EXPECT_EQ(info.GetCommandPort(5), 1u);  // an extension link leaves the command port
    info.ConnectLink(5, 0, 2, 0);
    EXPECT_EQ(info.GetCommandPort(5), 2u);
    const PortRecord camera = *info.GetCameraPortRecord(1);
    EXPECT_EQ(camera.peerIndex, 2u);
    EXPECT_EQ(camera.peerMasterId, 2u);
    EXPECT_EQ(camera.peerExtensionId, 0u);
    EXPECT_EQ(camera.connected, 0);  // only ConnectMasters marks ports connected
    const PortRecord applet = *info.GetApPortRecord(3);
    EXPECT_EQ(applet.peerIndex, 3u);
    EXPECT_EQ(applet.peerMasterId, 5u);
    EXPECT_EQ(applet.peerExtensionId, 1u);
    EXPECT_EQ(info.GetCameraPeerIndex(3), 3u);
    EXPECT_EQ(info.CountConnectedCameraLinks(5), 2);
    EXPECT_EQ(info.LargestFreeApMaster(), 2);  // AP master 1 is still free
}

TEST(DiscoveryInfo, ConnectMastersPairsLinksInExtensionOrder) {
    DiscoveryInfo info;
    SetTwoTwoPortOperators(info);
    info.SetCameraPort(3, 5, 0);
    info.SetCameraPort(0, 5, 1);
    info.ConnectMasters(5, 2, false, 0x42);
    EXPECT_EQ(info.GetCameraPeerIndex(3), 2u);
    EXPECT_EQ(info.GetCameraPeerIndex(0), 3u);
    EXPECT_EQ(info.GetApPeerIndex(2), 3u);
    EXPECT_EQ(info.GetCommandPort(5), 2u);
    for (uint32_t port : {0u, 3u}) {
        EXPECT_EQ(info.GetCameraPortRecord(port)->connected, 1);
        EXPECT_EQ(info.GetCameraPortRecord(port)->masterConnectMark, 0x42);
    }
    EXPECT_EQ(info.GetCameraPortRecord(1)->connected, 0);

    // A camera with more links than the operator has ports gets the first ones connected.
    DiscoveryInfo wide;
    SetTwoTwoPortOperators(wide);
    wide.SetCameraPort(0, 6, 0);
    wide.SetCameraPort(1, 6, 1);
    wide.SetCameraPort(2, 6, 2);
    wide.ConnectMasters(6, 1, false, 1);
    EXPECT_EQ(wide.CountConnectedCameraLinks(6), 2);
    EXPECT_EQ(wide.GetCameraPeerIndex(2), kNone);
}

TEST(DiscoveryInfo, ConnectMastersConnectsWhatItCanBeforeItThrows) {
    DiscoveryInfo info;
    SetTwoTwoPortOperators(info);
    info.SetCameraPort(2, 5, 0);
    try {
        info.ConnectMasters(5, 1, false, 3);
        ADD_FAILURE() << "no exception";
    } catch (const DiscoveryException &error) {
        EXPECT_EQ(error.Status(), ERR_LINK_LAYOUT_MISMATCH);
    }
    EXPECT_EQ(UntaggedMessage<DiscoveryException>([&] { info.ConnectMasters(5, 1, false, 3); }),
              ": the camera master with the master ID(5) is not compatible with the AP master with the master "
              "ID(1). Camera port count(1) != AP port count(2)!");
    EXPECT_EQ(info.GetCameraPeerIndex(2), 0u);
    EXPECT_EQ(info.GetApPeerIndex(0), 2u);
    EXPECT_EQ(info.GetCameraPortRecord(2)->connected, 1);
    EXPECT_EQ(info.GetCameraPortRecord(2)->masterConnectMark, 3);
    EXPECT_EQ(info.GetCommandPort(5), 0u);

    // Fewer camera links are fine when allowed.
    DiscoveryInfo allowed;
    SetTwoTwoPortOperators(allowed);
    allowed.SetCameraPort(2, 5, 0);
    allowed.ConnectMasters(5, 2, true, 0);
    EXPECT_EQ(allowed.GetCameraPeerIndex(2), 2u);

    EXPECT_EQ(UntaggedMessage<DiscoveryException>([&] { info.ConnectMasters(99, 1, true, 0); }),
              ": the camera master with the master ID(99) does not exist!");
    EXPECT_EQ(UntaggedMessage<DiscoveryException>([&] { info.ConnectMasters(5, 42, true, 0); }),
              ": the AP master with the master ID(42) does not exist!");
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
    uint32_t mask = 0;
    EXPECT_EQ(info.CountUnassignedPorts(&mask), 0);
    EXPECT_EQ(mask, 0u);
}

TEST(DiscoveryInfo, AppletSideCountsAndMasks) {
    DiscoveryInfo info;
    info.SetApPort(1, 7, 0);
    info.SetApPort(3, 7, 1);
    info.SetApPort(0, 8, 0);
    info.SetApPort(2, 9, 0);
    info.SetApPort(0, 9, 2);  // AP master 9 lacks extension 1
    EXPECT_EQ(info.CountApLinks(7), 2);
    EXPECT_EQ(info.GetApMasterPortMask(7), 0xA);
    EXPECT_EQ(info.CountApLinks(8), -1);  // overwritten
    EXPECT_EQ(info.CountApLinks(9), 2);
    EXPECT_EQ(info.GetApMasterPortMask(9), 0x4);
    EXPECT_EQ(info.FindApPort(9, 2), 0u);
    EXPECT_EQ(info.LargestFreeApMaster(), 2);

    info.SetCameraPort(0, 5, 0);
    info.SetCameraPort(1, 5, 1);
    info.ConnectMasters(5, 7, false, 0);
    EXPECT_EQ(info.LargestFreeApMaster(), 2);  // master 9: its extension-0 port is free
    info.SetCameraPort(2, 6, 0);
    info.ConnectLink(6, 0, 9, 0);
    EXPECT_EQ(info.LargestFreeApMaster(), 0);
    info.SetApTopologyKnown();
    EXPECT_TRUE(info.IsApTopologyKnown());
}

TEST(DiscoveryInfo, RoutingOfTheWorkedExample) {
    DiscoveryInfo info;
    SetOnePortOperators(info);
    info.SetCameraPort(1, 5, 0);
    info.ConnectLink(5, 0, 1, 0);  // camera port 1 -> applet port 0
    const auto routing = info.ComputeDiscoverySelect();
    EXPECT_EQ(routing.ReverseEntry(0), 1u);
    EXPECT_EQ(routing.ForwardEntry(1), 0u);
    EXPECT_EQ(routing.ForwardEntry(0), 1u);
    EXPECT_EQ(routing.ForwardEntry(2), 2u);
    EXPECT_EQ(routing.ForwardEntry(3), 3u);
    EXPECT_EQ(routing.Value(), 0xFFFF3201FFFF3201ull);
}

TEST(DiscoveryInfo, RoutingOfCrossedAndPartialLayouts) {
    // A two-link camera on camera ports 2 and 3 feeding applet ports 0 and 1.
    DiscoveryInfo crossed;
    SetTwoTwoPortOperators(crossed);
    crossed.SetCameraPort(2, 7, 0);
    crossed.SetCameraPort(3, 7, 1);
    crossed.ConnectMasters(7, 1, false, 0);
    EXPECT_EQ(crossed.ComputeDiscoverySelect().Value(), 0xFFFF1032FFFF1032ull);

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
    copy.SetCameraPort(1, 6, 0);
    copy.SetBitRate(5, 1250);
    copy.Reset();
    EXPECT_EQ(copy.GetPortCount(), 3u);
    EXPECT_FALSE(copy.IsApTopologyKnown());
    EXPECT_EQ(copy.GetCommandPort(5), kNone);
    EXPECT_EQ(copy.GetApMasterId(0), kNone);
    EXPECT_EQ(copy.ComputeDiscoverySelect().Value(), 0x7654321076543210ull);

    EXPECT_TRUE(original.IsApTopologyKnown());
    EXPECT_EQ(original.GetCommandPort(5), 0u);
    EXPECT_EQ(original.GetBitRate(5), 0u);
    EXPECT_EQ(original.GetCameraMasterId(1), kNone);
    EXPECT_EQ(original.GetCameraPeerIndex(0), 0u);

    DiscoveryInfo assigned;
    assigned = original;
    EXPECT_EQ(assigned.GetPortCount(), 3u);
    original.Reset();
    EXPECT_EQ(assigned.GetCommandPort(5), 0u);
    EXPECT_EQ(assigned.GetApPeerIndex(0), 0u);
    assigned = assigned;
    EXPECT_EQ(assigned.GetCommandPort(5), 0u);
}
