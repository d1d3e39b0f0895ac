#include "board/AppletRegisterMap.h"

#include <charconv>

namespace vexo::sim {
namespace {

struct RegisterName {
    std::string_view name;  // per-port names end in "_"
    bool perPort;
};

constexpr std::array<RegisterName, kRegisterCount> kNames{{
    {"wCxpPowerEnablePower", false},
    {"rCxpPowerEnablePower", false},
    {"CxpPowerStatus_", true},
    {"CxpPowerSense_", true},
    {"CxpPowerVin_", true},
    {"CxpPowerAdIn_", true},
    {"CxpPowerShuntVoltage_", true},
    {"CxpPowerBusVoltage_", true},
    {"CxpTransceiverNotInTable_", true},
    {"CxpTransceiverDisparityError_", true},
    {"CxpTransceiverGtxDrpAddress_", true},
    {"CxpTransceiverGtxDrpWriteData_", true},
    {"CxpTransceiverGtxDrpReady", false},
    {"CxpTransceiverGtxSetBitRate_", true},
    {"CxpTransceiverGtxSetBitRateDone", false},
    {"CxpTransceiverRxStatus", false},
    {"CxpTransceiverStatus_", true},
    {"CxpTransceiverDownLinkBitRate_", true},
    {"CxpTransceiverUpLinkBitRate_", true},
    {"CxpControlCoreReset_", true},
    {"CxpTxCmdWriteData_", true},
    {"CxpRxCmdAckPacketData_", true},
    {"CxpTxCmdPacketSent", false},
    {"wDiscoverySelect", false},
    {"rDiscoverySelect", false},
    {"DiscoveryAppletMasterID", false},
    {"DiscoveryAppletExtensionID", false},
    {"StreamPacketSize", false},
    {"CxpLedModeSelectWrite_", true},
    {"CxpLedModeSelectRead_", true},
}};

constexpr std::string_view kLegacyResetName = "CxpReset_";

// A parsed name: the register, its port (none for a bare per-port base name)
// and whether it was spelt the older way.
struct ParsedName {
    RegisterId id;
    std::optional<uint32_t> port;
    bool legacy;
};

std::optional<ParsedName> ParseName(std::string_view name) {
    for (size_t i = 0; i < kRegisterCount; ++i)
        if (!kNames[i].perPort && kNames[i].name == name) return ParsedName{RegisterId(i), 0, false};
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
    if (base == kLegacyResetName) return ParsedName{RegisterId::ControlCoreReset, port, true};
    for (size_t i = 0; i < kRegisterCount; ++i)
        if (kNames[i].perPort && kNames[i].name == base) return ParsedName{RegisterId(i), port, false};
    return std::nullopt;
}

bool HasDrpInterface(uint32_t interfaceType) { return interfaceType == 1 || interfaceType == 2; }
bool HasBitRateInterface(uint32_t interfaceType) { return interfaceType == 3 || interfaceType == 6; }
bool HasErrorCounters(uint32_t interfaceType) { return interfaceType != 10; }

}  // namespace

bool IsAppletRegisterName(std::string_view name) { return ParseName(name).has_value(); }

AppletRegisterMap::AppletRegisterMap(const BoardModel &model, const AppletConfig &applet)
    : legacyResetNames_(applet.legacyResetNames) {
    const uint32_t ports = model.portCount;
    const uint32_t type = TransceiverInterfaceType(model, applet.rxStatus);
    for (RegisterId id : {RegisterId::PowerEnableWrite, RegisterId::PowerEnableRead, RegisterId::PowerStatus,
                          RegisterId::ControlCoreReset, RegisterId::TxCmdWriteData, RegisterId::RxCmdAckPacketData,
                          RegisterId::TxCmdPacketSent, RegisterId::DiscoverySelectWrite, RegisterId::DiscoverySelectRead,
                          RegisterId::AppletMasterId, RegisterId::AppletExtensionId, RegisterId::StreamPacketSize,
                          RegisterId::LedWrite, RegisterId::LedRead})
        Add(id, ports);
    if (HasErrorCounters(type))
        for (RegisterId id : {RegisterId::NotInTable, RegisterId::DisparityError}) Add(id, ports);
    if (HasDrpInterface(type))
        for (RegisterId id : {RegisterId::DrpAddress, RegisterId::DrpWriteData, RegisterId::DrpReady}) Add(id, ports);
    if (HasBitRateInterface(type))
        for (RegisterId id : {RegisterId::SetBitRate, RegisterId::SetBitRateDone}) Add(id, ports);
    if (type == 6) Add(RegisterId::RxStatus, ports);
    if (type == 10)
        for (RegisterId id : {RegisterId::TransceiverStatus, RegisterId::DownLinkBitRate, RegisterId::UpLinkBitRate})
            Add(id, ports);
    if (model.family == BoardFamily::A)
        for (RegisterId id : {RegisterId::PowerSense, RegisterId::PowerVin, RegisterId::PowerAdIn}) Add(id, ports);
    if (model.family == BoardFamily::B)
        for (RegisterId id : {RegisterId::PowerShuntVoltage, RegisterId::PowerBusVoltage}) Add(id, ports);
    for (const std::string &name : applet.omitRegisters) Omit(name);
}

void AppletRegisterMap::Add(RegisterId id, uint32_t portCount) {
    const uint32_t count = kNames[size_t(id)].perPort ? portCount : 1;
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
    if (parsed->id == RegisterId::ControlCoreReset && parsed->legacy != legacyResetNames_) return 0;
    if (!Has(parsed->id, *parsed->port)) return 0;
    return AddressOf(parsed->id, *parsed->port);
}

}  // namespace vexo::sim
