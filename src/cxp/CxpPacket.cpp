#include "cxp/CxpPacket.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace vexo::genicam::cxp {

namespace {

// Tables for sixteen bytes per step: table k maps a byte to its CRC after k
// further zero bytes, so four words fold in with sixteen independent lookups
// instead of a chain of sixteen. Acknowledgments of memory reads carry up to
// a thousand bytes each, and this sum is the largest cost of reading them.
using CrcTables = std::array<std::array<uint32_t, 256>, 16>;

constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        tables[0][i] = value;
    }
    for (size_t k = 1; k < tables.size(); ++k)
        for (uint32_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

// The CRC after the four bytes of `word` (memory order), with `ahead` bytes still to follow.
constexpr uint32_t FoldWord(uint32_t value, size_t ahead) {
    return kCrcTables[ahead + 3][value & 0xFF] ^ kCrcTables[ahead + 2][(value >> 8) & 0xFF] ^
           kCrcTables[ahead + 1][(value >> 16) & 0xFF] ^ kCrcTables[ahead][value >> 24];
}

// Word 1 of a command: the command in wire byte 0, the byte count in wire bytes 1 to 3.
constexpr uint32_t CommandWord(Command command, uint32_t byteCount) {
    return static_cast<uint32_t>(command) | ((byteCount >> 16) & 0xFF) << 8 | ((byteCount >> 8) & 0xFF) << 16 |
           (byteCount & 0xFF) << 24;
}

// The code word of an acknowledgment: its code in all four bytes.
constexpr uint32_t CodeWord(protocol::cxp::AckCode code) { return static_cast<uint32_t>(code) * 0x01010101u; }

constexpr uint32_t kDefaultRecordedSize = 128;
constexpr uint32_t kPacketFramingBytes = 8;

}  // namespace

uint32_t ControlPacketCrc(std::span<const uint32_t> words, uint32_t crc) {
    size_t i = 0;
    for (; i + 4 <= words.size(); i += 4)
        crc = FoldWord(crc ^ words[i], 12) ^ FoldWord(words[i + 1], 8) ^ FoldWord(words[i + 2], 4) ^
              FoldWord(words[i + 3], 0);
    for (; i < words.size(); ++i) crc = FoldWord(crc ^ words[i], 0);
    return crc;
}

size_t BuildCommandPacket(Command command, uint32_t address, uint32_t dataWords, std::span<const std::byte> data,
                          ByteSwap swap, std::span<uint32_t> out, std::optional<uint8_t> tag) {
    const bool write = command == Command::kWrite;
    const uint32_t carried = write ? dataWords : 0;
    const size_t header = tag ? 1 + kTagWords : 1;  // words before the command word
    const size_t crcIndex = header + 2 + carried;
    if (dataWords > kMaxDataWordsPerPacket || out.size() <= crcIndex) return 0;
    if (write && data.size() < size_t{dataWords} * 4) return 0;
    out[0] = tag ? kTaggedCommandTypeWord : kCommandTypeWord;
    if (tag) out[1] = TagWord(*tag);
    out[header] = CommandWord(command, dataWords * 4);
    out[header + 1] = SwapBytes(address);
    for (uint32_t i = 0; i < carried; ++i) {
        uint32_t word;
        std::memcpy(&word, data.data() + size_t{i} * 4, sizeof word);
        out[header + 2 + i] = swap == ByteSwap::kSwapWords ? SwapBytes(word) : word;
    }
    out[crcIndex] = ControlPacketCrc(out.subspan(1, crcIndex - 1));
    return crcIndex + 1;
}

uint32_t DataWordsPerPacket(uint32_t recordedSize, uint32_t boardLimit, uint32_t wordsRemaining, bool tagged) {
    uint32_t usable = std::min(boardLimit, kMaxControlPacketBytes);
    if (recordedSize != kNoRecordedSize) usable = std::min(usable, recordedSize == 0 ? kDefaultRecordedSize : recordedSize);
    const uint32_t framedWords = usable > kPacketFramingBytes ? (usable - kPacketFramingBytes) / 4 : 0;
    const uint32_t overhead = kCommandOverheadWords + (tagged ? kTagWords : 0);
    const uint32_t words = framedWords > overhead ? framedWords - overhead : 1;
    return std::min(words, wordsRemaining);
}

AckCode DecodeAckCode(std::span<const uint32_t> ack) {
    if (ack.empty()) return {kStatusEmptyAck, 0};
    using protocol::cxp::AckCode;
    switch (ack[0]) {
        case CodeWord(AckCode::kSuccess):
        case CodeWord(AckCode::kSuccessCode01):
        case CodeWord(AckCode::kSuccessCode03): return {0, 0};
        case CodeWord(AckCode::kWait): return {kStatusWaitAck, ack.size() >= 3 ? SwapBytes(ack[2]) : 0};
        case CodeWord(AckCode::kTentative): return {kStatusWaitAck, 0};
        case CodeWord(AckCode::kInvalidAddress): return {-64, 0};
        case CodeWord(AckCode::kInvalidData): return {-65, 0};
        case CodeWord(AckCode::kInvalidOpcode): return {-66, 0};
        case CodeWord(AckCode::kWriteToReadOnly): return {-67, 0};
        case CodeWord(AckCode::kReadFromWriteOnly): return {-68, 0};
        case CodeWord(AckCode::kSizeTooLarge): return {-69, 0};
        case CodeWord(AckCode::kIncorrectSize): return {-70, 0};
        default: return {kStatusMalformedAck, 0};
    }
}

std::string AckStatusText(int32_t status) {
    static const char *const refusals[] = {"invalid address",    "invalid data",         "invalid opcode",
                                           "write to read-only", "read from write-only", "size too large",
                                           "incorrect size"};
    if (status <= -64 && status >= -70) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02x", static_cast<unsigned>(-status));
        return std::string(refusals[-64 - status]) + " (acknowledgment code " + code + ")";
    }
    if (status == kStatusMalformedAck) return "an acknowledgment of no known code";
    if (status == kStatusAckCrc) return "an acknowledgment with a wrong CRC";
    return {};
}

ReadAck DecodeReadAck(std::span<const uint32_t> ack, ByteSwap swap, std::span<std::byte> out, uint32_t crc) {
    const AckCode code = DecodeAckCode(ack);
    if (code.status != 0) return {code.status, 0, false};
    if (ack.size() < 3) return {kStatusEmptyAck, 0, false};
    // The byte count comes from the camera: compare in 64 bits so no value wraps.
    const uint64_t dataWords = SwapBytes(ack[1]) / 4;
    if (ack.size() == dataWords + 3) {
        const size_t crcIndex = ack.size() - 1;
        if (ControlPacketCrc(ack.first(crcIndex), crc) != ack[crcIndex]) return {kStatusAckCrc, 0, false};
    } else if (ack.size() != dataWords + 2) {
        return {0, 0, true};
    }
    const uint32_t copied = static_cast<uint32_t>(std::min<uint64_t>(dataWords, out.size() / 4));
    for (uint32_t i = 0; i < copied; ++i) {
        const uint32_t word = swap == ByteSwap::kSwapWords ? SwapBytes(ack[2 + i]) : ack[2 + i];
        std::memcpy(out.data() + size_t{i} * 4, &word, sizeof word);
    }
    return {0, copied, false};
}

}  // namespace vexo::genicam::cxp
