// Routing of applet ports to physical ports, applet ids and the register map by name.
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;
using SimRouting = SimTest;

namespace {

std::string ModelNameVia(const Session &board, uint32_t appletPort) {
    const std::vector<uint8_t> bytes = board.ReadCameraBytes(appletPort, bootstrap::kDeviceModelName.address, 32);
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
}

}  // namespace

TEST_F(SimRouting, DiscoverySelectSendsAnAppletPortToAnotherPhysicalPort) {
    Session board;
    EXPECT_EQ(board.Read("rDiscoverySelect"), 0x7654321076543210ull) << "identity at power-on";
    EXPECT_EQ(ModelNameVia(board, 0), "VX-12M");

    // Physical port 2 (the 1-link camera) feeds applet port 0 and physical port 0 applet port 2.
    const uint64_t crossed = 0x7654301276543012ull;
    board.Write("wDiscoverySelect", crossed);
    EXPECT_EQ(board.Read("rDiscoverySelect"), crossed);
    const vexosim_port_stats before0 = Stats(0, 0), before2 = Stats(0, 2);
    EXPECT_EQ(ModelNameVia(board, 0), "VX-4M");
    EXPECT_EQ(ModelNameVia(board, 2), "VX-12M");
    EXPECT_EQ(Stats(0, 2).commandsReceived - before2.commandsReceived, 1u);
    EXPECT_EQ(Stats(0, 0).commandsReceived - before0.commandsReceived, 1u);
    EXPECT_FALSE(board.TakeAck(2)) << "answers come back on the applet port that asked";

    // An applet port fed by no physical port sends nothing.
    board.Write("wDiscoverySelect", 0x765432107654321Full);
    board.Send(0, ReadPacket(bootstrap::kStandard, 4));
    EXPECT_FALSE(board.PacketSent(0));
    EXPECT_FALSE(board.TakeAck(0));
}

TEST_F(SimRouting, AppletIdsFollowTheOperators) {
    Session board;  // operators [[0, 1], [2], [3]]
    EXPECT_EQ(board.Read("DiscoveryAppletMasterID"), 0x3211u);
    EXPECT_EQ(board.Read("DiscoveryAppletExtensionID"), 0x0010u);
    EXPECT_EQ(board.Read("StreamPacketSize"), 8192u);

    LoadTopology(R"({"boards": [{"model": "cxp4-b", "applet": {"operators": [[3, 1, 0]], "stream_packet_size": 4096}}]})");
    Session other;
    EXPECT_EQ(other.Read("DiscoveryAppletMasterID"), 0x1011u) << "applet port 2 belongs to no operator";
    EXPECT_EQ(other.Read("DiscoveryAppletExtensionID"), 0x0012u);
    EXPECT_EQ(other.Read("StreamPacketSize"), 4096u);
}

// Which names each family's applet has, the older reset names and omitted
// registers are found through the controller by CxpSetup's cases.
TEST_F(SimRouting, AppletRegistersExistPerFamilyPortAndTopology) {
    LoadTopology(R"({"boards": [
        {"model": "cxp2-c", "applet": {"omit_registers": ["CxpTxCmdWriteData_", "CxpControlCoreReset_1"]}},
        {"model": "cxp2-b"}]})");
    Session c(0), b(1);
    const auto has = [](const Session &s, const char *name) { return FindAppletRegister(s.Applet(), name) > 0; };
    EXPECT_FALSE(has(c, "CxpTxCmdWriteData_1") || has(c, "CxpControlCoreReset_1") || has(b, "StreamPacketSize0"));
    EXPECT_TRUE(has(c, "CxpControlCoreReset_0")) << "only that port's name omitted";

    // Write-only and read-only registers refuse the other access.
    uint64_t value = 0;
    EXPECT_EQ(ReadBoardRegister(b.Device(), b.Address("wDiscoverySelect"), &value), -1);
    EXPECT_EQ(WriteBoardRegister(b.Device(), b.Address("rDiscoverySelect"), 0), -1);
    EXPECT_EQ(ReadBoardRegister(b.Device(), 0x1234, &value), -1);
    EXPECT_EQ(FindAppletRegister(0x42, "StreamPacketSize"), 0) << "not an applet handle";
}
