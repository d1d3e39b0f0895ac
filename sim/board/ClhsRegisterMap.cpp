#include "board/ClhsRegisterMap.h"

#include <charconv>

#include "protocol/ClhsRegisters.h"

namespace vexo::sim {
namespace {

namespace names = protocol::clhs::applet;

struct RegisterName {
    const char *name;  // per-port names end in "_"
    bool perPort;
};

// Indexed by ClhsRegister.
constexpr std::array<RegisterName, kClhsRegisterCount> kNames{{
    {names::kMdioReadReg, false},
    {names::kMdioWrite, false},
    {names::kNetworkControllerReset, false},
    {names::kTransceiverReset, false},
    {names::kTransceiverLocked, false},
    {names::kTransceiverRxResetDone, false},
    {names::kTransceiverTxResetDone, false},
    {names::kGtxStatus, false},
    {names::kDiscoverySelectWrite, false},
    {names::kDiscoverySelectRead, false},
    {names::kAppletMasterId, false},
    {names::kAppletExtensionId, false},
    {names::kGrabberStatusWrite, false},
    {names::kGrabberStatusRead, false},
    {names::kMdioReadRegPerBus, true},
    {names::kMdioWritePerBus, true},
    {names::kTransceiverNotInTable, true},
    {names::kGtxStatusPerPort, true},
    {names::kGtxSetup, true},
    {names::kPcsSetup, true},
    {names::kPcsStatus, true},
    {names::kPcsPacketCounter, true},
    {names::kControlCoreReset, true},
    {names::kTxCmdData, true},
    {names::kTxCmdCommand, true},
    {names::kTxCmdStatus, true},
    {names::kTxRevision, true},
    {names::kRxCmdData, true},
    {names::kRxCmdStatus, true},
    {names::kLinkRxStatus, true},
    {names::kLostPackages, true},
    {names::kXCoreReceivedPackage, true},
    {names::kXCoreSendPackage, true},
    {names::kLedModeWrite, true},
}};

struct ParsedName {
    ClhsRegister id;
    std::optional<uint32_t> port;  // none for a bare per-port base name
};

std::optional<ParsedName> ParseName(std::string_view name) {
    for (size_t i = 0; i < kClhsRegisterCount; ++i)
        if (!kNames[i].perPort && name == kNames[i].name) return ParsedName{ClhsRegister(i), 0};
    const size_t split = name.rfind('_');
    if (split == std::string_view::npos) return std::nullopt;
    const std::string_view base = name.substr(0, split + 1), digits = name.substr(split + 1);
    std::optional<uint32_t> port;
    if (!digits.empty()) {
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size() || value >= kClhsPorts) return std::nullopt;
        port = value;
    }
    for (size_t i = 0; i < kClhsRegisterCount; ++i)
        if (kNames[i].perPort && base == kNames[i].name) return ParsedName{ClhsRegister(i), port};
    return std::nullopt;
}

}  // namespace

bool IsClhsRegisterName(std::string_view name) { return ParseName(name).has_value(); }

ClhsRegisterMap::ClhsRegisterMap(const AppletConfig &applet) {
    for (size_t i = 0; i < kClhsRegisterCount; ++i) {
        const auto id = ClhsRegister(i);
        const bool mdioUnwanted = applet.singleMdio ? (id == ClhsRegister::kMdioReadRegBus || id == ClhsRegister::kMdioWriteBus)
                                                    : (id == ClhsRegister::kMdioReadReg || id == ClhsRegister::kMdioWrite);
        const bool gtxUnwanted = applet.sharedGtxStatus ? id == ClhsRegister::kGtxStatus : id == ClhsRegister::kGtxStatusShared;
        if (mdioUnwanted || gtxUnwanted) continue;
        present_[i][0] = true;
        present_[i][1] = kNames[i].perPort;
    }
    for (const std::string &name : applet.omitRegisters)
        if (const std::optional<ParsedName> parsed = ParseName(name)) {
            auto &ports = present_[size_t(parsed->id)];
            if (parsed->port)
                ports[*parsed->port] = false;
            else
                ports.fill(false);
        }
}

uint32_t ClhsRegisterMap::Find(std::string_view name) const {
    const std::optional<ParsedName> parsed = ParseName(name);
    if (!parsed || !parsed->port || !present_[size_t(parsed->id)][*parsed->port]) return 0;
    return AddressOf(parsed->id, *parsed->port);
}

}  // namespace vexo::sim
