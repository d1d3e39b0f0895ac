#pragma once
#include <cstdint>

namespace vexo::sim {

// A packet word carries four wire bytes, the first one in bits 0-7.
constexpr uint32_t PacketWord(const uint8_t *wire) {
    return uint32_t(wire[0]) | uint32_t(wire[1]) << 8 | uint32_t(wire[2]) << 16 | uint32_t(wire[3]) << 24;
}

constexpr void WireBytesOf(uint32_t word, uint8_t *wire) {
    for (int i = 0; i < 4; ++i) wire[i] = uint8_t(word >> (8 * i));
}

// Camera registers travel most significant byte first.
constexpr uint32_t BigEndianValue(const uint8_t *wire) {
    return uint32_t(wire[0]) << 24 | uint32_t(wire[1]) << 16 | uint32_t(wire[2]) << 8 | uint32_t(wire[3]);
}

constexpr void BigEndianBytes(uint32_t value, uint8_t *wire) {
    for (int i = 0; i < 4; ++i) wire[i] = uint8_t(value >> (24 - 8 * i));
}

// The packet word whose wire bytes give a value most significant byte first.
constexpr uint32_t WireWordOf(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

}  // namespace vexo::sim
