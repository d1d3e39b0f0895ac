#pragma once
// Camera registers hold their numbers most significant byte first.
#include <cstdint>

namespace vexo::genicam {

template <unsigned Bytes>
uint64_t BigEndianNumber(const uint8_t *bytes) {
    uint64_t value = 0;
    for (unsigned i = 0; i < Bytes; ++i) value = value << 8 | bytes[i];
    return value;
}

inline uint32_t BigEndian32(const uint8_t *bytes) { return static_cast<uint32_t>(BigEndianNumber<4>(bytes)); }
inline uint64_t BigEndian64(const uint8_t *bytes) { return BigEndianNumber<8>(bytes); }

inline void StoreBigEndian32(uint32_t value, uint8_t *bytes) {
    for (unsigned i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

}  // namespace vexo::genicam
