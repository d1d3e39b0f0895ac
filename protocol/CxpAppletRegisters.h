#pragma once
// The registers a CoaXPress applet can have, looked up by name. A name ending
// in "_" exists once per port: the port number 0 to 3 follows it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexo::protocol::cxp {

enum class AppletRegister : uint32_t {
    kPowerEnableWrite,     // power enable mask, one bit per port
    kPowerEnableRead,
    kPowerStatus,
    kPowerSense,
    kPowerVin,
    kPowerAdIn,
    kPowerShuntVoltage,
    kPowerBusVoltage,
    kGtxRxReset,
    kRxPllDetect,
    kRxResetDone,
    kNotInTable,           // transceiver error counter
    kDisparityError,
    kDrpAddress,           // transceiver configuration port (interface types 1 and 2)
    kDrpWriteData,
    kSetBitRate,           // bit rate selection (interface types 3 and 6)
    kDrpReady,
    kSetBitRateDone,
    kRxStatus,
    kTransceiverStatus,    // interface type 10
    kControlCoreReset,     // bit 0 uplink, bit 1 acknowledgment receiver, bit 2 downlink
    kTxCmdWriteData,       // control packet words out
    kRxCmdAckPacketData,   // acknowledgment words in
    kTxCmdPacketSent,      // bit p: applet port p sent its packet
    kDiscoverySelectWrite, // routing of applet ports to physical ports, one nibble each
    kDiscoverySelectRead,
    kAppletMasterId,       // nibble p: master id of applet port p
    kAppletExtensionId,
    kStreamPacketSize,
    kLedWrite,
    kLedRead,
    kDownLinkBitRate,      // interface type 10
    kUpLinkBitRate,
    kCount
};

inline constexpr size_t kAppletRegisterCount = static_cast<size_t>(AppletRegister::kCount);
// Per-port names exist for the ports 0 to 3.
inline constexpr uint32_t kMaxPorts = 4;

struct AppletRegisterName {
    const char *name;  // per-port names end in "_"
    bool perPort;
};

// Indexed by AppletRegister.
inline constexpr std::array<AppletRegisterName, kAppletRegisterCount> kAppletRegisterNames{{
    {"wCxpPowerEnablePower", false},
    {"rCxpPowerEnablePower", false},
    {"CxpPowerStatus_", true},
    {"CxpPowerSense_", true},
    {"CxpPowerVin_", true},
    {"CxpPowerAdIn_", true},
    {"CxpPowerShuntVoltage_", true},
    {"CxpPowerBusVoltage_", true},
    {"CxpTransceiverGtxRxReset", false},
    {"CxpTransceiverRxPlllDet", false},
    {"CxpTransceiverRxResetDone", false},
    {"CxpTransceiverNotInTable_", true},
    {"CxpTransceiverDisparityError_", true},
    {"CxpTransceiverGtxDrpAddress_", true},
    {"CxpTransceiverGtxDrpWriteData_", true},
    {"CxpTransceiverGtxSetBitRate_", true},
    {"CxpTransceiverGtxDrpReady", false},
    {"CxpTransceiverGtxSetBitRateDone", false},
    {"CxpTransceiverRxStatus", false},
    {"CxpTransceiverStatus_", true},
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
    {"CxpTransceiverDownLinkBitRate_", true},
    {"CxpTransceiverUpLinkBitRate_", true},
}};

constexpr const AppletRegisterName &NameOf(AppletRegister reg) {
    return kAppletRegisterNames[static_cast<size_t>(reg)];
}

// Older applets name their control core resets this way, per port.
inline constexpr const char *kOlderControlCoreResetName = "CxpReset_";

}  // namespace vexo::protocol::cxp
