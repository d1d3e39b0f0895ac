#pragma once
// Camera Link HS: the applet registers of the board (looked up by name, "_0"
// and "_1" for the ports 0 and 1), the message channel's commands, status bits
// and GenCP framing words, and the camera's registers beside GenCP's own.
#include <cstdint>

namespace vexo::protocol::clhs {

namespace applet {
// MDIO: one bus ("MdioReadReg", "MdioWrite") or two (with "_0" and "_1").
inline constexpr const char *kMdioReadReg = "MdioReadReg";
inline constexpr const char *kMdioWrite = "MdioWrite";
inline constexpr const char *kNetworkControllerReset = "NetworkControllerReset";
// Transceiver reset and state, bit p for port p.
inline constexpr const char *kTransceiverReset = "ClhsTransceiverReset";
inline constexpr const char *kTransceiverLocked = "ClhsTransceiverLocked";
inline constexpr const char *kTransceiverRxResetDone = "ClhsTransceiverRxResetDone";
inline constexpr const char *kTransceiverTxResetDone = "ClhsTransceiverTxResetDone";
// "GtxStatus" alone: one register shared by both ports.
inline constexpr const char *kGtxStatus = "GtxStatus";
// Per port: the name followed by the port number.
inline constexpr const char *kTransceiverNotInTable = "ClhsTransceiverNotInTable_";
inline constexpr const char *kGtxStatusPerPort = "GtxStatus_";
inline constexpr const char *kGtxSetup = "GtxSetup_";
inline constexpr const char *kPcsSetup = "PcsSetup_";
inline constexpr const char *kPcsStatus = "PcsStatus_";
inline constexpr const char *kPcsPacketCounter = "PcsPacketCounter_";
inline constexpr const char *kControlCoreReset = "ClhsControlCoreReset_";
inline constexpr const char *kTxCmdData = "ClhsTxCmdData_";
inline constexpr const char *kTxCmdCommand = "ClhsTxCmdCommand_";
inline constexpr const char *kTxCmdStatus = "ClhsTxCmdStatus_";
inline constexpr const char *kTxRevision = "ClhsTxRevision_";
inline constexpr const char *kRxCmdData = "ClhsRxCmdData_";
inline constexpr const char *kRxCmdStatus = "ClhsRxCmdStatus_";
inline constexpr const char *kLinkRxStatus = "ClhsLinkRxStatus_";
inline constexpr const char *kLostPackages = "ClhsLostPackages_";
inline constexpr const char *kXCoreReceivedPackage = "ClhsXCoreReceivedPackage_";
inline constexpr const char *kXCoreSendPackage = "ClhsXCoreSendPackage_";
inline constexpr const char *kLedModeWrite = "LEDModeWrite_";
inline constexpr const char *kMdioReadRegPerBus = "MdioReadReg_";
inline constexpr const char *kMdioWritePerBus = "MdioWrite_";
// Once per board.
inline constexpr const char *kDiscoverySelectWrite = "DiscoverySelectWrite";
inline constexpr const char *kDiscoverySelectRead = "DiscoverySelectRead";
inline constexpr const char *kAppletMasterId = "DiscoveryAppletMasterID";
inline constexpr const char *kAppletExtensionId = "DiscoveryAppletExtensionID";
inline constexpr const char *kGrabberStatusWrite = "GrabberStatusWrite";
inline constexpr const char *kGrabberStatusRead = "GrabberStatusRead";
}  // namespace applet

// Values written to "ClhsTxCmdCommand_<p>".
inline constexpr uint64_t kTxCommandSend = 0x81;
inline constexpr uint64_t kTxCommandClear = 0x82;
// Bits of "ClhsTxCmdStatus_<p>".
inline constexpr uint64_t kTxStatusBusy = 1u << 0;
inline constexpr uint64_t kTxStatusSendFailed = 1u << 1;
inline constexpr uint64_t kTxStatusNotEmpty = 1u << 2;
// Bits of "ClhsRxCmdStatus_<p>".
inline constexpr uint64_t kRxStatusMessage = 1u << 0;
inline constexpr uint64_t kRxStatusWordsLeft = 1u << 7;
inline constexpr uint64_t kRxStatusFailed = 1u << 24;
// A word read from "ClhsRxCmdData_<p>" carries data in bits 0-31 when this bit is set.
inline constexpr uint64_t kRxDataValid = 1ull << 32;
// "ClhsControlCoreReset_<p>": this value, then 0, clears the message channel.
inline constexpr uint64_t kControlCoreResetValue = 5;
// Bit 17 of the MDIO status register: a command is under way; bits 18-21: it failed.
inline constexpr uint64_t kMdioBusy = 1u << 17;
inline constexpr uint64_t kMdioErrors = 0xFu << 18;
// The operation field of an MDIO command word.
inline constexpr uint32_t kMdioOperationWrite = 1;
inline constexpr uint32_t kMdioOperationRead = 3;

// The first two words of every GenCP message on the channel.
inline constexpr uint32_t kMessageWord0 = 0x00005040;
inline constexpr uint32_t kMessageWord1 = 0x00010000;

// Camera registers beside the GenCP bootstrap registers: one value per camera,
// whatever link a command comes on, except kLinkId.
namespace camera {
inline constexpr uint32_t kDeviceId = 0x10000;  // LLDeviceID, writable
inline constexpr uint32_t kLinkId = 0x10004;    // the link the command came on: 0 master, k extension k
inline constexpr uint32_t kNumberOfLinks = 0x10008;
inline constexpr uint32_t kDeviceConfigurationIndex = 0x10010;  // writable
inline constexpr uint32_t kNumberOfConfigurations = 0x10014;
inline constexpr uint32_t kHotplugRequest = 0x10018;  // writing 1 drops and re-establishes the links
inline constexpr uint32_t kReconnectTime = 0x1001C;  // ms
inline constexpr uint32_t kConfigurations = 0x10020;  // 8 bytes each: links, then Mbit/s
inline constexpr uint32_t kConfigurationStride = 8;
inline constexpr uint32_t kFecEnable = 0x10128;  // writable
inline constexpr uint32_t kLinkSpeed = 0x10174;  // Mbit/s
}  // namespace camera

}  // namespace vexo::protocol::clhs
