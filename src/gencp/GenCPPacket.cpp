#include "gencp/GenCPPacket.h"

#include <cstdio>
#include <stdexcept>

namespace vexo::genicam {

namespace gencp = protocol::gencp;

uint16_t GenCpChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) sum += static_cast<uint32_t>(bytes[i] | bytes[i + 1] << 8);
    if (i < bytes.size()) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(bytes[i])));
    uint32_t folded = (sum >> 16) + (sum & 0xFFFF);
    folded += folded >> 16;
    return static_cast<uint16_t>(~folded);
}

GenCPPacket::GenCPPacket(uint32_t totalSize) {
    if (totalSize < gencp::kHeaderBytes || totalSize > gencp::kMaxPacketBytes)
        throw std::invalid_argument("GenCP packet size out of range: " + std::to_string(totalSize));
    bytes_.assign(totalSize, 0);
    SetField16(gencp::offset::kPreamble, gencp::kPreamble);
    SetField16(gencp::offset::kLength, static_cast<uint16_t>(totalSize - gencp::kHeaderBytes));
}

GenCPPacket::Pointer GenCPPacket::FromReceived(std::span<const uint8_t> bytes) {
    if (bytes.size() < gencp::kHeaderBytes) return nullptr;
    const uint32_t length = static_cast<uint32_t>(bytes[gencp::offset::kLength] << 8 | bytes[gencp::offset::kLength + 1]);
    const uint32_t size = length + gencp::kHeaderBytes;
    if (size > gencp::kMaxPacketBytes || bytes.size() < size) return nullptr;
    return FromBytes(bytes.data(), size);
}

GenCPPacket::Pointer GenCPPacket::FromBytes(const uint8_t *bytes, size_t size) {
    if (bytes == nullptr || size < gencp::kHeaderBytes || size > gencp::kMaxPacketBytes) return nullptr;
    const uint32_t length = static_cast<uint32_t>(bytes[gencp::offset::kLength] << 8 | bytes[gencp::offset::kLength + 1]);
    if (length + gencp::kHeaderBytes != size) return nullptr;
    auto packet = std::make_shared<GenCPPacket>(static_cast<uint32_t>(size));
    packet->bytes_.assign(bytes, bytes + size);
    return packet;
}

uint16_t GenCPPacket::Field16(uint32_t offset) const {
    return static_cast<uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
}

void GenCPPacket::SetField16(uint32_t offset, uint16_t value) {
    bytes_[offset] = static_cast<uint8_t>(value >> 8);
    bytes_[offset + 1] = static_cast<uint8_t>(value);
}

uint64_t GenCPPacket::Field64(uint32_t offset) const {
    uint64_t value = 0;
    for (uint32_t i = 0; i < 8; ++i) value = value << 8 | bytes_[offset + i];
    return value;
}

void GenCPPacket::SetField64(uint32_t offset, uint64_t value) {
    for (uint32_t i = 0; i < 8; ++i) bytes_[offset + i] = static_cast<uint8_t>(value >> (56 - 8 * i));
}

uint16_t GenCPPacket::Checksum(uint32_t offset) const {
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
}

namespace {

std::span<const uint8_t> CcdRange(const std::vector<uint8_t> &bytes) {
    return std::span(bytes).subspan(gencp::offset::kChecksummedFrom, gencp::kHeaderBytes - gencp::offset::kChecksummedFrom);
}

std::span<const uint8_t> ScdRange(const std::vector<uint8_t> &bytes) {
    return std::span(bytes).subspan(gencp::offset::kChecksummedFrom);
}

void StoreChecksum(std::vector<uint8_t> &bytes, uint32_t offset, uint16_t checksum) {
    bytes[offset] = static_cast<uint8_t>(checksum);
    bytes[offset + 1] = static_cast<uint8_t>(checksum >> 8);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// The field as the bytes lie in memory on a little-endian host, and its value.
std::string SwappedField(const char *name, uint16_t value) {
    const uint16_t stored = static_cast<uint16_t>(value >> 8 | value << 8);
    return std::string(name) + Hex(stored) + " -> " + Hex(value) + "\n";
}

}  // namespace

std::span<const uint8_t> GenCPPacket::Serialize() {
    StoreChecksum(bytes_, gencp::offset::kCcdCrc, GenCpChecksum(CcdRange(bytes_)));
    StoreChecksum(bytes_, gencp::offset::kScdCrc, GenCpChecksum(ScdRange(bytes_)));
    return bytes_;
}

bool GenCPPacket::ChecksumsHold() const {
    return CcdCrc() == GenCpChecksum(CcdRange(bytes_)) && ScdCrc() == GenCpChecksum(ScdRange(bytes_));
}

std::string GenCPPacket::Dump() const {
    return SwappedField(" preamble raw: ", Preamble()) + " CCD_CRC " + Hex(CcdCrc()) + "\n" + " SCD_CRC " +
           Hex(ScdCrc()) + "\n" + SwappedField(" channel_id ", ChannelId()) + SwappedField(" flags ", Flags()) +
           SwappedField(" cmd ", Command()) + SwappedField(" length ", Length()) + SwappedField(" id ", RequestId());
}

}  // namespace vexo::genicam
