#pragma once
// Time a camera register transfer takes on a CoaXPress 1.1 link, to read a
// measured time as a multiple of what the wire itself needs.
#include <cstdint>

namespace nox_bench {

// The link: uplink (host to camera) and downlink bit rates, both 8b/10b coded.
struct CxpWireLink {
    double uplinkBitsPerSecond = 20.833e6;
    double downlinkBitsPerSecond = 3.125e9;
};

// Data bytes one command carries for a camera of that control packet size,
// as the library cuts transfers: the size less the markers (8 bytes), then
// four words of header and CRC.
uint32_t DataBytesPerPacket(uint32_t controlPacketSize);

// Microseconds on the wire for a read or a write of `bytes` (whole words),
// cut into commands of at most `dataBytesPerPacket` data bytes, one command
// answered before the next is sent.
double ReadWireMicroseconds(uint64_t bytes, uint32_t dataBytesPerPacket, const CxpWireLink &link = {});
double WriteWireMicroseconds(uint64_t bytes, uint32_t dataBytesPerPacket, const CxpWireLink &link = {});

}  // namespace nox_bench
