#include "camera/GenCpPacket.h"

#include <algorithm>
#include <cstring>

namespace vexo::sim {
namespace {

namespace offset = protocol::gencp::offset;
using protocol::gencp::kHeaderBytes;

uint16_t StoredChecksum(const uint8_t *bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

void PutChecksum(uint16_t value, uint8_t *bytes) {
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
}

}  // namespace

uint16_t GenCpChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) sum += uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8;
    if (i < bytes.size()) sum += uint32_t(int32_t(int8_t(bytes[i])));
    uint32_t folded = (sum >> 16) + (sum & 0xFFFF);
    folded += folded >> 16;
    return uint16_t(~folded);
}

uint16_t BigEndian16(const uint8_t *bytes) { return uint16_t(bytes[0] << 8 | bytes[1]); }

uint64_t BigEndian64(const uint8_t *bytes) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | bytes[i];
    return value;
}

void PutBigEndian16(uint16_t value, uint8_t *bytes) {
    bytes[0] = uint8_t(value >> 8);
    bytes[1] = uint8_t(value);
}

void PutBigEndian64(uint64_t value, uint8_t *bytes) {
    for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(value >> (56 - 8 * i));
}

bool CcdChecksumHolds(std::span<const uint8_t> packet) {
    return packet.size() >= kHeaderBytes &&
           GenCpChecksum(packet.subspan(offset::kChecksummedFrom, kHeaderBytes - offset::kChecksummedFrom)) ==
               StoredChecksum(packet.data() + offset::kCcdCrc);
}

bool ScdChecksumHolds(std::span<const uint8_t> packet) {
    return packet.size() >= kHeaderBytes &&
           GenCpChecksum(packet.subspan(offset::kChecksummedFrom)) == StoredChecksum(packet.data() + offset::kScdCrc);
}

GenCpHeader ReadGenCpHeader(std::span<const uint8_t> packet) {
    return ReadGenCpDescriptor(packet.subspan(offset::kFlagsOrStatus));
}

GenCpHeader ReadGenCpDescriptor(std::span<const uint8_t> descriptor) {
    // The offsets count from the serial prefix.
    const auto field = [&](uint32_t at) { return BigEndian16(descriptor.data() + (at - offset::kFlagsOrStatus)); };
    return {field(offset::kFlagsOrStatus), field(offset::kCommandId), field(offset::kLength), field(offset::kRequestId)};
}

GenCpPacket GenCpRefusal(const GenCpHeader &command, uint16_t status) {
    const uint8_t noneWritten[protocol::gencp::kShortAckScdBytes]{};
    const bool write = command.commandId == uint16_t(protocol::gencp::CommandId::kWriteMem);
    return GenCpPacket::Make(status, uint16_t(command.commandId + 1), command.requestId,
                             write ? std::span<const uint8_t>(noneWritten) : std::span<const uint8_t>());
}

GenCpPacket GenCpPendingAck(uint16_t requestId, uint16_t ms) {
    return GenCpPacket::Make(0, uint16_t(protocol::gencp::CommandId::kPendingAck), requestId, GenCpShortScd(ms));
}

std::array<uint8_t, protocol::gencp::kShortAckScdBytes> GenCpShortScd(uint16_t value) {
    std::array<uint8_t, protocol::gencp::kShortAckScdBytes> scd{};
    PutBigEndian16(value, scd.data() + 2);
    return scd;
}

GenCpPacket GenCpPacket::Make(uint16_t flagsOrStatus, uint16_t commandId, uint16_t requestId,
                              std::span<const uint8_t> scd) {
    GenCpPacket packet;
    const size_t scdBytes = std::min<size_t>(scd.size(), kCapacity - kHeaderBytes);
    packet.size_ = uint32_t(kHeaderBytes + scdBytes);
    std::memset(packet.bytes_, 0, kHeaderBytes);
    PutBigEndian16(protocol::gencp::kPreamble, packet.bytes_ + offset::kPreamble);
    PutBigEndian16(flagsOrStatus, packet.bytes_ + offset::kFlagsOrStatus);
    PutBigEndian16(commandId, packet.bytes_ + offset::kCommandId);
    PutBigEndian16(uint16_t(scdBytes), packet.bytes_ + offset::kLength);
    PutBigEndian16(requestId, packet.bytes_ + offset::kRequestId);
    if (scdBytes) std::memcpy(packet.bytes_ + kHeaderBytes, scd.data(), scdBytes);
    packet.Seal();
    return packet;
}

GenCpPacket GenCpPacket::Restamped(std::span<const uint8_t> bytes, uint16_t flagsOrStatus, uint16_t requestId) {
    GenCpPacket packet;
    packet.size_ = uint32_t(std::min<size_t>(bytes.size(), kCapacity));
    std::memcpy(packet.bytes_, bytes.data(), packet.size_);
    if (packet.size_ < kHeaderBytes) return packet;
    PutBigEndian16(flagsOrStatus, packet.bytes_ + offset::kFlagsOrStatus);
    PutBigEndian16(requestId, packet.bytes_ + offset::kRequestId);
    packet.Seal();
    return packet;
}

void GenCpPacket::Seal() {
    const std::span<const uint8_t> bytes(bytes_, size_);
    PutChecksum(GenCpChecksum(bytes.subspan(offset::kChecksummedFrom, kHeaderBytes - offset::kChecksummedFrom)),
                bytes_ + offset::kCcdCrc);
    PutChecksum(GenCpChecksum(bytes.subspan(offset::kChecksummedFrom)), bytes_ + offset::kScdCrc);
}

}  // namespace vexo::sim
