#include "common/Crc32.h"

#include <array>

namespace vexo::sim {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

uint32_t Update(uint32_t crc, uint8_t byte) { return (crc >> 8) ^ kTable[(crc ^ byte) & 0xFF]; }

}  // namespace

uint32_t ControlChannelCrc(std::span<const uint8_t> bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) crc = Update(crc, byte);
    return crc;
}

uint32_t ControlChannelCrc(std::span<const uint32_t> words) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8) crc = Update(crc, uint8_t(word >> shift));
    return crc;
}

}  // namespace vexo::sim
