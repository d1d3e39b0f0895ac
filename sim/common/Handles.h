#pragma once
#include <cstdint>
#include <optional>

namespace vexo::sim {

// Handles the libraries give out name a board slot; the tag tells device
// handles from applet handles and keeps small integers from passing as either.
inline constexpr uint32_t kMaxBoards = 16;
inline constexpr uint64_t kDeviceHandleTag = 0x5645584F44000000ull;  // "VEXOD"
inline constexpr uint64_t kAppletHandleTag = 0x5645584F41000000ull;  // "VEXOA"

constexpr uint64_t DeviceHandle(uint32_t board) { return kDeviceHandleTag | board; }
constexpr uint64_t AppletHandle(uint32_t board) { return kAppletHandleTag | board; }

// The board index behind a device or applet handle, nothing for a foreign value.
constexpr std::optional<uint32_t> BoardOfHandle(uint64_t handle) {
    const uint64_t tag = handle & ~0xFFFFFFull;
    const uint64_t index = handle & 0xFFFFFFull;
    if ((tag != kDeviceHandleTag && tag != kAppletHandleTag) || index >= kMaxBoards) return std::nullopt;
    return uint32_t(index);
}

}  // namespace vexo::sim
