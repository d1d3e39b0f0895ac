#include "WireTime.h"

namespace nox_bench {
namespace {

constexpr double kBitsPerByte = 10.0;  // 8b/10b
constexpr uint64_t kWordBytes = 4;

// Start marker, packet type, command and size, address, CRC, end marker.
constexpr uint64_t kCommandBytes = 6 * kWordBytes;
// Start marker, packet type, acknowledgment code, CRC, end marker; a read's
// answer adds its size word.
constexpr uint64_t kWriteAckBytes = 5 * kWordBytes;
constexpr uint64_t kReadAckBytes = kWriteAckBytes + kWordBytes;

struct Packets {
    uint64_t count;
    uint64_t dataBytes;
};

Packets CutIntoPackets(uint64_t bytes, uint32_t dataBytesPerPacket) {
    const uint64_t dataBytes = (bytes + kWordBytes - 1) / kWordBytes * kWordBytes;
    const uint64_t perPacket = dataBytesPerPacket < kWordBytes ? kWordBytes : dataBytesPerPacket / kWordBytes * kWordBytes;
    return {(dataBytes + perPacket - 1) / perPacket, dataBytes};
}

double Microseconds(uint64_t bytes, double bitsPerSecond) { return bytes * kBitsPerByte / bitsPerSecond * 1e6; }

}  // namespace

uint32_t DataBytesPerPacket(uint32_t controlPacketSize) {
    const uint32_t words = controlPacketSize / 4;
    return words > 6 ? (words - 6) * 4 : 4;
}

double ReadWireMicroseconds(uint64_t bytes, uint32_t dataBytesPerPacket, const CxpWireLink &link) {
    const Packets packets = CutIntoPackets(bytes, dataBytesPerPacket);
    return Microseconds(packets.count * kCommandBytes, link.uplinkBitsPerSecond) +
           Microseconds(packets.count * kReadAckBytes + packets.dataBytes, link.downlinkBitsPerSecond);
}

double WriteWireMicroseconds(uint64_t bytes, uint32_t dataBytesPerPacket, const CxpWireLink &link) {
    const Packets packets = CutIntoPackets(bytes, dataBytesPerPacket);
    return Microseconds(packets.count * kCommandBytes + packets.dataBytes, link.uplinkBitsPerSecond) +
           Microseconds(packets.count * kWriteAckBytes, link.downlinkBitsPerSecond);
}

}  // namespace nox_bench
