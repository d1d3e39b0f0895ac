#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "camera/GenCpPacket.h"

namespace vexo::sim {

// GenCP on the Camera Link HS message channel. A message is 32-bit words:
// two fixed words, flags or status with the command or acknowledge id, the
// SCD length with the request id, then the SCD. Numeric SCD fields (address,
// count, bytes written, pending time) are one value per word; data bytes sit
// in memory order, the first byte in bits 7-0, the last word zero-padded.
//
// The camera side sees GenCP bytes: the command descriptor and the SCD.
// Longest SCD a message may carry: a camera refuses over-long writes rather than lose them.
inline constexpr uint32_t kMaxMessageScdBytes = 1008;
inline constexpr uint32_t kMaxGenCpBytes = kGenCpDescriptorBytes + kMaxMessageScdBytes;
inline constexpr uint32_t kMessageHeaderWords = 4;

// The GenCP bytes a message carries; nothing when its fixed words, its
// length field and its word count disagree.
std::optional<uint32_t> GenCpBytesOfMessage(std::span<const uint32_t> words, std::span<uint8_t, kMaxGenCpBytes> out);

// The words of the message that carries GenCP bytes (descriptor and SCD);
// `out` has room for kMessageHeaderWords + kMaxMessageScdBytes / 4 words.
uint32_t MessageOfGenCpBytes(std::span<const uint8_t> bytes, std::span<uint32_t> out);

}  // namespace vexo::sim
