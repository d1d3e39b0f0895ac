#include "board/AppletRegisterMap.h"

#include <charconv>

namespace vexo::sim {
namespace {

using protocol::cxp::kAppletRegisterNames;
using protocol::cxp::NameOf;

// A parsed name: the register, its port (none for a bare per-port base name)
// and whether it was spelt the older way.
struct ParsedName {
    AppletRegister id;
    std::optional<uint32_t> port;
    bool legacy;
};

std::optional<ParsedName> ParseName(std::string_view name) {
    for (size_t i = 0; i < kRegisterCount; ++i)
        if (!kAppletRegisterNames[i].perPort && name == kAppletRegisterNames[i].name)
            return ParsedName{AppletRegister(i), 0, false};
    const size_t split = name.rfind('_');
    if (split == std::string_view::npos) return std::nullopt;
    const std::string_view base = name.substr(0, split + 1), digits = name.substr(split + 1);
    std::optional<uint32_t> port;
    if (!digits.empty()) {
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size() || value >= kMaxPorts) return std::nullopt;
        port = value;
    }
    if (base == protocol::cxp::kOlderControlCoreResetName)
        return ParsedName{AppletRegister::kControlCoreReset, port, true};
    for (size_t i = 0; i < kRegisterCount; ++i)
        if (kAppletRegisterNames[i].perPort && base == kAppletRegisterNames[i].name)
            return ParsedName{AppletRegister(i), port, false};
    return std::nullopt;
}

bool HasDrpInterface(uint32_t interfaceType) { return interfaceType == 1 || interfaceType == 2; }
bool HasBitRateInterface(uint32_t interfaceType) { return interfaceType == 3 || interfaceType == 6; }
bool HasErrorCounters(uint32_t interfaceType) { return interfaceType != 10; }

}  // namespace

bool IsAppletRegisterName(std::string_view name) { return ParseName(name).has_value(); }

AppletRegisterMap::AppletRegisterMap(const BoardModel &model, const AppletConfig &applet)
    : legacyResetNames_(applet.legacyResetNames) {
    using enum AppletRegister;
    const uint32_t ports = model.portCount;
    const uint32_t type = TransceiverInterfaceType(model, applet.rxStatus);
    for (AppletRegister id : {kPowerEnableWrite, kPowerEnableRead, kPowerStatus, kControlCoreReset, kTxCmdWriteData,
                              kRxCmdAckPacketData, kTxCmdPacketSent, kDiscoverySelectWrite, kDiscoverySelectRead,
                              kAppletMasterId, kAppletExtensionId, kStreamPacketSize, kLedWrite, kLedRead})
        Add(id, ports);
    if (HasErrorCounters(type))
        for (AppletRegister id : {kNotInTable, kDisparityError}) Add(id, ports);
    if (HasDrpInterface(type))
        for (AppletRegister id : {kDrpAddress, kDrpWriteData, kDrpReady}) Add(id, ports);
    if (HasBitRateInterface(type))
        for (AppletRegister id : {kSetBitRate, kSetBitRateDone}) Add(id, ports);
    if (type == 6) Add(kRxStatus, ports);
    if (type == 10)
        for (AppletRegister id : {kTransceiverStatus, kDownLinkBitRate, kUpLinkBitRate}) Add(id, ports);
    if (model.family == BoardFamily::kA)
        for (AppletRegister id : {kPowerSense, kPowerVin, kPowerAdIn}) Add(id, ports);
    if (model.family == BoardFamily::kB)
        for (AppletRegister id : {kPowerShuntVoltage, kPowerBusVoltage}) Add(id, ports);
    for (const std::string &name : applet.omitRegisters) Omit(name);
}

void AppletRegisterMap::Add(AppletRegister id, uint32_t portCount) {
    const uint32_t count = NameOf(id).perPort ? portCount : 1;
    for (uint32_t port = 0; port < count; ++port) present_[size_t(id)][port] = true;
}

void AppletRegisterMap::Omit(std::string_view name) {
    const std::optional<ParsedName> parsed = ParseName(name);
    if (!parsed) return;
    auto &ports = present_[size_t(parsed->id)];
    if (parsed->port)
        ports[*parsed->port] = false;
    else
        ports.fill(false);
}

uint32_t AppletRegisterMap::Find(std::string_view name) const {
    const std::optional<ParsedName> parsed = ParseName(name);
    if (!parsed || !parsed->port) return 0;
    // The control core resets answer to one spelling only: the one the applet was built with.
    if (parsed->id == AppletRegister::kControlCoreReset && parsed->legacy != legacyResetNames_) return 0;
    if (!Has(parsed->id, *parsed->port)) return 0;
    return AddressOf(parsed->id, *parsed->port);
}

}  // namespace vexo::sim
