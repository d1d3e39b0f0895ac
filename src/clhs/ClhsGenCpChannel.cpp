#include "clhs/ClhsGenCpChannel.h"

#include <algorithm>
#include <cstring>

#include "logging/Record.h"
#include "nox_genicam.h"
#include "protocol/ClhsRegisters.h"
#include "protocol/GenCp.h"

namespace vexo::genicam::clhs {

namespace gencp = protocol::gencp;
using gencp::CommandId;
using Clock = ClhsBoardAccess::Clock;

namespace {

constexpr uint32_t kHeaderWords = 4;
constexpr uint32_t kAddressWords = 2;

uint32_t Swapped(uint32_t word, ByteSwap swap) { return swap == ByteSwap::kSwapWords ? __builtin_bswap32(word) : word; }

// Memory bytes into a word, the first byte in bits 7-0.
uint32_t WordOf(const uint8_t *bytes, size_t count) {
    uint32_t word = 0;
    for (size_t i = 0; i < count; ++i) word |= uint32_t(bytes[i]) << (8 * i);
    return word;
}

void BytesOf(uint32_t word, uint8_t *bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(word >> (8 * i));
}

std::vector<uint32_t> Header(CommandId command, uint16_t flags, uint32_t scdBytes, uint16_t requestId,
                             uint64_t address) {
    return {protocol::clhs::kMessageWord0, protocol::clhs::kMessageWord1, uint32_t(flags) << 16 | uint16_t(command),
            scdBytes << 16 | requestId, uint32_t(address >> 32), uint32_t(address)};
}

uint32_t EffectiveTimeout(uint32_t timeoutMs) {
    if (timeoutMs == 0) return ClhsGenCpChannel::kDefaultTimeoutMs;
    return std::max(timeoutMs, ClhsGenCpChannel::kShortestTimeoutMs);
}

uint32_t MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}

}  // namespace

std::optional<ClhsAcknowledge> ClhsAcknowledge::Parse(std::span<const uint32_t> words) {
    if (words.size() < kHeaderWords) return std::nullopt;
    ClhsAcknowledge ack;
    ack.status = uint16_t(words[2] >> 16);
    ack.commandId = uint16_t(words[2]);
    ack.length = uint16_t(words[3] >> 16);
    ack.requestId = uint16_t(words[3]);
    ack.scd = words.subspan(kHeaderWords);
    return ack;
}

std::vector<uint32_t> ClhsGenCpChannel::ReadCommand(uint64_t address, uint16_t count, uint16_t flags,
                                                    uint16_t requestId) {
    std::vector<uint32_t> words = Header(CommandId::kReadMem, flags, gencp::kReadCommandScdBytes, requestId, address);
    words.push_back(count);
    return words;
}

std::vector<uint32_t> ClhsGenCpChannel::WriteCommand(uint64_t address, std::span<const uint8_t> data, ByteSwap swap,
                                                     uint16_t flags, uint16_t requestId) {
    std::vector<uint32_t> words =
        Header(CommandId::kWriteMem, flags, gencp::kWriteCommandAddressBytes + uint32_t(data.size()), requestId, address);
    for (size_t at = 0; at < data.size(); at += 4)
        words.push_back(Swapped(WordOf(data.data() + at, std::min<size_t>(4, data.size() - at)), swap));
    return words;
}

uint16_t ClhsGenCpChannel::NextRequestId(uint32_t port) { return ++requestIds_[port]; }

void ClhsGenCpChannel::Warn(const std::string &text) const {
    if (logger_ != nullptr && logger_->IsEnabled(tools::logging::kLevelWarning))
        tools::logging::WriteRecord(logger_, tools::logging::kLevelWarning, {}, text);
}

int32_t ClhsGenCpChannel::Read(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap,
                               uint32_t timeoutMs) {
    if (port >= kPorts) return ERR_INVALID_PORT;
    auto *target = static_cast<uint8_t *>(buffer);
    for (uint32_t done = 0; done < bytes;) {
        const uint32_t chunk = std::min(bytes - done, kMaxReadBytes);
        if (int32_t status = ReadChunk(port, address + done, target + done, chunk, swap, timeoutMs); status != ERR_NONE)
            return status;
        done += chunk;
    }
    return ERR_NONE;
}

int32_t ClhsGenCpChannel::Write(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                                AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    if (port >= kPorts) return ERR_INVALID_PORT;
    const auto *source = static_cast<const uint8_t *>(data);
    for (uint32_t done = 0; done < bytes;) {
        const uint32_t chunk = std::min(bytes - done, kMaxWriteBytes);
        if (int32_t status = WriteChunk(port, address + done, source + done, chunk, swap, acknowledgeMode, timeoutMs);
            status != ERR_NONE)
            return status;
        done += chunk;
    }
    return ERR_NONE;
}

int32_t ClhsGenCpChannel::ReadChunk(uint32_t port, uint64_t address, uint8_t *buffer, uint32_t bytes, ByteSwap swap,
                                    uint32_t timeoutMs) {
    std::vector<uint32_t> command = ReadCommand(address, uint16_t(bytes), 0, 0);
    const Expectation expected{uint16_t(CommandId::kReadMemAck), AcknowledgeMode::kRequired, timeoutMs};
    return Exchange(port, command, expected, [&](const ClhsAcknowledge &ack) {
        if (ack.length < bytes) return ERR_GENCP_TOO_FEW_DATA;
        if (ack.scd.size() * 4 < bytes) return ERR_GENCP_INVALID_PACKET;
        for (uint32_t at = 0; at < bytes; at += 4)
            BytesOf(Swapped(ack.scd[at / 4], swap), buffer + at, std::min<uint32_t>(4, bytes - at));
        return ERR_NONE;
    });
}

int32_t ClhsGenCpChannel::WriteChunk(uint32_t port, uint64_t address, const uint8_t *data, uint32_t bytes,
                                     ByteSwap swap, AcknowledgeMode acknowledgeMode, uint32_t timeoutMs) {
    std::vector<uint32_t> command = WriteCommand(address, {data, bytes}, swap, 0, 0);
    const Expectation expected{uint16_t(CommandId::kWriteMemAck), acknowledgeMode, timeoutMs};
    return Exchange(port, command, expected, [&](const ClhsAcknowledge &ack) {
        // Reserved 16 bits, then the bytes the camera wrote.
        if (!ack.scd.empty() && uint16_t(ack.scd[0]) < bytes) return ERR_GENCP_TOO_FEW_DATA;
        return ERR_NONE;
    });
}

template <class Take>
int32_t ClhsGenCpChannel::Exchange(uint32_t port, std::vector<uint32_t> &command, const Expectation &expected,
                                   Take &&take) {
    std::lock_guard<std::recursive_mutex> guard(channel_.Lock(port));
    const uint16_t requestId = NextRequestId(port);
    const uint32_t timeoutMs = EffectiveTimeout(expected.timeoutMs);
    std::vector<uint32_t> answer;
    for (uint32_t attempt = 0; attempt < kTries; ++attempt) {
        const uint16_t flags = gencp::kFlagAckRequested | (attempt > 0 ? gencp::kFlagResend : 0);
        command[2] = uint32_t(flags) << 16 | (command[2] & 0xFFFF);
        command[3] = (command[3] & 0xFFFF0000u) | requestId;
        if (int32_t status = channel_.Send(port, command, timeoutMs); status != ERR_NONE) return status;
        if (expected.mode == AcknowledgeMode::kNone) return ERR_NONE;
        const int32_t status = AwaitAnswer(port, requestId, {expected.acknowledgeId, expected.mode, timeoutMs}, answer);
        if (status == ERR_CLHS_NO_COMMAND_WORD) {
            if (expected.mode == AcknowledgeMode::kOptional) return ERR_NONE;
            continue;
        }
        if (status != ERR_NONE) return status;
        const std::optional<ClhsAcknowledge> ack = ClhsAcknowledge::Parse(answer);
        if (ack->status != 0) return ack->status;
        if (ack->commandId != expected.acknowledgeId) return ERR_GENCP_UNEXPECTED_ACK;
        return take(*ack);
    }
    return ERR_GENCP_TIMEOUT;
}

// Waits for the acknowledge of the request: answers of earlier requests
// (late ones of a sending that timed out) and camera events are dropped; a
// pending acknowledge extends the wait by the time it announces.
// ERR_CLHS_NO_COMMAND_WORD when the wait ends without one.
int32_t ClhsGenCpChannel::AwaitAnswer(uint32_t port, uint16_t requestId, const Expectation &expected,
                                      std::vector<uint32_t> &answer) {
    const Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::milliseconds(expected.timeoutMs);
    bool pending = false;
    for (;;) {
        const uint32_t left = MillisecondsUntil(deadline);
        if (left == 0) return ERR_CLHS_NO_COMMAND_WORD;
        if (int32_t status = channel_.Receive(port, answer, left); status != ERR_NONE) return status;
        const std::optional<ClhsAcknowledge> ack = ClhsAcknowledge::Parse(answer);
        if (!ack) return ERR_GENCP_INVALID_PACKET;
        if (ack->commandId == uint16_t(CommandId::kEvent)) continue;
        if (ack->requestId != requestId) {
            if (pending) return ERR_GENCP_WRONG_REQ_ID;
            Warn("Dropped an acknowledge of request " + std::to_string(ack->requestId) + " while waiting for " +
                 std::to_string(requestId));
            continue;
        }
        if (ack->commandId != uint16_t(CommandId::kPendingAck) || ack->status != 0) return ERR_NONE;
        if (ack->scd.empty()) return ERR_GENCP_INVALID_PACKET;
        // The camera promises its answer within the announced time; a camera
        // that keeps announcing more is not waited for beyond the longest wait.
        pending = true;
        deadline = std::min(Clock::now() + std::chrono::milliseconds(uint16_t(ack->scd[0]) + expected.timeoutMs),
                            start + ClhsBoardAccess::kLongestWait);
    }
}

}  // namespace vexo::genicam::clhs
