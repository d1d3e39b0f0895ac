#include "cxp/CxpRegisterMap.h"

#include <cstdio>

namespace vexo::genicam::cxp {

namespace {

using protocol::cxp::NameOf;

size_t IndexOf(CxpRegister reg) { return static_cast<size_t>(reg); }

// Addresses the board library cannot reach count as absent.
uint32_t UsableAddress(int64_t address) {
    return address > 0 && address <= int64_t{0xFFFFFFFF} ? static_cast<uint32_t>(address) : 0;
}

uint32_t FindPortRegister(const CxpRegisterMap::Lookup &lookup, const char *baseName, uint32_t port) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%u", baseName, port);
    return UsableAddress(lookup(name));
}

}  // namespace

CxpRegisterMap CxpRegisterMap::Find(const Lookup &lookup) {
    CxpRegisterMap map;
    for (size_t i = 0; i < protocol::cxp::kAppletRegisterCount; ++i) {
        const auto reg = static_cast<CxpRegister>(i);
        const protocol::cxp::AppletRegisterName &name = NameOf(reg);
        if (!name.perPort) {
            map.SetAddress(reg, 0, UsableAddress(lookup(name.name)));
            continue;
        }
        for (uint32_t port = 0; port < kMaxPorts; ++port)
            map.SetAddress(reg, port, FindPortRegister(lookup, name.name, port));
    }
    if (!map.Has(CxpRegister::kControlCoreReset, 0)) {
        for (uint32_t port = 0; port < kMaxPorts; ++port)
            map.SetAddress(CxpRegister::kControlCoreReset, port,
                           FindPortRegister(lookup, protocol::cxp::kOlderControlCoreResetName, port));
        map.olderResetNames_ = map.HasAnyPort(CxpRegister::kControlCoreReset);
    }
    return map;
}

uint32_t CxpRegisterMap::Address(CxpRegister reg, uint32_t port) const {
    if (reg >= CxpRegister::kCount || port >= kMaxPorts) return 0;
    return addresses_[IndexOf(reg)][port];
}

bool CxpRegisterMap::HasAnyPort(CxpRegister reg) const {
    for (uint32_t port = 0; port < kMaxPorts; ++port)
        if (Has(reg, port)) return true;
    return false;
}

void CxpRegisterMap::SetAddress(CxpRegister reg, uint32_t port, uint32_t address) {
    if (reg >= CxpRegister::kCount || port >= kMaxPorts) return;
    addresses_[IndexOf(reg)][port] = address;
}

namespace {

PortLayout DetectFamilyB(const CxpRegisterMap &map) {
    using enum protocol::cxp::AppletRegister;  // the enumeration itself: clang 14 refuses an alias here
    if (map.HasAnyPort(kDrpAddress) && map.HasAnyPort(kDrpWriteData)) return {4, 2};
    if (!map.Has(kSetBitRateDone) || !map.Has(kSetBitRate, 0)) return {};
    PortLayout layout{1, map.Has(kRxStatus) ? 6u : 3u};
    if (map.Has(kSetBitRate, 1)) layout.portCount = 2;
    if (map.Has(kSetBitRate, 2)) layout.portCount = map.Has(kSetBitRate, 3) ? 4 : 2;
    return layout;
}

PortLayout DetectFamilyC(const CxpRegisterMap &map) {
    using enum protocol::cxp::AppletRegister;
    if (!map.Has(kTransceiverStatus, 0) || !map.Has(kDownLinkBitRate, 0)) return {};
    PortLayout layout{1, 10};
    if (map.Has(kTransceiverStatus, 1) && map.Has(kDownLinkBitRate, 1)) layout.portCount = 2;
    if (map.Has(kTransceiverStatus, 2) && map.Has(kTransceiverStatus, 3) && map.Has(kDownLinkBitRate, 2))
        layout.portCount = map.Has(kDownLinkBitRate, 3) ? 4 : 2;
    return layout;
}

}  // namespace

PortLayout DetectPortLayout(const CxpRegisterMap &map, BoardFamily family) {
    using enum protocol::cxp::AppletRegister;
    switch (family) {
        case BoardFamily::kA:
            if (map.HasAnyPort(kDrpAddress) && map.HasAnyPort(kDrpWriteData)) return {4, 1};
            return {};
        case BoardFamily::kB: return DetectFamilyB(map);
        case BoardFamily::kC: return DetectFamilyC(map);
        case BoardFamily::kNone: break;
    }
    return {};
}

}  // namespace vexo::genicam::cxp
