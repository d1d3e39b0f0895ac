#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "board/RawAccess.h"
#include "protocol/CxpControlPacket.h"

namespace vexo::genicam::cxp {

// CoaXPress control packets as the board's transmit and receive registers
// carry them. Pure functions of their arguments: nothing here touches a board.
//
// A packet word holds four wire bytes, the first one in bits 0-7 (memory
// order of the little-endian word). Multi-byte fields are sent most
// significant byte first.

using protocol::cxp::kAckEndWord;
using protocol::cxp::kCommandTypeWord;
using protocol::cxp::kPacketEndMarker;
using protocol::cxp::kPacketStartMarker;
using protocol::cxp::kReceiveEmpty;
using protocol::cxp::kTaggedCommandTypeWord;

// Words around the data of a command packet: type, command and size, address, CRC.
inline constexpr uint32_t kCommandOverheadWords = 4;
// A tagged command (CoaXPress 2.0) carries one more: its tag word after the type word.
inline constexpr uint32_t kTagWords = 1;
// The board never sends packets larger than this, whatever the camera accepts.
inline constexpr uint32_t kMaxControlPacketBytes = 2048;
// Largest number of data words one packet can carry.
inline constexpr uint32_t kMaxDataWordsPerPacket = (kMaxControlPacketBytes - 8) / 4 - kCommandOverheadWords;
inline constexpr uint32_t kMaxCommandWords = kMaxDataWordsPerPacket + kCommandOverheadWords + kTagWords;

// Statuses of the acknowledgment decoding.
inline constexpr int32_t kStatusWaitAck = -1603;   // wait or tentative acknowledgment
inline constexpr int32_t kStatusAckCrc = -1601;    // CRC mismatch of a read acknowledgment
inline constexpr int32_t kStatusEmptyAck = -1014;  // nothing to decode
inline constexpr int32_t kStatusMalformedAck = -71;

using Command = protocol::cxp::CommandCode;

// Reflected CRC-32 (0xEDB88320), initial value 0xFFFFFFFF, no final complement,
// over the wire bytes of the words. `crc` continues a sum over earlier words.
inline constexpr uint32_t kCrcInitial = 0xFFFFFFFFu;
uint32_t ControlPacketCrc(std::span<const uint32_t> words, uint32_t crc = kCrcInitial);

// A tag word: the 8-bit tag in all four bytes.
constexpr uint32_t TagWord(uint8_t tag) { return tag * 0x01010101u; }

// Reverses the byte order of a word.
constexpr uint32_t SwapBytes(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

// Builds a command packet (the words between the start and end markers) into
// `out`: type word, with a tag the tag word, command with the data byte count,
// address, for writes the data words taken from `data` as stored
// (byte-reversed with ByteSwap::kSwapWords), CRC over every word after the
// type word. A read carries no data. Returns the number of words written; 0
// when `out` is too small, a write lacks data or asks for more than one packet holds.
size_t BuildCommandPacket(Command command, uint32_t address, uint32_t dataWords, std::span<const std::byte> data,
                          ByteSwap swap, std::span<uint32_t> out, std::optional<uint8_t> tag = std::nullopt);

// Data words one packet may carry. `recordedSize` is the control packet size
// known for the camera in bytes (0 counts as 128, kNoRecordedSize leaves only
// the board limit); `boardLimit` the board's maximum in bytes; a tagged
// packet gives a word to its tag. Never 0: a camera announcing an impossibly
// small size still gets one word per packet.
inline constexpr uint32_t kNoRecordedSize = 0xFFFFFFFFu;
uint32_t DataWordsPerPacket(uint32_t recordedSize, uint32_t boardLimit, uint32_t wordsRemaining, bool tagged = false);

// The decoded acknowledgment code (word 0) of an acknowledgment packet.
struct AckCode {
    int32_t status;       // 0, kStatusWaitAck, -64 .. -70, kStatusMalformedAck, kStatusEmptyAck
    uint32_t waitTimeMs;  // wait acknowledgments: the time the camera asks for
};
AckCode DecodeAckCode(std::span<const uint32_t> ack);
// What the camera answered, for a status DecodeAckCode gives or a CRC mismatch ("write to read-only
// (acknowledgment code 0x43)"); "" for any other status.
std::string AckStatusText(int32_t status);

// The result of taking read data out of an acknowledgment.
struct ReadAck {
    int32_t status;      // as DecodeAckCode, or kStatusEmptyAck, kStatusAckCrc
    uint32_t wordsCopied;
    bool unexpectedLength;  // the word count fits neither form; nothing was copied
};
// Decodes a read acknowledgment: code, byte count (n = count / 4 words), data,
// optional CRC. The word count must be n + 2 (no CRC) or n + 3 (CRC checked;
// `crc` is the sum over what came before the code word: a tagged answer's tag
// word). Copies at most out.size() / 4 words into `out` in memory order,
// byte-reversed with ByteSwap::kSwapWords.
ReadAck DecodeReadAck(std::span<const uint32_t> ack, ByteSwap swap, std::span<std::byte> out,
                      uint32_t crc = kCrcInitial);

}  // namespace vexo::genicam::cxp
