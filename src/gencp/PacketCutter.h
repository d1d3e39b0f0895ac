#pragma once
// Cutting GenCP packets out of the bytes a serial port delivered. Pure: the
// ring buffer in, packets and findings out through the report, so the same
// code serves the connection's poll thread and the fuzz target.
#include <boost/circular_buffer.hpp>
#include <cstdint>

#include "gencp/GenCPPacket.h"

namespace vexo::genicam {

using ReceiveRing = boost::circular_buffer<uint8_t>;

// What cutting finds, in the order it finds it.
class CutReport {
public:
    virtual ~CutReport() = default;
    // A whole packet whose checksums hold.
    virtual void Packet(GenCPPacket::Pointer packet) = 0;
    // The first two bytes are no preamble; the first byte was dropped.
    virtual void InvalidPrefix(uint8_t first, uint8_t second) = 0;
    // A header whose length no packet can have (497 or more); the first byte was dropped.
    virtual void InvalidPacket(uint32_t length) = 0;
    // A header or packet whose checksum fails; the first byte was dropped.
    virtual void ChecksumMismatch(uint32_t packetSize) = 0;
    // A valid header whose packet is not all there yet; cutting stops.
    virtual void Incomplete(uint32_t packetSize, uint32_t bufferSize) = 0;
};

// Takes whole packets off the front of the ring until fewer bytes than a
// packet remain. A byte that does not start a valid packet is dropped alone,
// so a packet that follows noise is still found. Both checksums are verified:
// a truncated answer joined to the next one fails them and never passes as
// data. The header's checksum and length are checked before waiting for the
// rest, so a false header cannot hold the ring until it overflows.
void CutPackets(ReceiveRing &ring, CutReport &report);

}  // namespace vexo::genicam
