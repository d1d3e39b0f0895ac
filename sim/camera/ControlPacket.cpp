#include "camera/ControlPacket.h"

#include "common/Crc32.h"
#include "common/WireBytes.h"

namespace vexo::sim {

ParsedFrame ParseCommandFrame(std::span<const uint32_t> frame) {
    ParsedFrame parsed{FrameVerdict::Malformed, {}};
    if (frame.empty() || (frame[0] != kCommandTypeWord && frame[0] != kTaggedCommandTypeWord)) return parsed;
    // A tagged command carries its tag word between the type word and the header.
    const size_t headerAt = frame[0] == kTaggedCommandTypeWord ? 2 : 1;
    if (frame.size() < headerAt + 3) return parsed;
    if (headerAt == 2 && frame[1] != TagWord(uint8_t(frame[1]))) return parsed;  // the tag's bytes disagree
    // The CRC covers every word after the type word, the tag word included.
    const std::span<const uint32_t> covered = frame.subspan(1, frame.size() - 2);
    if (ControlChannelCrc(covered) != frame.back()) {
        parsed.verdict = FrameVerdict::BadCrc;
        return parsed;
    }
    const uint32_t header = frame[headerAt];
    Command &command = parsed.command;
    command.opcode = uint8_t(header);
    command.size = (header >> 8 & 0xFF) << 16 | (header >> 16 & 0xFF) << 8 | header >> 24;
    command.address = WireWordOf(frame[headerAt + 1]);
    command.data = frame.subspan(headerAt + 2, frame.size() - headerAt - 3);
    if (headerAt == 2) command.tag = uint8_t(frame[1]);
    // A read carries no data words; anything else in it means the frame is broken.
    if (command.opcode == uint8_t(protocol::cxp::CommandCode::kRead) && !command.data.empty()) return parsed;
    parsed.verdict = FrameVerdict::Command;
    return parsed;
}

void AckPacket::Finish(bool withCrc, bool corruptCrc) {
    if (withCrc || corruptCrc) {
        const uint32_t crc = ControlChannelCrc(Words());
        Push(corruptCrc ? ~crc : crc);
    }
    Push(kAckEndWord);
}

}  // namespace vexo::sim
