#pragma once
#include <chrono>
#include <cstdint>

#include "camera/CxpCameraState.h"
#include "camera/FeatureRegisters.h"
#include "camera/GenCpPacket.h"
#include "protocol/GenCp.h"

namespace vexo::sim {

// Camera addresses the GenCP camera's bootstrap points at: its
// technology-specific registers (baud masks) and its manifest table. The
// description lives at kDescriptionAddress, as on every simulated camera.
inline constexpr uint32_t kGenCpTechnologyBootstrap = 0x1000;
inline constexpr uint32_t kGenCpManifestTable = 0x2000;
// The device strings from vendor name to user-defined name, 64 bytes each.
inline constexpr uint32_t kGenCpStringCount = 7;
inline constexpr uint32_t kGenCpManifestBytes = protocol::gencp::manifest::kCountBytes + protocol::gencp::manifest::kEntryBytes;
// The longest command the camera takes apart: a header and 1008 bytes of SCD,
// so that over-long writes are refused rather than lost.
inline constexpr uint32_t kGenCpInputBytes = 1024;

// The state of a GenCP camera, as plain data in the simulator's shared
// memory; its description is a byte area of the segment.
struct GenCpCameraState {
    using Clock = std::chrono::steady_clock;

    uint32_t baud = 9600;  // the line rate it listens and answers at
    FeatureRegisters features;
    uint8_t strings[kGenCpStringCount * protocol::gencp::bootstrap::kStringSize]{};
    uint8_t manifest[kGenCpManifestBytes]{};
    ByteArea description;
    // The command being received.
    uint8_t input[kGenCpInputBytes]{};
    uint32_t inputCount = 0;
    Clock::time_point lastByteAt;
    // The last command executed and its answer, for a resend.
    bool remembered = false;
    uint16_t lastRequestId = 0;
    uint16_t lastCommandId = 0;
    GenCpPacket lastAnswer;
    uint32_t noiseSeed = 0x9E3779B9u;
};

}  // namespace vexo::sim
