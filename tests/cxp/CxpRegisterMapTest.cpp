#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cxp/CxpRegisterMap.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;

namespace {

// An applet with the named registers, at made-up addresses; records what was asked.
struct FakeApplet {
    std::set<std::string> names;
    std::vector<std::string> asked;

    CxpRegisterMap Map() {
        return CxpRegisterMap::Find([this](const char *name) -> int64_t {
            asked.emplace_back(name);
            if (!names.count(name)) return 0;
            return 0x1000 + static_cast<int64_t>(std::hash<std::string>()(name) % 0x10000) * 8;
        });
    }
    void AddPorts(const std::string &base, uint32_t ports) {
        for (uint32_t port = 0; port < ports; ++port) names.insert(base + std::to_string(port));
    }
};

PortLayout Layout(FakeApplet &applet, BoardFamily family) { return DetectPortLayout(applet.Map(), family); }

}  // namespace

TEST(CxpRegisterMap, LooksUpEveryNameAndPerPortNamesWithTheirNumber) {
    FakeApplet applet;
    applet.names = {"wDiscoverySelect", "CxpTxCmdWriteData_2"};
    const CxpRegisterMap map = applet.Map();
    EXPECT_TRUE(map.Has(CxpRegister::kDiscoverySelectWrite));
    EXPECT_FALSE(map.Has(CxpRegister::kDiscoverySelectRead));
    EXPECT_TRUE(map.Has(CxpRegister::kTxCmdWriteData, 2));
    EXPECT_FALSE(map.Has(CxpRegister::kTxCmdWriteData, 1));
    EXPECT_FALSE(map.Has(CxpRegister::kTxCmdWriteData, 4));
    // 14 single names and 19 per-port names for 4 ports, then the older reset names.
    EXPECT_EQ(applet.asked.size(), 14u + 19u * 4u + 4u);
    EXPECT_EQ(applet.asked.front(), "wCxpPowerEnablePower");
    EXPECT_EQ(applet.asked[2], "CxpPowerStatus_0");
    EXPECT_EQ(applet.asked.back(), "CxpReset_3");
}

TEST(CxpRegisterMap, OlderControlCoreResetNamesAreUsedOnlyWithoutTheNewOnes) {
    FakeApplet older;
    older.AddPorts("CxpReset_", 2);
    const CxpRegisterMap map = older.Map();
    EXPECT_TRUE(map.UsesOlderResetNames());
    EXPECT_TRUE(map.Has(CxpRegister::kControlCoreReset, 1));
    EXPECT_FALSE(map.Has(CxpRegister::kControlCoreReset, 2));

    FakeApplet newer;
    newer.AddPorts("CxpControlCoreReset_", 4);
    newer.AddPorts("CxpReset_", 4);
    EXPECT_FALSE(newer.Map().UsesOlderResetNames());
    EXPECT_EQ(newer.asked.back(), "CxpTransceiverUpLinkBitRate_3");
}

TEST(CxpRegisterMap, AddressesTheBoardCannotReachAreAbsent) {
    const CxpRegisterMap map = CxpRegisterMap::Find([](const char *name) -> int64_t {
        if (std::string(name) == "wDiscoverySelect") return -5;
        if (std::string(name) == "rDiscoverySelect") return 0x100000000;
        return 0;
    });
    EXPECT_FALSE(map.Has(CxpRegister::kDiscoverySelectWrite));
    EXPECT_FALSE(map.Has(CxpRegister::kDiscoverySelectRead));
}

TEST(CxpRegisterMap, PortLayoutPerFamily) {
    FakeApplet drp;
    drp.AddPorts("CxpTransceiverGtxDrpAddress_", 1);
    drp.AddPorts("CxpTransceiverGtxDrpWriteData_", 4);
    EXPECT_EQ(Layout(drp, BoardFamily::kA).portCount, 4u);
    EXPECT_EQ(Layout(drp, BoardFamily::kA).interfaceType, 1u);
    EXPECT_EQ(Layout(drp, BoardFamily::kB).interfaceType, 2u);
    EXPECT_EQ(Layout(drp, BoardFamily::kC).portCount, 0u);

    FakeApplet bitRate;
    bitRate.names = {"CxpTransceiverGtxSetBitRateDone"};
    bitRate.AddPorts("CxpTransceiverGtxSetBitRate_", 1);
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).portCount, 1u);
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).interfaceType, 3u);
    bitRate.AddPorts("CxpTransceiverGtxSetBitRate_", 2);
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).portCount, 2u);
    bitRate.AddPorts("CxpTransceiverGtxSetBitRate_", 3);  // ports 0 to 2: not a 4-port board
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).portCount, 2u);
    bitRate.AddPorts("CxpTransceiverGtxSetBitRate_", 4);
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).portCount, 4u);
    bitRate.names.insert("CxpTransceiverRxStatus");
    EXPECT_EQ(Layout(bitRate, BoardFamily::kB).interfaceType, 6u);
    EXPECT_EQ(Layout(bitRate, BoardFamily::kA).interfaceType, 0u);

    FakeApplet familyC;
    familyC.AddPorts("CxpTransceiverStatus_", 1);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).portCount, 0u);
    familyC.AddPorts("CxpTransceiverDownLinkBitRate_", 2);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).portCount, 1u);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).interfaceType, 10u);
    familyC.AddPorts("CxpTransceiverStatus_", 4);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).portCount, 2u);
    familyC.AddPorts("CxpTransceiverDownLinkBitRate_", 3);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).portCount, 2u);
    familyC.AddPorts("CxpTransceiverDownLinkBitRate_", 4);
    EXPECT_EQ(Layout(familyC, BoardFamily::kC).portCount, 4u);
    EXPECT_EQ(Layout(familyC, BoardFamily::kNone).portCount, 0u);
}
