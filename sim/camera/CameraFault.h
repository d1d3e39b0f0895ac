#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::sim {

enum class FaultKind {
    None,
    NoAck,
    // CoaXPress
    WaitAck,
    TentativeAck,
    MalformedAck,
    BadCrcAck,
    AckCode,
    DelayAck,
    WrongTag,
    // Camera Link (GenCP over the serial line)
    PendingAck,
    BusyEcho,
    Status,
    Garbage,
    Split,
    WrongId,
    Truncate,
};

// Faults a serial GenCP camera shows; the others are CoaXPress camera faults. No answer suits both.
constexpr bool IsSerialFault(FaultKind kind) { return kind >= FaultKind::PendingAck; }

// How the camera answers the next `remaining` commands on one link.
struct CameraFault {
    FaultKind kind = FaultKind::None;
    uint32_t value = 0;  // milliseconds, the code word (ack_code), the status (status) or a byte count
    uint32_t remaining = 0;

    // The fault for the command arriving now, counting it off.
    FaultKind TakeOne() {
        if (remaining == 0) return FaultKind::None;
        --remaining;
        return kind;
    }
};

inline constexpr uint32_t kMaxFaultDelayMs = 60000;
inline constexpr uint32_t kMaxGarbageBytes = 4096;  // no more than the receive queue holds

// Reads "no_ack", "wait_ack:<ms>", "tentative_ack", "malformed_ack",
// "bad_crc_ack", "ack_code:<hex>", "delay_ack:<ms>", "wrong_tag" (a tagged
// answer carries the command's tag + 1). An ack_code of one byte
// is replicated into all four bytes of the code word; a longer one is the
// word itself. Camera Link: "pending_ack:<ms>", "busy_echo:<ms>",
// "status:<hex>" (up to 0xFFFF), "garbage:<n>" (1 to 4096 bytes), "split:<ms>",
// "wrong_id", "truncate:<n>" (1 to 512 bytes). Nothing for anything else.
std::optional<CameraFault> ParseCameraFault(std::string_view text, uint32_t count);

// A fault's number: decimal, or hexadecimal (base 16, "0x" allowed); nothing for any other text.
std::optional<uint32_t> ParseFaultNumber(std::string_view text, int base);

// The fault as ParseCameraFault reads it, with the commands left ("delay_ack:20 x3"), or "none".
std::string DescribeCameraFault(const CameraFault &fault);

}  // namespace vexo::sim
