#include "gencp/GenCPPacketKinds.h"

#include <algorithm>
#include <cstring>

namespace vexo::genicam {

namespace gencp = protocol::gencp;

namespace {

constexpr uint32_t kAddressOffset = gencp::offset::kScd;
constexpr uint32_t kReadCountOffset = gencp::offset::kScd + gencp::kReadCommandScdBytes - 2;
constexpr uint32_t kShortAckValueOffset = gencp::offset::kScd + gencp::kShortAckScdBytes - 2;

uint16_t Id(gencp::CommandId id) { return static_cast<uint16_t>(id); }

}  // namespace

GenCPReadPacket::GenCPReadPacket(uint64_t address, uint16_t count)
    : GenCPPacket(gencp::kHeaderBytes + gencp::kReadCommandScdBytes) {
    SetCommand(Id(gencp::CommandId::kReadMem));
    SetField64(kAddressOffset, address);
    SetField16(kReadCountOffset, count);
}

uint64_t GenCPReadPacket::Address() const { return Field64(kAddressOffset); }
uint16_t GenCPReadPacket::Count() const { return Field16(kReadCountOffset); }

GenCPReadAckPacket::GenCPReadAckPacket(std::span<const uint8_t> data)
    : GenCPPacket(gencp::kHeaderBytes + static_cast<uint32_t>(data.size())) {
    SetCommand(Id(gencp::CommandId::kReadMemAck));
    if (!data.empty()) std::memcpy(Data(), data.data(), data.size());
}

GenCPWritePacket::GenCPWritePacket(uint64_t address, std::span<const uint8_t> data)
    : GenCPPacket(gencp::kHeaderBytes + gencp::kWriteCommandAddressBytes + static_cast<uint32_t>(data.size())) {
    SetCommand(Id(gencp::CommandId::kWriteMem));
    SetField64(kAddressOffset, address);
    if (!data.empty()) std::memcpy(Data() + gencp::kWriteCommandAddressBytes, data.data(), data.size());
}

uint64_t GenCPWritePacket::Address() const { return Field64(kAddressOffset); }

std::span<const uint8_t> GenCPWritePacket::Payload() const {
    if (Length() < gencp::kWriteCommandAddressBytes) return {};
    return {Data() + gencp::kWriteCommandAddressBytes, Length() - gencp::kWriteCommandAddressBytes};
}

GenCPWriteAckPacket::GenCPWriteAckPacket(uint16_t bytesWritten)
    : GenCPPacket(gencp::kHeaderBytes + gencp::kShortAckScdBytes) {
    SetCommand(Id(gencp::CommandId::kWriteMemAck));
    SetField16(kShortAckValueOffset, bytesWritten);
}

uint16_t GenCPWriteAckPacket::BytesWritten() const {
    return Length() >= gencp::kShortAckScdBytes ? Field16(kShortAckValueOffset) : 0;
}

GenCPPendingAckPacket::GenCPPendingAckPacket(uint16_t timeoutMs)
    : GenCPPacket(gencp::kHeaderBytes + gencp::kShortAckScdBytes) {
    SetCommand(Id(gencp::CommandId::kPendingAck));
    SetField16(kShortAckValueOffset, timeoutMs);
}

uint16_t GenCPPendingAckPacket::TimeoutMs() const {
    return Length() >= gencp::kShortAckScdBytes ? Field16(kShortAckValueOffset) : 0;
}

}  // namespace vexo::genicam
