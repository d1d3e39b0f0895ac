#pragma once
// GenCP, the control protocol of Camera Link and Camera Link HS cameras: the
// command and acknowledge ids, flags, statuses and bootstrap registers both
// sides use. Each side codes its own packets.
#include <cstdint>

namespace vexo::protocol::gencp {

inline constexpr uint16_t kPreamble = 0x0100;  // serial packets start with 01 00
inline constexpr uint32_t kHeaderBytes = 16;   // serial prefix and command descriptor
inline constexpr uint32_t kMaxPacketBytes = 512;
inline constexpr uint32_t kMaxReadBytes = 496;   // data of one read command
inline constexpr uint32_t kMaxWriteBytes = 488;  // data of one write command

// Serial packet layout (byte offsets). Every 16-bit and 64-bit field goes most
// significant byte first, except the two checksums, which are stored low byte
// first. CCD_CRC covers bytes 6..15, SCD_CRC bytes 6 to the packet's end.
namespace offset {
inline constexpr uint32_t kPreamble = 0;
inline constexpr uint32_t kCcdCrc = 2;
inline constexpr uint32_t kScdCrc = 4;
inline constexpr uint32_t kChannelId = 6;
inline constexpr uint32_t kFlagsOrStatus = 8;
inline constexpr uint32_t kCommandId = 10;
inline constexpr uint32_t kLength = 12;  // bytes of SCD after the header
inline constexpr uint32_t kRequestId = 14;
inline constexpr uint32_t kScd = 16;
inline constexpr uint32_t kChecksummedFrom = kChannelId;
}  // namespace offset

// SCD sizes: a read command (address, reserved, count), a write command's
// address before its data, a write or pending acknowledge (reserved, then the
// bytes written or the temporary time-out in ms).
inline constexpr uint32_t kReadCommandScdBytes = 12;
inline constexpr uint32_t kWriteCommandAddressBytes = 8;
inline constexpr uint32_t kShortAckScdBytes = 4;

// Command and acknowledge ids; an acknowledge's id is its command's + 1.
enum class CommandId : uint16_t {
    kReadMem = 0x0800,
    kReadMemAck = 0x0801,
    kWriteMem = 0x0802,
    kWriteMemAck = 0x0803,
    kPendingAck = 0x0805,
    kEvent = 0x0C00,
    kEventAck = 0x0C01,
};

// Flags of a command.
inline constexpr uint16_t kFlagAckRequested = 0x4000;
inline constexpr uint16_t kFlagResend = 0x8000;

// Statuses of an acknowledge: bit 15 marks an error.
enum class Status : uint16_t {
    kSuccess = 0x0000,
    kNotImplemented = 0x8001,
    kInvalidParameter = 0x8002,
    kInvalidAddress = 0x8003,
    kWriteProtect = 0x8004,
    kBadAlignment = 0x8005,
    kAccessDenied = 0x8006,
    kBusy = 0x8007,
    kMsgTimeout = 0x800B,
    kInvalidHeader = 0x800E,
    kWrongConfig = 0x800F,
    kError = 0x8FFF,
};
inline constexpr uint16_t kStatusErrorBit = 0x8000;

// Bootstrap registers, most significant byte first.
namespace bootstrap {
inline constexpr uint32_t kGenCpVersion = 0x0000;  // 0x00010000 for version 1.0
inline constexpr uint32_t kStringSize = 64;        // each device string, zero-padded
inline constexpr uint32_t kDeviceVendorName = 0x0004;
inline constexpr uint32_t kDeviceModelName = 0x0044;
inline constexpr uint32_t kDeviceFamilyName = 0x0084;
inline constexpr uint32_t kDeviceVersion = 0x00C4;
inline constexpr uint32_t kDeviceManufacturerInfo = 0x0104;
inline constexpr uint32_t kDeviceSerialNumber = 0x0144;
inline constexpr uint32_t kDeviceUserDefinedName = 0x0184;  // writable
inline constexpr uint32_t kMaximumDeviceResponseTime = 0x01CC;  // ms
inline constexpr uint32_t kManifestTableAddress = 0x01D0;       // 8 bytes
inline constexpr uint32_t kTechnologyBootstrapAddress = 0x01D8;  // 8 bytes: the address B below
// Offsets from the technology-specific bootstrap address B (Camera Link).
inline constexpr uint32_t kSupportedBaudMaskOffset = 0;
inline constexpr uint32_t kCurrentBaudMaskOffset = 4;

// The device strings a camera is identified by, under their feature names.
struct DeviceString {
    const char *name;
    uint32_t address;
};
inline constexpr DeviceString kDeviceStrings[] = {
    {"DeviceVendorName", kDeviceVendorName},           {"DeviceModelName", kDeviceModelName},
    {"DeviceFamilyName", kDeviceFamilyName},           {"DeviceVersion", kDeviceVersion},
    {"DeviceManufacturerInfo", kDeviceManufacturerInfo}, {"DeviceSerialNumber", kDeviceSerialNumber},
};
}  // namespace bootstrap

inline constexpr uint32_t kVersion1_0 = 0x00010000;

// The manifest table: an 8-byte entry count, then entries of 64 bytes. An
// entry's first word is the file version, its second the schema version
// (bits 31..16) and the file type (bits 15..10); then the file's address and
// size, 8 bytes each.
namespace manifest {
inline constexpr uint32_t kCountBytes = 8;
inline constexpr uint32_t kEntryBytes = 64;
inline constexpr uint32_t kFileVersionOffset = 0;
inline constexpr uint32_t kSchemaWordOffset = 4;
inline constexpr uint32_t kFileAddressOffset = 8;
inline constexpr uint32_t kFileSizeOffset = 16;
inline constexpr uint32_t kFileTypeShift = 10;
inline constexpr uint32_t kFileTypeMask = 0x3F;
inline constexpr uint32_t kFileTypePlain = 0;
inline constexpr uint32_t kFileTypeZip = 1;
inline constexpr uint32_t kSchemaShift = 16;
}  // namespace manifest

}  // namespace vexo::protocol::gencp
