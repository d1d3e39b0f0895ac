#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "protocol/GenCp.h"

namespace vexo::genicam {

// The GenCP checksum of a byte range: 16-bit little-endian words summed, an odd
// last byte added sign-extended, the sum folded and complemented.
uint16_t GenCpChecksum(std::span<const uint8_t> bytes);

// One GenCP packet of the serial channel: a 16-byte header (preamble, the two
// checksums, channel id, flags or status, command id, SCD length, request id)
// and its SCD. Header fields and addresses travel most significant byte first;
// the checksums low byte first, as computed. A packet never exceeds 512 bytes.
class GenCPPacket {
public:
    using Pointer = std::shared_ptr<GenCPPacket>;

    // A new packet of `totalSize` bytes (16 to 512, else std::invalid_argument):
    // preamble 0x0100, length = totalSize - 16, every other field 0.
    explicit GenCPPacket(uint32_t totalSize);
    virtual ~GenCPPacket() = default;
    GenCPPacket(const GenCPPacket &) = default;
    GenCPPacket &operator=(const GenCPPacket &) = default;

    // The packet at the start of received bytes: null when fewer than 16 bytes,
    // a length field of 497 or more, or fewer bytes than the length announces.
    static Pointer FromReceived(std::span<const uint8_t> bytes);
    // A packet of exactly `size` bytes: null below 16 or above 512 bytes, or
    // when the length field disagrees with the size. So for every packet,
    // Length() + 16 == Size() and the SCD lies inside the buffer.
    static Pointer FromBytes(const uint8_t *bytes, size_t size);

    uint16_t Preamble() const { return Field16(protocol::gencp::offset::kPreamble); }
    uint16_t CcdCrc() const { return Checksum(protocol::gencp::offset::kCcdCrc); }
    uint16_t ScdCrc() const { return Checksum(protocol::gencp::offset::kScdCrc); }
    uint16_t ChannelId() const { return Field16(protocol::gencp::offset::kChannelId); }
    uint16_t Flags() const { return Field16(protocol::gencp::offset::kFlagsOrStatus); }
    uint16_t Status() const { return Flags(); }  // the same field in an acknowledge
    uint16_t Command() const { return Field16(protocol::gencp::offset::kCommandId); }
    uint16_t Length() const { return Field16(protocol::gencp::offset::kLength); }
    uint16_t RequestId() const { return Field16(protocol::gencp::offset::kRequestId); }

    void SetChannelId(uint16_t value) { SetField16(protocol::gencp::offset::kChannelId, value); }
    void SetFlags(uint16_t value) { SetField16(protocol::gencp::offset::kFlagsOrStatus, value); }
    void SetStatus(uint16_t value) { SetFlags(value); }
    void SetCommand(uint16_t value) { SetField16(protocol::gencp::offset::kCommandId, value); }
    void SetRequestId(uint16_t value) { SetField16(protocol::gencp::offset::kRequestId, value); }

    // The SCD: Length() bytes.
    uint8_t *Data() { return bytes_.data() + protocol::gencp::offset::kScd; }
    const uint8_t *Data() const { return bytes_.data() + protocol::gencp::offset::kScd; }
    uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }

    bool IsReadAck() const { return Is(protocol::gencp::CommandId::kReadMemAck); }
    bool IsWriteAck() const { return Is(protocol::gencp::CommandId::kWriteMemAck); }
    bool IsPendingAck() const { return Is(protocol::gencp::CommandId::kPendingAck); }
    bool IsReadCommand() const { return Is(protocol::gencp::CommandId::kReadMem); }
    bool IsWriteCommand() const { return Is(protocol::gencp::CommandId::kWriteMem); }
    bool IsEvent() const { return Is(protocol::gencp::CommandId::kEvent); }
    bool IsEventAck() const { return Is(protocol::gencp::CommandId::kEventAck); }
    bool IsError() const { return (Status() & protocol::gencp::kStatusErrorBit) != 0; }

    // Writes both checksums and hands out the bytes to send.
    std::span<const uint8_t> Serialize();
    // Whether the stored CCD_CRC and SCD_CRC match the bytes they cover.
    bool ChecksumsHold() const;
    // One line per header field, for the log.
    std::string Dump() const;

protected:
    uint16_t Field16(uint32_t offset) const;
    void SetField16(uint32_t offset, uint16_t value);
    uint64_t Field64(uint32_t offset) const;
    void SetField64(uint32_t offset, uint64_t value);

private:
    uint16_t Checksum(uint32_t offset) const;
    bool Is(protocol::gencp::CommandId id) const { return Command() == static_cast<uint16_t>(id); }

    std::vector<uint8_t> bytes_;
};

}  // namespace vexo::genicam
