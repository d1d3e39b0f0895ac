// Packet building and decoding at the edges the simulated cameras never reach:
// size bytes above 16 bits, packets too large to build, impossibly small
// packet sizes and answers whose length would wrap. Ordinary packets of every
// size, tagged and untagged, travel in CxpTransport and CxpBulkTransfers.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "cxp/CxpPacket.h"

using namespace vexo::genicam::cxp;
using vexo::genicam::ByteSwap;

namespace {

std::vector<uint32_t> Build(Command command, uint32_t address, const std::vector<uint32_t> &data, ByteSwap swap,
                            uint32_t readWords = 0, std::optional<uint8_t> tag = std::nullopt) {
    std::array<uint32_t, kMaxCommandWords> out{};
    const uint32_t words = command == Command::kRead ? readWords : static_cast<uint32_t>(data.size());
    const size_t length =
        BuildCommandPacket(command, address, words, std::as_bytes(std::span<const uint32_t>(data)), swap, out, tag);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length)};
}

// An acknowledgment as a camera sends it: code, then the words, then the CRC over all of them.
std::vector<uint32_t> WithCrc(std::vector<uint32_t> words) {
    words.push_back(ControlPacketCrc(words));
    return words;
}

}  // namespace

TEST(CxpPacket, CommandsMatchTheWireFormatAndRefuseWhatOnePacketCannotCarry) {
    // Tagged with 0x5A: the tag word follows the type word, and the CRC covers 5A 5A 5A 5A 00 00 00 04 00 00 40 14.
    EXPECT_EQ(Build(Command::kRead, 0x4014, {}, ByteSwap::kSwapWords, 1, 0x5A),
              (std::vector<uint32_t>{0x05050505, 0x5A5A5A5A, 0x04000000, 0x14400000, 0x9E1EEE8C}));
    // A register value goes out most significant byte first (C0 A7 9A E5), or as stored.
    EXPECT_EQ(Build(Command::kWrite, 0x6008, {0xC0A79AE5}, ByteSwap::kSwapWords)[3], 0xE59AA7C0u);
    EXPECT_EQ(Build(Command::kWrite, 0x6008, {0xC0A79AE5}, ByteSwap::kWireOrder)[3], 0xC0A79AE5u);
    // Byte counts above 16 bits travel in all three size bytes.
    EXPECT_EQ(Build(Command::kWrite, 0, std::vector<uint32_t>(kMaxDataWordsPerPacket), ByteSwap::kWireOrder)[1], 0xE8070001u);

    std::array<uint32_t, kMaxCommandWords> out{};
    std::vector<uint32_t> tooMany(kMaxDataWordsPerPacket + 1);
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, static_cast<uint32_t>(tooMany.size()),
                                 std::as_bytes(std::span<const uint32_t>(tooMany)), ByteSwap::kWireOrder, out),
              0u);
    std::array<uint32_t, 5> small{};
    const std::vector<uint32_t> two(2);
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, 2, std::as_bytes(std::span<const uint32_t>(two)), ByteSwap::kWireOrder, small),
              0u);
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, 2, {}, ByteSwap::kWireOrder, out), 0u) << "a write needs its data";
    EXPECT_EQ(BuildCommandPacket(Command::kRead, 0, 200, {}, ByteSwap::kWireOrder, small), 4u);
}

TEST(CxpPacket, PacketSizesTooSmallOrUnknownStillMakeProgress) {
    EXPECT_EQ(DataWordsPerPacket(0, 2048, 1000), 26u) << "a recorded 0 counts as 128";
    EXPECT_EQ(DataWordsPerPacket(kNoRecordedSize, 2048, 1000, true), 505u);
    EXPECT_EQ(DataWordsPerPacket(16, 2048, 10), 1u);
    EXPECT_EQ(DataWordsPerPacket(4, 2048, 10), 1u);
    EXPECT_EQ(DataWordsPerPacket(128, 2048, 0), 0u);
}

TEST(CxpPacket, AcknowledgmentCodesDecodeToStatuses) {
    for (const auto &[word, status] : std::vector<std::pair<uint32_t, int32_t>>{
             {0x00000000, 0}, {0x01010101, 0}, {0x40404040, -64}, {0x46464646, -70}, {0x47474747, -71},
             {0x00FF00FF, -71}, {0x04040400, -71}})
        EXPECT_EQ(DecodeAckCode(std::vector<uint32_t>{word}).status, status) << std::hex << word;
    EXPECT_EQ(DecodeAckCode({}).status, -1014);
    // Wait: word 2 holds the time, most significant byte first; a tentative answer asks for none.
    const std::vector<uint32_t> wait{0x04040404, 0x04000000, 0xE8030000};
    EXPECT_EQ(DecodeAckCode(wait).status, -1603);
    EXPECT_EQ(DecodeAckCode(wait).waitTimeMs, 1000u);
    EXPECT_EQ(DecodeAckCode(std::vector<uint32_t>{0x02020202, 0x04000000, 0xE8030000}).waitTimeMs, 0u);
}

TEST(CxpPacket, ReadAcknowledgmentsOfAnotherShapeDeliverNothing) {
    std::array<uint32_t, 4> out{7, 7, 7, 7};
    const auto target = std::as_writable_bytes(std::span<uint32_t>(out));
    // Word count neither n + 2 nor n + 3.
    ReadAck read = DecodeReadAck(std::vector<uint32_t>{0, 0x08000000, 1}, ByteSwap::kWireOrder, target);
    EXPECT_EQ(read.status, 0);
    EXPECT_TRUE(read.unexpectedLength);
    EXPECT_EQ(read.wordsCopied, 0u);
    // A byte count near 4 GiB cannot make the length arithmetic wrap.
    EXPECT_TRUE(DecodeReadAck(std::vector<uint32_t>{0, 0xFCFFFFFF, 1, 2}, ByteSwap::kWireOrder, target).unexpectedLength);
    EXPECT_EQ(DecodeReadAck(std::vector<uint32_t>{0, 0x04000000}, ByteSwap::kWireOrder, target).status, -1014);
    // Error codes come first.
    EXPECT_EQ(DecodeReadAck(WithCrc({0x40404040}), ByteSwap::kWireOrder, target).status, -64);
    EXPECT_EQ(out[0], 7u);
    // More data than the request takes: only what fits is copied.
    std::array<uint32_t, 1> one{};
    read = DecodeReadAck(WithCrc({0, 0x08000000, 1, 2}), ByteSwap::kWireOrder, std::as_writable_bytes(std::span<uint32_t>(one)));
    EXPECT_EQ(read.wordsCopied, 1u);
    EXPECT_EQ(one[0], 1u);
}
