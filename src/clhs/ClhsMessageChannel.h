#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "clhs/ClhsBoardAccess.h"

namespace vexo::genicam::clhs {

// The X-Core message channels of the board's applet ports: one message of
// 32-bit words out, one in, the channel reset. Each port's channel is used by
// one caller at a time (its own lock), so a reset by a link state thread
// never cuts into a message being sent or read. Timeouts are in ms; 0 waits
// until the board closes, ClhsBoardAccess::kLongestWait at most.
class ClhsMessageChannel {
public:
    // The longest message taken in: the transmit buffer's size. A longer one
    // is drained and reported as a failed receive.
    static constexpr uint32_t kMaxMessageWords = 256;
    static constexpr uint64_t kClearsBeforeFull = 2;

    explicit ClhsMessageChannel(const ClhsBoardAccess &board) : board_(board) {}

    // 0; ERR_INVALID_PORT for port 2 or more; a failed register access's
    // status; ERR_CLHS_TX_BUSY_TIMEOUT when the channel stays busy past the
    // timeout; ERR_CLHS_TX_BUFFER_FULL when the transmit buffer would not
    // empty (after a channel reset); ERR_CLHS_SEND_FAILED when the link did
    // not take the message.
    int32_t Send(uint32_t port, const std::vector<uint32_t> &words, uint32_t timeoutMs);
    // One whole message into `words` (cleared first): 0; ERR_INVALID_PORT;
    // ERR_CLHS_RECEIVE_FAILED for a failed or overlong message;
    // ERR_CLHS_NO_COMMAND_WORD when none came within the timeout.
    int32_t Receive(uint32_t port, std::vector<uint32_t> &words, uint32_t timeoutMs);
    // Clears buffer, queue and status of the port's channel: the X-Core reset
    // pulse, 2 ms long. ERR_INVALID_PORT or the board write's status.
    int32_t Reset(uint32_t port);

    // The port's lock, for a caller that exchanges a message and its answers as one.
    std::recursive_mutex &Lock(uint32_t port) { return locks_[port]; }

private:
    int32_t AwaitReady(uint32_t port, ClhsBoardAccess::Clock::time_point start, uint32_t timeoutMs);
    int32_t AwaitSent(uint32_t port, ClhsBoardAccess::Clock::time_point start, uint32_t timeoutMs);
    int32_t TakeMessage(uint32_t port, uint64_t status, std::vector<uint32_t> &words);
    int32_t ResetLocked(uint32_t port);

    const ClhsBoardAccess &board_;
    std::array<std::recursive_mutex, kPorts> locks_;
};

}  // namespace vexo::genicam::clhs
