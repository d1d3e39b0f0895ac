#include "clhs/ClhsRegisterMap.h"

#include <string>

#include "protocol/ClhsRegisters.h"

namespace vexo::genicam::clhs {

namespace names = protocol::clhs::applet;

namespace {

struct Entry {
    ClhsRegisterMap::Register reg;
    const char *name;
    bool perPort;
};

// Registers whose name is the same for either shape of the applet.
constexpr Entry kEntries[] = {
    {ClhsRegisterMap::kNetworkControllerReset, names::kNetworkControllerReset, false},
    {ClhsRegisterMap::kTransceiverReset, names::kTransceiverReset, false},
    {ClhsRegisterMap::kTransceiverLocked, names::kTransceiverLocked, false},
    {ClhsRegisterMap::kTransceiverRxResetDone, names::kTransceiverRxResetDone, false},
    {ClhsRegisterMap::kTransceiverTxResetDone, names::kTransceiverTxResetDone, false},
    {ClhsRegisterMap::kTransceiverNotInTable, names::kTransceiverNotInTable, true},
    {ClhsRegisterMap::kGtxSetup, names::kGtxSetup, true},
    {ClhsRegisterMap::kPcsSetup, names::kPcsSetup, true},
    {ClhsRegisterMap::kPcsStatus, names::kPcsStatus, true},
    {ClhsRegisterMap::kPcsPacketCounter, names::kPcsPacketCounter, true},
    {ClhsRegisterMap::kControlCoreReset, names::kControlCoreReset, true},
    {ClhsRegisterMap::kTxCmdData, names::kTxCmdData, true},
    {ClhsRegisterMap::kTxCmdCommand, names::kTxCmdCommand, true},
    {ClhsRegisterMap::kTxCmdStatus, names::kTxCmdStatus, true},
    {ClhsRegisterMap::kTxRevision, names::kTxRevision, true},
    {ClhsRegisterMap::kRxCmdData, names::kRxCmdData, true},
    {ClhsRegisterMap::kRxCmdStatus, names::kRxCmdStatus, true},
    {ClhsRegisterMap::kLinkRxStatus, names::kLinkRxStatus, true},
    {ClhsRegisterMap::kDiscoverySelectWrite, names::kDiscoverySelectWrite, false},
    {ClhsRegisterMap::kDiscoverySelectRead, names::kDiscoverySelectRead, false},
    {ClhsRegisterMap::kAppletMasterId, names::kAppletMasterId, false},
    {ClhsRegisterMap::kAppletExtensionId, names::kAppletExtensionId, false},
};

uint32_t AddressOf(const ClhsRegisterMap::Lookup &lookup, const std::string &name) {
    const int64_t address = lookup(name.c_str());
    return address > 0 && address <= 0xFFFFFFFF ? static_cast<uint32_t>(address) : 0;
}

}  // namespace

ClhsRegisterMap ClhsRegisterMap::Find(const Lookup &lookup) {
    ClhsRegisterMap map;
    auto perPort = [&](Register reg, const std::string &base) {
        for (uint32_t port = 0; port < kPorts; ++port) map.addresses_[reg][port] = AddressOf(lookup, base + std::to_string(port));
    };
    auto single = [&](Register reg, const char *name) { map.addresses_[reg].fill(AddressOf(lookup, name)); };
    for (const Entry &entry : kEntries) entry.perPort ? perPort(entry.reg, entry.name) : single(entry.reg, entry.name);

    perPort(kMdioStatus, names::kMdioReadRegPerBus);
    perPort(kMdioCommand, names::kMdioWritePerBus);
    if (!map.Has(kMdioStatus, 0) && !map.Has(kMdioStatus, 1)) {
        map.singleMdioBus_ = true;
        single(kMdioStatus, names::kMdioReadReg);
        single(kMdioCommand, names::kMdioWrite);
    }
    perPort(kGtxStatus, names::kGtxStatusPerPort);
    if (!map.Has(kGtxStatus, 0) && !map.Has(kGtxStatus, 1)) {
        map.sharedGtxStatus_ = true;
        single(kGtxStatus, names::kGtxStatus);
    }
    return map;
}

uint32_t ClhsRegisterMap::Address(Register reg, uint32_t port) const {
    if (reg >= kCount || port >= kPorts) return 0;
    return addresses_[reg][port];
}

}  // namespace vexo::genicam::clhs
