#include "clhs/ClhsMessageChannel.h"

#include "cxp/PollPacer.h"
#include "nox_genicam.h"
#include "protocol/ClhsRegisters.h"

namespace vexo::genicam::clhs {

namespace wire = protocol::clhs;
using Clock = ClhsBoardAccess::Clock;
using Map = ClhsRegisterMap;

namespace {

constexpr std::chrono::milliseconds kResetPulse{2};
// A word of the next message is expected within microseconds: read at once
// for a while before yielding and sleeping.
cxp::PollPacer Pacer() { return cxp::PollPacer(std::chrono::microseconds(50), std::chrono::microseconds(500)); }

// Past the caller's timeout, or, without one, past the longest wait or closed.
bool Expired(const ClhsBoardAccess &board, Clock::time_point start, uint32_t timeoutMs) {
    return Clock::now() > ClhsBoardAccess::Deadline(start, timeoutMs) || (timeoutMs == 0 && board.Closing());
}

}  // namespace

int32_t ClhsMessageChannel::Send(uint32_t port, const std::vector<uint32_t> &words, uint32_t timeoutMs) {
    if (port >= kPorts) return ERR_INVALID_PORT;
    std::lock_guard<std::recursive_mutex> guard(locks_[port]);
    const Clock::time_point start = Clock::now();
    if (int32_t status = AwaitReady(port, start, timeoutMs); status != ERR_NONE) return status;
    for (uint32_t word : words)
        if (int32_t status = board_.Write(Map::kTxCmdData, port, word); status != 0) return status;
    if (int32_t status = board_.Write(Map::kTxCmdCommand, port, wire::kTxCommandSend); status != 0) return status;
    return AwaitSent(port, start, timeoutMs);
}

// The transmit buffer must be empty and the channel idle before a message
// goes in. A buffer that keeps words through a clear command is full for good
// until the channel is reset.
int32_t ClhsMessageChannel::AwaitReady(uint32_t port, Clock::time_point start, uint32_t timeoutMs) {
    cxp::PollPacer pacer = Pacer();
    uint64_t clears = 0;
    for (;;) {
        uint64_t status = 0;
        if (int32_t read = board_.Read(Map::kTxCmdStatus, port, status); read != 0) return read;
        const bool busy = status & wire::kTxStatusBusy;
        const bool notEmpty = status & wire::kTxStatusNotEmpty;
        if (!busy && !notEmpty) return ERR_NONE;
        if (busy && notEmpty) {
            ResetLocked(port);
        } else if (notEmpty) {
            if (++clears == kClearsBeforeFull) {
                ResetLocked(port);
                return ERR_CLHS_TX_BUFFER_FULL;
            }
            if (int32_t write = board_.Write(Map::kTxCmdCommand, port, wire::kTxCommandClear); write != 0) return write;
            continue;
        }
        if (Expired(board_, start, timeoutMs)) return ERR_CLHS_TX_BUSY_TIMEOUT;
        pacer.Pause();
    }
}

int32_t ClhsMessageChannel::AwaitSent(uint32_t port, Clock::time_point start, uint32_t timeoutMs) {
    cxp::PollPacer pacer = Pacer();
    for (;;) {
        uint64_t status = 0;
        if (int32_t read = board_.Read(Map::kTxCmdStatus, port, status); read != 0) return read;
        if (status & wire::kTxStatusSendFailed) return ERR_CLHS_SEND_FAILED;
        if (!(status & wire::kTxStatusBusy)) return ERR_NONE;
        if (Expired(board_, start, timeoutMs)) return ERR_CLHS_TX_BUSY_TIMEOUT;
        pacer.Pause();
    }
}

int32_t ClhsMessageChannel::Receive(uint32_t port, std::vector<uint32_t> &words, uint32_t timeoutMs) {
    words.clear();
    if (port >= kPorts) return ERR_INVALID_PORT;
    std::lock_guard<std::recursive_mutex> guard(locks_[port]);
    const Clock::time_point start = Clock::now();
    cxp::PollPacer pacer = Pacer();
    for (;;) {
        uint64_t status = 0;
        if (int32_t read = board_.Read(Map::kRxCmdStatus, port, status); read != 0) return read;
        if (status & wire::kRxStatusFailed) return ERR_CLHS_RECEIVE_FAILED;
        if (status & wire::kRxStatusMessage) return TakeMessage(port, status, words);
        if (Expired(board_, start, timeoutMs)) return ERR_CLHS_NO_COMMAND_WORD;
        pacer.Pause();
    }
}

// Reads the words of the message the status shows; the status read that
// finds none left retires it. A board that keeps reporting words beyond any
// message's size is not followed for ever: the rest is drained, bounded, and
// the message counts as failed.
int32_t ClhsMessageChannel::TakeMessage(uint32_t port, uint64_t status, std::vector<uint32_t> &words) {
    constexpr uint32_t kMaxReads = 4 * kMaxMessageWords;
    for (uint32_t reads = 0; status & wire::kRxStatusWordsLeft; ++reads) {
        if (reads == kMaxReads) {
            words.clear();
            return ERR_CLHS_RECEIVE_FAILED;
        }
        uint64_t word = 0;
        if (int32_t read = board_.Read(Map::kRxCmdData, port, word); read != 0) return read;
        if (word & wire::kRxDataValid) words.push_back(static_cast<uint32_t>(word));
        if (int32_t read = board_.Read(Map::kRxCmdStatus, port, status); read != 0) return read;
    }
    if (words.size() > kMaxMessageWords) {
        words.clear();
        return ERR_CLHS_RECEIVE_FAILED;
    }
    return ERR_NONE;
}

int32_t ClhsMessageChannel::Reset(uint32_t port) {
    if (port >= kPorts) return ERR_INVALID_PORT;
    std::lock_guard<std::recursive_mutex> guard(locks_[port]);
    return ResetLocked(port);
}

int32_t ClhsMessageChannel::ResetLocked(uint32_t port) {
    if (int32_t status = board_.Write(Map::kControlCoreReset, port, wire::kControlCoreResetValue); status != 0)
        return status;
    board_.Pause(kResetPulse);
    return board_.Write(Map::kControlCoreReset, port, 0);
}

}  // namespace vexo::genicam::clhs
