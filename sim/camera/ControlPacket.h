#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/CxpControlPacket.h"

namespace vexo::sim {

using protocol::cxp::AckCode;
using protocol::cxp::kAckEndWord;
using protocol::cxp::kCommandTypeWord;
using protocol::cxp::kPacketEndMarker;
using protocol::cxp::kPacketStartMarker;
using protocol::cxp::kTaggedCommandTypeWord;

inline constexpr uint32_t kMaxControlPacketBytes = 4096;
// Longest frame a board accepts between the markers: the largest packet plus headroom.
inline constexpr uint32_t kMaxFrameWords = kMaxControlPacketBytes / 4 + 8;

// An acknowledgment code word: the code in all four bytes.
constexpr uint32_t ReplicatedCode(uint8_t code) { return uint32_t(code) * 0x01010101u; }
constexpr uint32_t CodeWord(AckCode code) { return ReplicatedCode(uint8_t(code)); }

// A tag word: the 8-bit tag in all four bytes.
constexpr uint32_t TagWord(uint8_t tag) { return ReplicatedCode(tag); }

// A command as it arrived between the packet markers.
struct Command {
    uint8_t opcode;                  // 0 read, 1 write
    uint32_t size;                   // bytes of data
    uint32_t address;
    std::span<const uint32_t> data;  // write data words
    std::optional<uint8_t> tag;      // tagged commands (CoaXPress 2.0) only
};

enum class FrameVerdict { Command, BadCrc, Malformed };

struct ParsedFrame {
    FrameVerdict verdict;
    Command command;
};

// Checks a frame's shape and CRC and decodes it, tagged or not. Only a frame
// judged Command carries a meaningful command.
ParsedFrame ParseCommandFrame(std::span<const uint32_t> frame);

// An acknowledgment packet as the camera sends it, end marker included.
class AckPacket {
public:
    static constexpr uint32_t kCapacity = kMaxControlPacketBytes / 4 + 8;

    // Starts the packet over; an answer to a tagged command begins with its tag word.
    void Begin(std::optional<uint32_t> tagWord) {
        size_ = 0;
        codeIndex_ = tagWord ? 1 : 0;
        if (tagWord) Push(*tagWord);
    }
    void Clear() { size_ = codeIndex_ = 0; }
    // Nothing, or only the tag word: no answer.
    bool Empty() const { return size_ <= codeIndex_; }
    void SetCode(uint32_t codeWord) {
        if (size_ > codeIndex_) words_[codeIndex_] = codeWord;
    }
    void Push(uint32_t word) {
        if (size_ < kCapacity) words_[size_++] = word;
    }
    // Appends the CRC over everything so far (complemented when asked to be
    // wrong; left out when withCrc is false) and the end marker.
    void Finish(bool withCrc, bool corruptCrc = false);
    std::span<const uint32_t> Words() const { return {words_.data(), size_}; }

private:
    std::array<uint32_t, kCapacity> words_{};
    uint32_t size_ = 0;
    uint32_t codeIndex_ = 0;
};

}  // namespace vexo::sim
