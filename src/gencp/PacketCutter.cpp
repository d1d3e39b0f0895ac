#include "gencp/PacketCutter.h"

#include <algorithm>
#include <array>

namespace vexo::genicam {

namespace gencp = protocol::gencp;

namespace {

// A copy of the ring's first `count` bytes (at most one packet).
uint32_t CopyFront(const ReceiveRing &ring, uint32_t count, std::array<uint8_t, gencp::kMaxPacketBytes> &out) {
    const uint32_t copied = std::min<uint32_t>(count, static_cast<uint32_t>(std::min<size_t>(ring.size(), out.size())));
    for (uint32_t i = 0; i < copied; ++i) out[i] = ring[i];
    return copied;
}

bool HeaderChecksumHolds(std::span<const uint8_t> header) {
    const uint16_t stored = static_cast<uint16_t>(header[gencp::offset::kCcdCrc] | header[gencp::offset::kCcdCrc + 1] << 8);
    return stored == GenCpChecksum(header.subspan(gencp::offset::kChecksummedFrom,
                                                  gencp::kHeaderBytes - gencp::offset::kChecksummedFrom));
}

}  // namespace

void CutPackets(ReceiveRing &ring, CutReport &report) {
    constexpr uint8_t kFirst = gencp::kPreamble >> 8, kSecond = gencp::kPreamble & 0xFF;
    std::array<uint8_t, gencp::kMaxPacketBytes> bytes;
    while (ring.size() >= gencp::kHeaderBytes) {
        if (ring[0] != kFirst || ring[1] != kSecond) {
            report.InvalidPrefix(ring[0], ring[1]);
            ring.pop_front();
            continue;
        }
        CopyFront(ring, gencp::kHeaderBytes, bytes);
        const std::span<const uint8_t> header(bytes.data(), gencp::kHeaderBytes);
        const uint32_t length = static_cast<uint32_t>(header[gencp::offset::kLength] << 8 | header[gencp::offset::kLength + 1]);
        const uint32_t size = length + gencp::kHeaderBytes;
        if (size > gencp::kMaxPacketBytes) {
            report.InvalidPacket(length);
            ring.pop_front();
            continue;
        }
        if (!HeaderChecksumHolds(header)) {
            report.ChecksumMismatch(size);
            ring.pop_front();
            continue;
        }
        if (ring.size() < size) {
            report.Incomplete(size, static_cast<uint32_t>(ring.size()));
            return;
        }
        CopyFront(ring, size, bytes);
        GenCPPacket::Pointer packet = GenCPPacket::FromReceived(std::span(bytes.data(), size));
        if (packet == nullptr || !packet->ChecksumsHold()) {
            report.ChecksumMismatch(size);
            ring.pop_front();
            continue;
        }
        ring.erase_begin(size);
        report.Packet(std::move(packet));
    }
}

}  // namespace vexo::genicam
