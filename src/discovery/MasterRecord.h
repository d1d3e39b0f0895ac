#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "discovery/PortRecord.h"

namespace vexo::genicam {

// The camera identification strings handed out per camera, in this order.
inline constexpr std::array<const char *, 8> kCameraInfoNames = {
    "DeviceVendorName",      "DeviceModelName",        "DeviceFamilyName",   "DeviceVersion",
    "DeviceFirmwareVersion", "DeviceManufacturerInfo", "DeviceSerialNumber", "DeviceUserId"};

// The eight values of kCameraInfoNames; a name never set is absent.
using CameraInfoTexts = std::array<std::optional<std::string>, kCameraInfoNames.size()>;

// What discovery learned about one camera master.
struct MasterRecord {
    uint32_t controlPacketSize = 0;   // bytes
    uint32_t streamPacketSize = 0;    // bytes
    uint32_t discoveryBitRate = 0;    // Mbit/s per link, as found
    uint32_t bitRate = 0;             // Mbit/s per link in use; kNone after a reset
    uint32_t commandPort = PortRecord::kNone;  // physical port, then applet port once connected
    uint32_t masterId = 0xFFFFFFFEu;  // copy of the key once a command port is set
    uint32_t protocolRevision = PortRecord::kNone;
    std::map<std::string, std::string> infoStrings;

    // A null value stores the empty text.
    void SetInfo(const std::string &name, const char *value);
    // The values of the eight known names.
    CameraInfoTexts InfoFields() const;
};

}  // namespace vexo::genicam
