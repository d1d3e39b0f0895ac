#pragma once
// The bootstrap registers of a CoaXPress camera: 32-bit registers, most
// significant byte first on the wire.
#include <cstdint>

namespace vexo::protocol::cxp {

namespace bootstrap {
inline constexpr uint32_t kStandard = 0x0000;  // reads kStandardMagic
inline constexpr uint32_t kRevision = 0x0004;
inline constexpr uint32_t kXmlManifestSize = 0x0008;
inline constexpr uint32_t kXmlManifestSelector = 0x000C;
inline constexpr uint32_t kXmlVersion = 0x0010;
inline constexpr uint32_t kXmlSchemaVersion = 0x0014;
inline constexpr uint32_t kXmlUrlAddress = 0x0018;  // address of the text "Local:<file>;<address>;<length>"
inline constexpr uint32_t kConnectionReset = 0x4000;  // writing 1 returns every link to its discovery speed
inline constexpr uint32_t kDeviceConnectionId = 0x4004;  // 0 on the master link, k on extension k
inline constexpr uint32_t kMasterHostConnectionId = 0x4008;
inline constexpr uint32_t kControlPacketSizeMax = 0x400C;
inline constexpr uint32_t kStreamPacketSizeMax = 0x4010;
inline constexpr uint32_t kConnectionConfig = 0x4014;  // (links << 16) | bit rate code
inline constexpr uint32_t kConnectionConfigDefault = 0x4018;

// A text field of the bootstrap area, zero-padded, not necessarily zero-terminated.
struct DeviceString {
    uint32_t address;
    uint32_t size;
};
inline constexpr DeviceString kDeviceVendorName{0x2000, 32};
inline constexpr DeviceString kDeviceModelName{0x2020, 32};
inline constexpr DeviceString kDeviceManufacturerInfo{0x2040, 48};
inline constexpr DeviceString kDeviceVersion{0x2070, 32};
inline constexpr DeviceString kDeviceFirmwareVersion{0x2090, 32};  // revision 1.1 and later
inline constexpr DeviceString kDeviceSerialNumber{0x20B0, 16};
inline constexpr DeviceString kDeviceUserId{0x20C0, 16};  // the one writable string
// The device strings lie back to back from the vendor name to the user id.
inline constexpr uint32_t kDeviceStringsBegin = kDeviceVendorName.address;
inline constexpr uint32_t kDeviceStringsEnd = kDeviceUserId.address + kDeviceUserId.size;
}  // namespace bootstrap

inline constexpr uint32_t kStandardMagic = 0xC0A79AE5u;

// Values of the Revision register.
inline constexpr uint32_t kRevision1_0 = 0x00010000;
inline constexpr uint32_t kRevision1_1 = 0x00010001;
inline constexpr uint32_t kRevision2_0 = 0x00020000;

}  // namespace vexo::protocol::cxp
