#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "protocol/GenCp.h"

namespace vexo::sim {

// The GenCP checksum of a byte range: its 16-bit little-endian words summed
// (an odd last byte added sign-extended), folded to 16 bits and complemented.
uint16_t GenCpChecksum(std::span<const uint8_t> bytes);

uint16_t BigEndian16(const uint8_t *bytes);
uint64_t BigEndian64(const uint8_t *bytes);
void PutBigEndian16(uint16_t value, uint8_t *bytes);
void PutBigEndian64(uint64_t value, uint8_t *bytes);

// A command descriptor (flags or status, command or acknowledge id, SCD
// length, request id: 2 bytes each, most significant byte first): a serial
// packet's header without its serial prefix.
inline constexpr uint32_t kGenCpDescriptorBytes = protocol::gencp::kHeaderBytes - protocol::gencp::offset::kFlagsOrStatus;

// Header fields of a serial GenCP packet.
struct GenCpHeader {
    uint16_t flagsOrStatus = 0;
    uint16_t commandId = 0;
    uint16_t length = 0;  // bytes of SCD after the header
    uint16_t requestId = 0;
};

// Whether the bytes start with a header whose CCD_CRC holds (at least 16 bytes).
bool CcdChecksumHolds(std::span<const uint8_t> packet);
// Whether the SCD_CRC of a whole packet holds.
bool ScdChecksumHolds(std::span<const uint8_t> packet);
GenCpHeader ReadGenCpHeader(std::span<const uint8_t> packet);
// The fields of a command descriptor (at least kGenCpDescriptorBytes).
GenCpHeader ReadGenCpDescriptor(std::span<const uint8_t> descriptor);

// One packet the camera sends: plain data, so that the last answer can be
// kept in shared memory and sent again.
class GenCpPacket {
public:
    static constexpr uint32_t kCapacity = protocol::gencp::kMaxPacketBytes;

    // A packet of this header (its length from the SCD) with both checksums.
    static GenCpPacket Make(uint16_t flagsOrStatus, uint16_t commandId, uint16_t requestId, std::span<const uint8_t> scd);
    // A copy of a packet (at most kCapacity bytes) whose status or flags and
    // request id are changed, its checksums made to hold again.
    static GenCpPacket Restamped(std::span<const uint8_t> packet, uint16_t flagsOrStatus, uint16_t requestId);

    std::span<const uint8_t> Bytes() const { return {bytes_, size_}; }
    // The command descriptor and SCD, without the serial prefix: what other
    // carriers than a serial line frame. Empty for an empty packet.
    std::span<const uint8_t> Message() const {
        return size_ < protocol::gencp::kHeaderBytes ? std::span<const uint8_t>()
                                                     : Bytes().subspan(protocol::gencp::offset::kFlagsOrStatus);
    }
    bool Empty() const { return size_ == 0; }
    uint16_t RequestId() const { return BigEndian16(bytes_ + protocol::gencp::offset::kRequestId); }
    uint16_t FlagsOrStatus() const { return BigEndian16(bytes_ + protocol::gencp::offset::kFlagsOrStatus); }

private:
    void Seal();

    uint8_t bytes_[kCapacity];
    uint32_t size_ = 0;
};

// An acknowledge that carries no data: a refused read (no SCD), a refused
// write (its SCD with 0 bytes written), any other command (no SCD).
GenCpPacket GenCpRefusal(const GenCpHeader &command, uint16_t status);
// A pending acknowledge announcing that the answer comes within `ms`.
GenCpPacket GenCpPendingAck(uint16_t requestId, uint16_t ms);
// A short acknowledge's SCD: 2 reserved bytes, then a 16-bit value.
std::array<uint8_t, protocol::gencp::kShortAckScdBytes> GenCpShortScd(uint16_t value);

}  // namespace vexo::sim
