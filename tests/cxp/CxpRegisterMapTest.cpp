// Applets the simulator does not build: addresses out of the board's reach,
// both reset namings at once and transceiver names for only some ports. Every
// model's own applet is found through the controller by CxpSetup.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cxp/CxpRegisterMap.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::BoardFamily;

namespace {

// An applet with the named registers, at made-up addresses.
struct FakeApplet {
    std::set<std::string> names;

    CxpRegisterMap Map() const {
        return CxpRegisterMap::Find([this](const char *name) -> int64_t {
            if (!names.count(name)) return 0;
            return 0x1000 + static_cast<int64_t>(std::hash<std::string>()(name) % 0x10000) * 8;
        });
    }
    void AddPorts(const std::string &base, uint32_t ports) {
        for (uint32_t port = 0; port < ports; ++port) names.insert(base + std::to_string(port));
    }
    uint32_t Ports(BoardFamily family) const { return DetectPortLayout(Map(), family).portCount; }
};

}  // namespace

TEST(CxpRegisterMap, AddressesTheBoardCannotReachAreAbsentAndNewResetNamesWin) {
    const CxpRegisterMap map = CxpRegisterMap::Find([](const char *name) -> int64_t {
        if (std::string(name) == "wDiscoverySelect") return -5;
        if (std::string(name) == "rDiscoverySelect") return 0x100000000;
        return 0;
    });
    EXPECT_FALSE(map.Has(CxpRegister::kDiscoverySelectWrite));
    EXPECT_FALSE(map.Has(CxpRegister::kDiscoverySelectRead));

    FakeApplet both;
    both.AddPorts("CxpControlCoreReset_", 4);
    both.AddPorts("CxpReset_", 4);
    EXPECT_FALSE(both.Map().UsesOlderResetNames());
}

TEST(CxpRegisterMap, PortsCountOnlyWhenEveryRegisterOfTheLayoutIsThere) {
    FakeApplet bitRate;
    bitRate.names = {"CxpTransceiverGtxSetBitRateDone"};
    bitRate.AddPorts("CxpTransceiverGtxSetBitRate_", 3);  // ports 0 to 2: not a 4-port board
    EXPECT_EQ(bitRate.Ports(BoardFamily::kB), 2u);
    EXPECT_EQ(DetectPortLayout(bitRate.Map(), BoardFamily::kA).interfaceType, 0u) << "not a family A layout";

    FakeApplet familyC;
    familyC.AddPorts("CxpTransceiverStatus_", 1);
    EXPECT_EQ(familyC.Ports(BoardFamily::kC), 0u) << "a status without its bit rate register";
    familyC.AddPorts("CxpTransceiverDownLinkBitRate_", 3);
    familyC.AddPorts("CxpTransceiverStatus_", 4);
    EXPECT_EQ(familyC.Ports(BoardFamily::kC), 2u);
    EXPECT_EQ(familyC.Ports(BoardFamily::kNone), 0u);
}
