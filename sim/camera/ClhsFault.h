#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::sim {

enum class ClhsFaultKind {
    None,
    NoAck,           // the command is executed, its acknowledge lost
    PendingAck,      // a pending acknowledge at once, the real one within the time
    Status,          // answered with that status, not executed
    TxBusy,          // a send stays busy that long
    TxFull,          // the transmit buffer reads not empty through a clear command
    SendFail,        // a send fails
    RxFail,          // an answer arrives marked failed, its words lost
    RejectDeviceId,  // a write of the device id is refused
    MdioError,       // an MDIO command ends with error bit 18
};

// What goes wrong on one physical port of a Camera Link HS board, for the
// next `remaining` events of its kind: commands, sends, clear commands,
// answers, device id writes or MDIO commands.
struct ClhsFault {
    ClhsFaultKind kind = ClhsFaultKind::None;
    uint32_t value = 0;  // milliseconds, or the status
    uint32_t remaining = 0;

    // Whether the event happening now is faulted with `wanted`, counting it off.
    bool Take(ClhsFaultKind wanted) {
        if (kind != wanted || remaining == 0) return false;
        --remaining;
        return true;
    }
    bool Active(ClhsFaultKind wanted) const { return kind == wanted && remaining != 0; }
};

// Reads "no_ack", "pending_ack:<ms>", "status:<hex>", "tx_busy:<ms>",
// "tx_full", "send_fail", "rx_fail", "reject_device_id", "mdio_error:<n>"
// (n MDIO commands; `count` 0 clears it as it clears the others). Nothing for
// anything else.
std::optional<ClhsFault> ParseClhsFault(std::string_view text, uint32_t count);

// The fault as ParseClhsFault reads it, with the events left ("tx_busy:5 x2"), or "none".
std::string DescribeClhsFault(const ClhsFault &fault);

}  // namespace vexo::sim
