#include "board/MessageFraming.h"

#include <algorithm>

#include "common/WireBytes.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"

namespace vexo::sim {
namespace {

using protocol::gencp::CommandId;

// How many SCD words of a packet kind hold one number each; the rest is data.
uint32_t NumericScdWords(uint16_t id) {
    switch (CommandId(id)) {
        case CommandId::kReadMem: return 3;      // address high, address low, count
        case CommandId::kWriteMem: return 2;     // address high, address low
        case CommandId::kWriteMemAck: return 1;  // bytes written
        case CommandId::kPendingAck: return 1;   // time
        default: return 0;
    }
}

uint32_t WordsOf(uint32_t bytes) { return (bytes + 3) / 4; }

}  // namespace

std::optional<uint32_t> GenCpBytesOfMessage(std::span<const uint32_t> words, std::span<uint8_t, kMaxGenCpBytes> out) {
    if (words.size() < kMessageHeaderWords || words[0] != protocol::clhs::kMessageWord0 ||
        words[1] != protocol::clhs::kMessageWord1)
        return std::nullopt;
    const uint32_t length = words[3] >> 16;
    if (length > kMaxMessageScdBytes || words.size() != kMessageHeaderWords + WordsOf(length)) return std::nullopt;
    BigEndianBytes(words[2], &out[0]);
    BigEndianBytes(words[3], &out[4]);
    const std::span<const uint32_t> scd = words.subspan(kMessageHeaderWords);
    const uint32_t numeric = std::min<uint32_t>(NumericScdWords(uint16_t(words[2])), uint32_t(scd.size()));
    uint8_t *bytes = &out[kGenCpDescriptorBytes];
    for (uint32_t i = 0; i < scd.size(); ++i)
        if (i < numeric)
            BigEndianBytes(scd[i], bytes + 4 * i);
        else
            WireBytesOf(scd[i], bytes + 4 * i);
    return kGenCpDescriptorBytes + length;
}

uint32_t MessageOfGenCpBytes(std::span<const uint8_t> bytes, std::span<uint32_t> out) {
    out[0] = protocol::clhs::kMessageWord0;
    out[1] = protocol::clhs::kMessageWord1;
    out[2] = BigEndianValue(&bytes[0]);
    out[3] = BigEndianValue(&bytes[4]);
    const std::span<const uint8_t> scd = bytes.subspan(kGenCpDescriptorBytes);
    const uint32_t numeric = NumericScdWords(uint16_t(out[2]));
    const uint32_t count = std::min<uint32_t>(WordsOf(uint32_t(scd.size())), uint32_t(out.size()) - kMessageHeaderWords);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t word[4] = {};
        std::copy_n(scd.begin() + 4 * i, std::min<size_t>(4, scd.size() - 4 * i), word);
        out[kMessageHeaderWords + i] = i < numeric ? BigEndianValue(word) : PacketWord(word);
    }
    return kMessageHeaderWords + count;
}

}  // namespace vexo::sim
