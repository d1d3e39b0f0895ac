// Bytes from a serial port, cut into GenCP packets. The first input byte
// picks how many bytes each arrival carries (1 to 64); the rest arrive in
// pieces of that size into a 512-byte ring, which is cut after each arrival
// as the connection's poll thread does. Every packet handed out must be whole,
// within 512 bytes and pass both checksums; the ring never overflows, and
// cutting always leaves room for more unless a packet is not all there yet.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "Finding.h"
#include "gencp/PacketCutter.h"

using namespace vexo::genicam;
using nox_fuzz::Require;

namespace {

struct Checks : CutReport {
    void Packet(GenCPPacket::Pointer packet) override {
        Require(packet != nullptr, "a null packet");
        Require(packet->Size() <= 512 && packet->Size() == packet->Length() + 16u, "a packet of the wrong size");
        Require(packet->Preamble() == 0x0100, "a packet without preamble");
        Require(packet->ChecksumsHold(), "a packet whose checksums fail");
    }
    void InvalidPrefix(uint8_t first, uint8_t second) override {
        Require(first != 0x01 || second != 0x00, "a preamble taken for noise");
    }
    void InvalidPacket(uint32_t length) override { Require(length + 16 > 512, "a possible length refused"); }
    void ChecksumMismatch(uint32_t) override {}
    void Incomplete(uint32_t packetSize, uint32_t bufferSize) override {
        Require(packetSize <= 512 && bufferSize < packetSize, "waiting for a packet that cannot come");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 64 + 1;
    ReceiveRing ring(512);
    Checks checks;
    for (size_t at = 1; at < size;) {
        const size_t count = std::min({piece, size - at, ring.reserve()});
        Require(count > 0, "a full ring that cutting cannot empty");
        ring.insert(ring.end(), data + at, data + at + count);
        at += count;
        CutPackets(ring, checks);
    }
    return 0;
}
