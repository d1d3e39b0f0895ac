#include "cxp/CxpPacket.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vexo::genicam::cxp {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

// Word 1 of a command: the command in wire byte 0, the byte count in wire bytes 1 to 3.
constexpr uint32_t CommandWord(Command command, uint32_t byteCount) {
    return static_cast<uint32_t>(command) | ((byteCount >> 16) & 0xFF) << 8 | ((byteCount >> 8) & 0xFF) << 16 |
           (byteCount & 0xFF) << 24;
}

constexpr uint32_t kDefaultRecordedSize = 128;
constexpr uint32_t kPacketFramingBytes = 8;

}  // namespace

uint32_t ControlPacketCrc(std::span<const uint32_t> words) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t word : words)
        for (int byte = 0; byte < 4; ++byte) crc = kCrcTable[(crc ^ (word >> (8 * byte))) & 0xFF] ^ (crc >> 8);
    return crc;
}

size_t BuildCommandPacket(Command command, uint32_t address, uint32_t dataWords, std::span<const std::byte> data,
                          bool swap, std::span<uint32_t> out) {
    const bool write = command == Command::kWrite;
    const uint32_t carried = write ? dataWords : 0;
    if (dataWords > kMaxDataWordsPerPacket || out.size() < size_t{carried} + kCommandOverheadWords) return 0;
    if (write && data.size() < size_t{dataWords} * 4) return 0;
    out[0] = kCommandTypeWord;
    out[1] = CommandWord(command, dataWords * 4);
    out[2] = SwapBytes(address);
    for (uint32_t i = 0; i < carried; ++i) {
        uint32_t word;
        std::memcpy(&word, data.data() + size_t{i} * 4, sizeof word);
        out[3 + i] = swap ? SwapBytes(word) : word;
    }
    const size_t crcIndex = 3 + size_t{carried};
    out[crcIndex] = ControlPacketCrc(out.subspan(1, crcIndex - 1));
    return crcIndex + 1;
}

uint32_t DataWordsPerPacket(uint32_t recordedSize, uint32_t boardLimit, uint32_t wordsRemaining) {
    uint32_t usable = std::min(boardLimit, kMaxControlPacketBytes);
    if (recordedSize != kNoRecordedSize) usable = std::min(usable, recordedSize == 0 ? kDefaultRecordedSize : recordedSize);
    const uint32_t framedWords = usable > kPacketFramingBytes ? (usable - kPacketFramingBytes) / 4 : 0;
    const uint32_t words = framedWords > kCommandOverheadWords ? framedWords - kCommandOverheadWords : 1;
    return std::min(words, wordsRemaining);
}

AckCode DecodeAckCode(std::span<const uint32_t> ack) {
    if (ack.empty()) return {kStatusEmptyAck, 0};
    switch (ack[0]) {
        case 0x00000000u:
        case 0x01010101u:
        case 0x03030303u: return {0, 0};
        case 0x04040404u: return {kStatusWaitAck, ack.size() >= 3 ? SwapBytes(ack[2]) : 0};
        case 0x02020202u: return {kStatusWaitAck, 0};
        case 0x40404040u: return {-64, 0};
        case 0x41414141u: return {-65, 0};
        case 0x42424242u: return {-66, 0};
        case 0x43434343u: return {-67, 0};
        case 0x44444444u: return {-68, 0};
        case 0x45454545u: return {-69, 0};
        case 0x46464646u: return {-70, 0};
        default: return {kStatusMalformedAck, 0};
    }
}

ReadAck DecodeReadAck(std::span<const uint32_t> ack, bool swap, std::span<std::byte> out) {
    const AckCode code = DecodeAckCode(ack);
    if (code.status != 0) return {code.status, 0, false};
    if (ack.size() < 3) return {kStatusEmptyAck, 0, false};
    // The byte count comes from the camera: compare in 64 bits so no value wraps.
    const uint64_t dataWords = SwapBytes(ack[1]) / 4;
    if (ack.size() == dataWords + 3) {
        const size_t crcIndex = ack.size() - 1;
        if (ControlPacketCrc(ack.first(crcIndex)) != ack[crcIndex]) return {kStatusAckCrc, 0, false};
    } else if (ack.size() != dataWords + 2) {
        return {0, 0, true};
    }
    const uint32_t copied = static_cast<uint32_t>(std::min<uint64_t>(dataWords, out.size() / 4));
    for (uint32_t i = 0; i < copied; ++i) {
        const uint32_t word = swap ? SwapBytes(ack[2 + i]) : ack[2 + i];
        std::memcpy(out.data() + size_t{i} * 4, &word, sizeof word);
    }
    return {0, copied, false};
}

}  // namespace vexo::genicam::cxp
