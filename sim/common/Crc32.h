#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexo::sim {

// The control channel's CRC: reflected CRC-32 (polynomial 0xEDB88320),
// initial value 0xFFFFFFFF and no final complement, over wire bytes.
uint32_t ControlChannelCrc(std::span<const uint8_t> bytes);

// The same over packet words, each contributing its four wire bytes
// (the first wire byte in bits 0-7).
uint32_t ControlChannelCrc(std::span<const uint32_t> words);

}  // namespace vexo::sim
