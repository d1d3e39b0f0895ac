#pragma once
// Words of the CoaXPress control channel as the board's transmit and receive
// registers carry them. Each side codes and decodes its own packets; these are
// only the fixed words and codes both must agree on.
#include <cstdint>

namespace vexo::protocol::cxp {

// 64-bit values written to "CxpTxCmdWriteData_<p>": the markers around a
// packet (bits 32 and 33 tell them from packet words, which have both clear).
inline constexpr uint64_t kPacketStartMarker = 0x1FBFBFBFBull;  // four K27.7 bytes
inline constexpr uint64_t kPacketEndMarker = 0x3FDFDFDFDull;    // four K29.7 bytes
// A value read from "CxpRxCmdAckPacketData_<p>" with this bit set: the queue is empty.
inline constexpr uint64_t kReceiveEmpty = 1ull << 33;
// The received word that ends an acknowledgment.
inline constexpr uint32_t kAckEndWord = 0xFDFDFDFDu;

// First word of a command: its packet type in all four bytes.
inline constexpr uint32_t kCommandTypeWord = 0x02020202u;
// A tagged command (revision 2.0 and later): this type word, then the tag
// word (the 8-bit tag in all four bytes), then the words of an untagged
// command; its CRC covers the tag word. The answer starts with the same tag word.
inline constexpr uint32_t kTaggedCommandTypeWord = 0x05050505u;

// The command byte of a command packet.
enum class CommandCode : uint8_t { kRead = 0x00, kWrite = 0x01 };

// Acknowledgment codes; on the wire each fills all four bytes of the code word.
enum class AckCode : uint8_t {
    kSuccess = 0x00,
    kSuccessCode01 = 0x01,  // two further codes that also report success
    kTentative = 0x02,      // a final answer follows; no wait time
    kSuccessCode03 = 0x03,
    kWait = 0x04,           // a final answer follows within the wait time it carries
    kInvalidAddress = 0x40,
    kInvalidData = 0x41,
    kInvalidOpcode = 0x42,
    kWriteToReadOnly = 0x43,
    kReadFromWriteOnly = 0x44,
    kSizeTooLarge = 0x45,
    kIncorrectSize = 0x46,
};

}  // namespace vexo::protocol::cxp
