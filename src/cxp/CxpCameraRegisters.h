#pragma once
#include <cstdint>

namespace vexo::genicam::cxp {

// Bootstrap registers of a CoaXPress camera (32-bit, most significant byte first).
namespace camera_register {
inline constexpr uint32_t kStandard = 0x0000;  // reads kStandardMagic
inline constexpr uint32_t kRevision = 0x0004;
inline constexpr uint32_t kConnectionReset = 0x4000;
inline constexpr uint32_t kDeviceConnectionId = 0x4004;  // 0 on the master link, else the extension
inline constexpr uint32_t kMasterHostConnectionId = 0x4008;
inline constexpr uint32_t kControlPacketSizeMax = 0x400C;
inline constexpr uint32_t kStreamPacketSizeMax = 0x4010;
inline constexpr uint32_t kConnectionConfig = 0x4014;
inline constexpr uint32_t kConnectionConfigDefault = 0x4018;
}  // namespace camera_register

inline constexpr uint32_t kStandardMagic = 0xC0A79AE5u;

// Timeout of the controller's own camera register accesses.
inline constexpr uint32_t kCameraRegisterTimeoutMs = 200;

// Calls action(port) for every port 0 to 3 in the mask.
template <class Action>
void ForEachPort(uint32_t mask, Action &&action) {
    for (uint32_t port = 0; port < 4; ++port)
        if (mask >> port & 1) action(port);
}

}  // namespace vexo::genicam::cxp
