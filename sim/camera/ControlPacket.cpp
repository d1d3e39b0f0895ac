#include "camera/ControlPacket.h"

#include "common/Crc32.h"
#include "common/WireBytes.h"

namespace vexo::sim {

ParsedFrame ParseCommandFrame(std::span<const uint32_t> frame) {
    ParsedFrame parsed{FrameVerdict::Malformed, {}};
    if (frame.size() < 4 || frame[0] != kCommandTypeWord) return parsed;
    const std::span<const uint32_t> covered = frame.subspan(1, frame.size() - 2);
    if (ControlChannelCrc(covered) != frame.back()) {
        parsed.verdict = FrameVerdict::BadCrc;
        return parsed;
    }
    const uint32_t header = frame[1];
    Command &command = parsed.command;
    command.opcode = uint8_t(header);
    command.size = (header >> 8 & 0xFF) << 16 | (header >> 16 & 0xFF) << 8 | header >> 24;
    command.address = WireWordOf(frame[2]);
    command.data = frame.subspan(3, frame.size() - 4);
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
