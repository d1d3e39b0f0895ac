#include <gtest/gtest.h>

#include <array>
#include <cstring>
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

TEST(CxpPacket, CommandsMatchTheWireFormatTheBoardExpects) {
    // Four bytes at 0x4014: type, command 0 with size 4, address, CRC over 00 00 00 04 00 00 40 14.
    EXPECT_EQ(Build(Command::kRead, 0x4014, {}, ByteSwap::kSwapWords, 1),
              (std::vector<uint32_t>{0x02020202, 0x04000000, 0x14400000, 0x85FE1D2E}));
    // Tagged with 0x5A: the tag word follows the type word, and the CRC covers 5A 5A 5A 5A 00 00 00 04 00 00 40 14.
    EXPECT_EQ(Build(Command::kRead, 0x4014, {}, ByteSwap::kSwapWords, 1, 0x5A),
              (std::vector<uint32_t>{0x05050505, 0x5A5A5A5A, 0x04000000, 0x14400000, 0x9E1EEE8C}));
    const std::vector<uint32_t> tagged = Build(Command::kWrite, 0x6008, {0xC0A79AE5}, ByteSwap::kSwapWords, 0, 7);
    EXPECT_EQ(tagged, (std::vector<uint32_t>{0x05050505, 0x07070707, 0x04000001, 0x08600000, 0xE59AA7C0,
                                             ControlPacketCrc(std::vector<uint32_t>{0x07070707, 0x04000001, 0x08600000, 0xE59AA7C0})}));
    // A write carries its data words as stored or byte-reversed.
    const std::vector<uint32_t> swapped = Build(Command::kWrite, 0x6008, {0xC0A79AE5, 0x00000010}, ByteSwap::kSwapWords);
    ASSERT_EQ(swapped.size(), 6u);
    EXPECT_EQ(swapped[1], 0x08000001u);  // write, 8 bytes
    EXPECT_EQ(swapped[2], 0x08600000u);
    // A register value goes out most significant byte first: C0 A7 9A E5.
    EXPECT_EQ(swapped[3], 0xE59AA7C0u);
    EXPECT_EQ(swapped[4], 0x10000000u);
    EXPECT_EQ(swapped[5], ControlPacketCrc(std::span<const uint32_t>(swapped).subspan(1, 4)));
    const std::vector<uint32_t> plain = Build(Command::kWrite, 0x6008, {0xC0A79AE5, 0x00000010}, ByteSwap::kWireOrder);
    EXPECT_EQ(plain[3], 0xC0A79AE5u);
    EXPECT_EQ(plain[4], 0x00000010u);
    // Byte counts above 16 bits travel in all three size bytes.
    EXPECT_EQ(Build(Command::kWrite, 0, std::vector<uint32_t>(kMaxDataWordsPerPacket), ByteSwap::kWireOrder)[1], 0xE8070001u);
}

TEST(CxpPacket, CrcOfAnyWordCountMatchesTheBitwiseSum) {
    // One bit at a time, as the polynomial defines it, over the words' bytes in memory order.
    const auto bitwise = [](const std::vector<uint32_t> &words) {
        uint32_t crc = 0xFFFFFFFFu;
        for (uint32_t word : words)
            for (int byte = 0; byte < 4; ++byte) {
                crc ^= (word >> (8 * byte)) & 0xFF;
                for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
            }
        return crc;
    };
    std::vector<uint32_t> words;
    uint32_t seed = 0x12345678;
    // Odd and even counts, up to a full acknowledgment of a 1024-byte packet.
    for (size_t count = 0; count <= 253; ++count) {
        EXPECT_EQ(ControlPacketCrc(words), bitwise(words)) << count << " words";
        seed = seed * 1664525u + 1013904223u;
        words.push_back(seed);
    }
    EXPECT_EQ(ControlPacketCrc(std::vector<uint32_t>{}), 0xFFFFFFFFu);
}

TEST(CxpPacket, BuildRefusesWhatOnePacketCannotCarry) {
    std::array<uint32_t, kMaxCommandWords> out{};
    std::vector<uint32_t> tooMany(kMaxDataWordsPerPacket + 1);
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, static_cast<uint32_t>(tooMany.size()),
                                 std::as_bytes(std::span<const uint32_t>(tooMany)), ByteSwap::kWireOrder, out),
              0u);
    std::array<uint32_t, 5> small{};
    std::vector<uint32_t> two(2);
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, 2, std::as_bytes(std::span<const uint32_t>(two)), ByteSwap::kWireOrder, small),
              0u);
    // A write needs its data.
    EXPECT_EQ(BuildCommandPacket(Command::kWrite, 0, 2, {}, ByteSwap::kWireOrder, out), 0u);
    // A read of many words is still a four-word packet.
    EXPECT_EQ(BuildCommandPacket(Command::kRead, 0, 200, {}, ByteSwap::kWireOrder, small), 4u);
}

TEST(CxpPacket, WordsPerPacketFollowTheCameraAndTheBoard) {
    // Recorded 128 bytes: (128 - 8) / 4 - 4 = 26 words, so 64 words go as 26, 26, 12.
    EXPECT_EQ(DataWordsPerPacket(128, 2048, 64), 26u);
    EXPECT_EQ(DataWordsPerPacket(128, 2048, 12), 12u);
    // A recorded 0 counts as 128; no record leaves the board limit.
    EXPECT_EQ(DataWordsPerPacket(0, 2048, 1000), 26u);
    EXPECT_EQ(DataWordsPerPacket(kNoRecordedSize, 2048, 1000), 506u);
    EXPECT_EQ(DataWordsPerPacket(1024, 2048, 1000), 250u);
    EXPECT_EQ(DataWordsPerPacket(4096, 512, 1000), 122u);
    // Sizes too small to carry anything still make progress, one word at a time.
    EXPECT_EQ(DataWordsPerPacket(16, 2048, 10), 1u);
    EXPECT_EQ(DataWordsPerPacket(4, 2048, 10), 1u);
    EXPECT_EQ(DataWordsPerPacket(128, 2048, 0), 0u);
    // A tag word takes one more.
    EXPECT_EQ(DataWordsPerPacket(128, 2048, 64, true), 25u);
    EXPECT_EQ(DataWordsPerPacket(kNoRecordedSize, 2048, 1000, true), 505u);
}

TEST(CxpPacket, AcknowledgmentCodesDecodeToStatuses) {
    const std::vector<std::pair<uint32_t, int32_t>> codes = {
        {0x00000000, 0},   {0x01010101, 0},   {0x03030303, 0},   {0x02020202, -1603}, {0x40404040, -64},
        {0x41414141, -65}, {0x42424242, -66}, {0x43434343, -67}, {0x44444444, -68},   {0x45454545, -69},
        {0x46464646, -70}, {0x00FF00FF, -71}, {0x47474747, -71}, {0x04040400, -71}};
    for (const auto &[word, status] : codes) {
        const std::vector<uint32_t> ack{word};
        EXPECT_EQ(DecodeAckCode(ack).status, status) << std::hex << word;
    }
    EXPECT_EQ(DecodeAckCode({}).status, -1014);
    // Wait: word 2 holds the time, most significant byte first.
    const std::vector<uint32_t> wait{0x04040404, 0x04000000, 0xE8030000};
    EXPECT_EQ(DecodeAckCode(wait).status, -1603);
    EXPECT_EQ(DecodeAckCode(wait).waitTimeMs, 1000u);
    const std::vector<uint32_t> tentative{0x02020202, 0x04000000, 0xE8030000};
    EXPECT_EQ(DecodeAckCode(tentative).waitTimeMs, 0u);
}

TEST(CxpPacket, ReadAcknowledgmentsGiveTheirDataWithOrWithoutCrc) {
    std::array<uint32_t, 2> out{};
    const auto target = std::as_writable_bytes(std::span<uint32_t>(out));
    // Code, size 4, data, no CRC: accepted.
    ReadAck read = DecodeReadAck(std::vector<uint32_t>{0, 0x04000000, 0xE59AA7C0}, ByteSwap::kSwapWords, target);
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.wordsCopied, 1u);
    EXPECT_EQ(out[0], 0xC0A79AE5u);
    // With a CRC, checked.
    out = {};
    read = DecodeReadAck(WithCrc({0, 0x08000000, 0x11111111, 0x22222222}), ByteSwap::kWireOrder, target);
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.wordsCopied, 2u);
    EXPECT_EQ(out[1], 0x22222222u);
    std::vector<uint32_t> corrupt = WithCrc({0, 0x04000000, 0x11111111});
    corrupt.back() ^= 1;
    EXPECT_EQ(DecodeReadAck(corrupt, ByteSwap::kWireOrder, target).status, -1601);
    // More data than the request lacks: only what fits is copied.
    std::array<uint32_t, 1> one{};
    read = DecodeReadAck(WithCrc({0, 0x08000000, 1, 2}), ByteSwap::kWireOrder, std::as_writable_bytes(std::span<uint32_t>(one)));
    EXPECT_EQ(read.wordsCopied, 1u);
    EXPECT_EQ(one[0], 1u);
    // A tagged answer's CRC covers its tag word too: the sum starts over the tag.
    const std::vector<uint32_t> tagged = WithCrc({0x07070707, 0, 0x04000000, 0x11111111});
    const std::span<const uint32_t> fromCode = std::span(tagged).subspan(1);
    EXPECT_EQ(DecodeReadAck(fromCode, ByteSwap::kWireOrder, target, ControlPacketCrc(std::span(tagged).first(1))).status, 0);
    EXPECT_EQ(DecodeReadAck(fromCode, ByteSwap::kWireOrder, target).status, -1601);
}

TEST(CxpPacket, ReadAcknowledgmentsOfAnotherShapeDeliverNothing) {
    std::array<uint32_t, 4> out{7, 7, 7, 7};
    const auto target = std::as_writable_bytes(std::span<uint32_t>(out));
    // Word count neither n + 2 nor n + 3.
    ReadAck read = DecodeReadAck(std::vector<uint32_t>{0, 0x08000000, 1}, ByteSwap::kWireOrder, target);
    EXPECT_EQ(read.status, 0);
    EXPECT_TRUE(read.unexpectedLength);
    EXPECT_EQ(read.wordsCopied, 0u);
    EXPECT_EQ(out[0], 7u);
    // A byte count near 4 GiB cannot make the length arithmetic wrap.
    read = DecodeReadAck(std::vector<uint32_t>{0, 0xFCFFFFFF, 1, 2}, ByteSwap::kWireOrder, target);
    EXPECT_TRUE(read.unexpectedLength);
    EXPECT_EQ(DecodeReadAck(std::vector<uint32_t>{0, 0x04000000}, ByteSwap::kWireOrder, target).status, -1014);
    // Error codes come first.
    EXPECT_EQ(DecodeReadAck(WithCrc({0x40404040}), ByteSwap::kWireOrder, target).status, -64);
    EXPECT_EQ(DecodeReadAck(std::vector<uint32_t>{0x04040404, 0x04000000, 0x0A000000}, ByteSwap::kWireOrder, target).status,
              -1603);
    EXPECT_EQ(out[0], 7u);
}
