#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <vector>

#include "board/RawAccess.h"
#include "clhs/ClhsMessageChannel.h"
#include "logging/Logger.h"

namespace vexo::genicam::clhs {

// An acknowledge as it came off the message channel: the header words taken
// apart and the SCD words after them.
struct ClhsAcknowledge {
    uint16_t status = 0;
    uint16_t commandId = 0;
    uint16_t length = 0;  // SCD bytes
    uint16_t requestId = 0;
    std::span<const uint32_t> scd;

    // Fewer than the four header words: nothing.
    static std::optional<ClhsAcknowledge> Parse(std::span<const uint32_t> words);
};

// GenCP commands on the message channel of a port: one command per message,
// header words most significant byte first, data bytes in memory order (the
// first byte in bits 7-0 of its word). A command waits for its acknowledge,
// follows pending acknowledges and is sent up to kTries times with the same
// request id (later sendings flagged as resends). Request ids count per port.
//
// Statuses: 0; a camera's GenCP error status, positive; ERR_GENCP_TIMEOUT
// after the last sending; ERR_GENCP_INVALID_PACKET for an acknowledge too
// short to read; ERR_GENCP_TOO_FEW_DATA when it carries less than asked;
// ERR_GENCP_UNEXPECTED_ACK for an acknowledge of the other kind;
// ERR_GENCP_WRONG_REQ_ID for another request's answer after a pending
// acknowledge; a message channel status.
class ClhsGenCpChannel {
public:
    static constexpr uint32_t kTries = 3;
    static constexpr uint32_t kMaxReadBytes = 496;
    static constexpr uint32_t kMaxWriteBytes = 488;
    // A timeout of 0 means this one; none is shorter than the floor.
    static constexpr uint32_t kDefaultTimeoutMs = 200;
    static constexpr uint32_t kShortestTimeoutMs = 20;

    ClhsGenCpChannel(ClhsMessageChannel &channel, tools::logging::Logger *logger) : channel_(channel), logger_(logger) {}

    int32_t Read(uint32_t port, uint64_t address, void *buffer, uint32_t bytes, ByteSwap swap, uint32_t timeoutMs);
    int32_t Write(uint32_t port, uint64_t address, const void *data, uint32_t bytes, ByteSwap swap,
                  AcknowledgeMode acknowledgeMode, uint32_t timeoutMs);

    // The words of one command, flags and request id included.
    static std::vector<uint32_t> ReadCommand(uint64_t address, uint16_t count, uint16_t flags, uint16_t requestId);
    static std::vector<uint32_t> WriteCommand(uint64_t address, std::span<const uint8_t> data, ByteSwap swap,
                                              uint16_t flags, uint16_t requestId);

private:
    struct Expectation {
        uint16_t acknowledgeId;
        AcknowledgeMode mode;
        uint32_t timeoutMs;
    };
    // Sends the command and waits for its answer; `take` reads the answer's SCD.
    template <class Take>
    int32_t Exchange(uint32_t port, std::vector<uint32_t> &command, const Expectation &expected, Take &&take);
    int32_t AwaitAnswer(uint32_t port, uint16_t requestId, const Expectation &expected, std::vector<uint32_t> &answer);
    int32_t ReadChunk(uint32_t port, uint64_t address, uint8_t *buffer, uint32_t bytes, ByteSwap swap,
                      uint32_t timeoutMs);
    int32_t WriteChunk(uint32_t port, uint64_t address, const uint8_t *data, uint32_t bytes, ByteSwap swap,
                       AcknowledgeMode acknowledgeMode, uint32_t timeoutMs);
    uint16_t NextRequestId(uint32_t port);
    void Warn(const std::string &text) const;

    ClhsMessageChannel &channel_;
    tools::logging::Logger *logger_;
    std::array<uint16_t, kPorts> requestIds_{};
};

}  // namespace vexo::genicam::clhs
