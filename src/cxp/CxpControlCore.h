#pragma once
#include <cstdint>

namespace vexo::genicam::cxp {

// Values of a port's "CxpControlCoreReset_<p>": bit 0 holds the uplink
// transmitter, bit 1 the acknowledgment receiver, bit 2 the downlink transceiver.
inline constexpr uint32_t kResetHoldAll = 7;
inline constexpr uint32_t kResetReleaseUplink = 6;    // downlink and acknowledgment receiver held
inline constexpr uint32_t kResetReleaseDownlink = 2;  // acknowledgment receiver held
inline constexpr uint32_t kResetRunning = 0;
inline constexpr uint32_t kResetDownlinkHeld = 1u << 2;

// Modes of a port's LED.
inline constexpr uint32_t kLedAfterConstruction = 1;
inline constexpr uint32_t kLedPacketLogging = 2;
inline constexpr uint32_t kLedMasterLink = 2;
inline constexpr uint32_t kLedLinkReset = 3;
inline constexpr uint32_t kLedNoCamera = 5;
inline constexpr uint32_t kLedExtensionLink = 8;

}  // namespace vexo::genicam::cxp
