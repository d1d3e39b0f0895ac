// Packets against the wire image both sides agree on, and cutting them out of
// received bytes.
#include <gtest/gtest.h>

#include <vector>

#include "gencp/GenCPPacketKinds.h"
#include "gencp/PacketCutter.h"

using namespace vexo::genicam;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Serialized(GenCPPacket &packet) {
    const auto bytes = packet.Serialize();
    return Bytes(bytes.begin(), bytes.end());
}

// Collects what cutting finds.
struct Findings : CutReport {
    std::vector<GenCPPacket::Pointer> packets;
    int prefixes = 0, invalid = 0, checksums = 0, incomplete = 0;
    void Packet(GenCPPacket::Pointer packet) override { packets.push_back(packet); }
    void InvalidPrefix(uint8_t, uint8_t) override { ++prefixes; }
    void InvalidPacket(uint32_t) override { ++invalid; }
    void ChecksumMismatch(uint32_t) override { ++checksums; }
    void Incomplete(uint32_t, uint32_t) override { ++incomplete; }
};

void Append(ReceiveRing &ring, const Bytes &bytes) { ring.insert(ring.end(), bytes.begin(), bytes.end()); }

}  // namespace

TEST(GenCPPacket, ReadCommandImageAndSignExtendedOddByte) {
    GenCPReadPacket read(0x1000, 4);
    read.SetRequestId(1);
    read.SetFlags(0x4000);
    EXPECT_EQ(Serialized(read), (Bytes{0x01, 0x00, 0xB7, 0xF2, 0xA7, 0xEE, 0x00, 0x00, 0x40, 0x00, 0x08, 0x00, 0x00, 0x0C,
                                      0x00, 0x01, 0, 0, 0, 0, 0, 0, 0x10, 0x00, 0x00, 0x00, 0x00, 0x04}));
    EXPECT_TRUE(read.ChecksumsHold());

    // Words 0x0000 (channel) 0x0040 0x0208 0x0B00 0x0100 (header), the address
    // 0x1000 as 0x0010, data 0x3412, then 0x80 added as -128.
    GenCPWritePacket write(0x1000, Bytes{0x12, 0x34, 0x80});
    write.SetRequestId(1);
    write.SetFlags(0x4000);
    Serialized(write);
    const uint32_t sum = 0x0040 + 0x0208 + 0x0B00 + 0x0100 + 0x0010 + 0x3412 - 128;
    EXPECT_EQ(write.ScdCrc(), uint16_t(~sum));
    EXPECT_EQ(write.Size(), 27u);
    EXPECT_THROW(GenCPWritePacket(0, Bytes(489)), std::invalid_argument) << "over 512 bytes";
}

TEST(GenCPPacket, CuttingSkipsNoiseRefusesLengthsAndChecksumsAndWaitsForTheRest) {
    GenCPReadAckPacket answer(Bytes{0, 1, 0, 0});
    answer.SetRequestId(7);
    const Bytes good = Serialized(answer);
    Bytes tooLong = good;
    tooLong[12] = 0x02, tooLong[13] = 0x58;  // length 600
    EXPECT_EQ(GenCPPacket::FromReceived(tooLong), nullptr);
    EXPECT_EQ(GenCPPacket::FromBytes(good.data(), 15), nullptr);

    ReceiveRing ring(512);
    Findings findings;
    Append(ring, {0xAA, 0x55});
    Append(ring, tooLong);
    const Bytes truncated(good.begin(), good.end() - 3);
    Append(ring, truncated);  // joined to the next answer it fails its checksum
    Append(ring, Bytes(good.begin(), good.begin() + 18));
    CutPackets(ring, findings);
    EXPECT_TRUE(findings.packets.empty());
    EXPECT_EQ(findings.incomplete, 1);

    Append(ring, Bytes(good.begin() + 18, good.end()));
    CutPackets(ring, findings);
    ASSERT_EQ(findings.packets.size(), 1u);
    EXPECT_EQ(findings.packets[0]->RequestId(), 7);
    EXPECT_EQ(GenCPReadAckPacket(*findings.packets[0]).Payload()[1], 1);
    EXPECT_EQ(findings.invalid, 1);
    EXPECT_GE(findings.checksums, 1);
    EXPECT_TRUE(ring.empty());
}
