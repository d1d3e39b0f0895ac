#pragma once
#include <cstdint>
#include <optional>

namespace vexo::sim {

// Handles the libraries give out name a board slot and the generation of the
// simulator instance they were opened in (its low 16 bits; 0 in none), so that
// a session outlived by a topology change is refused. The tag tells device
// handles from applet handles and keeps small integers from passing as either.
inline constexpr uint32_t kMaxBoards = 16;
inline constexpr uint64_t kDeviceHandleTag = 0x5645584F44000000ull;  // "VEXOD"
inline constexpr uint64_t kAppletHandleTag = 0x5645584F41000000ull;  // "VEXOA"
inline constexpr uint32_t kAnyGeneration = 0;

constexpr uint32_t HandleGeneration(uint32_t generation) { return generation & 0xFFFF; }
constexpr uint64_t DeviceHandle(uint32_t board, uint32_t generation) {
    return kDeviceHandleTag | uint64_t(HandleGeneration(generation)) << 8 | board;
}
constexpr uint64_t AppletHandle(uint32_t board, uint32_t generation) {
    return kAppletHandleTag | uint64_t(HandleGeneration(generation)) << 8 | board;
}

struct HandleTarget {
    uint32_t board;
    uint32_t generation;  // kAnyGeneration, or the low 16 bits of one
};

// The board and generation behind a device or applet handle, nothing for a foreign value.
constexpr std::optional<HandleTarget> BoardOfHandle(uint64_t handle) {
    const uint64_t tag = handle & ~0xFFFFFFull;
    const uint32_t board = uint32_t(handle & 0xFF);
    if ((tag != kDeviceHandleTag && tag != kAppletHandleTag) || board >= kMaxBoards) return std::nullopt;
    return HandleTarget{board, uint32_t(handle >> 8 & 0xFFFF)};
}

}  // namespace vexo::sim
