#pragma once
// The five kinds of GenCP packet the stack builds or reads. Each is a view of
// a packet's fields; accessors of received acknowledges read only what the
// packet holds and give 0 for a field it is too short to carry.
#include <cstdint>
#include <span>

#include "gencp/GenCPPacket.h"

namespace vexo::genicam {

// Read memory command: address, 2 reserved bytes, bytes to read. 28 bytes.
class GenCPReadPacket : public GenCPPacket {
public:
    GenCPReadPacket(uint64_t address, uint16_t count);
    uint64_t Address() const;
    uint16_t Count() const;
};

// Read memory acknowledge: the data read.
class GenCPReadAckPacket : public GenCPPacket {
public:
    explicit GenCPReadAckPacket(std::span<const uint8_t> data);
    explicit GenCPReadAckPacket(const GenCPPacket &received) : GenCPPacket(received) {}
    std::span<const uint8_t> Payload() const { return {Data(), Length()}; }
};

// Write memory command: address, then the data. 24 bytes + data.
class GenCPWritePacket : public GenCPPacket {
public:
    GenCPWritePacket(uint64_t address, std::span<const uint8_t> data);
    uint64_t Address() const;
    std::span<const uint8_t> Payload() const;
};

// Write memory acknowledge: 2 reserved bytes, bytes written. 20 bytes.
class GenCPWriteAckPacket : public GenCPPacket {
public:
    explicit GenCPWriteAckPacket(uint16_t bytesWritten);
    explicit GenCPWriteAckPacket(const GenCPPacket &received) : GenCPPacket(received) {}
    uint16_t BytesWritten() const;
};

// Pending acknowledge: 2 reserved bytes, the temporary time-out in ms. 20 bytes.
class GenCPPendingAckPacket : public GenCPPacket {
public:
    explicit GenCPPendingAckPacket(uint16_t timeoutMs);
    explicit GenCPPendingAckPacket(const GenCPPacket &received) : GenCPPacket(received) {}
    uint16_t TimeoutMs() const;
};

}  // namespace vexo::genicam
