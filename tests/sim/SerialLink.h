#pragma once
// A Camera Link serial port driven through the hardware library's queue entry
// points, and GenCP packets built and read here, independently of the simulator.
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "SimHarness.h"

extern "C" {
uint32_t QueryCameraStatus(uint64_t device, uint32_t index);
int32_t OpenSerialPort(uint64_t device, uint32_t port, uint32_t baud, uint32_t *rxQueue, uint32_t *txQueue);
int32_t SetSerialBaudRate(uint64_t device, uint32_t port, uint32_t baud);
int32_t CountQueueWords(uint64_t device, uint32_t queue);
int32_t ReadQueueWords(uint64_t device, uint32_t queue, void *buffer, uint32_t bytes, uint32_t timeoutMs);
int32_t WriteQueueBytes(uint64_t device, uint32_t queue, const void *data, uint32_t bytes, uint32_t timeoutMs);
void ReleaseQueue(uint64_t device, uint32_t queue);
}

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Ms = std::chrono::milliseconds;

Bytes BigEndian(uint64_t value, int bytes);
// A GenCP serial packet with both checksums: each the complemented 16-bit
// one's-complement sum of little-endian words (an odd last byte sign-extended),
// stored low byte first.
Bytes GenCpPacket(uint16_t flagsOrStatus, uint16_t commandId, uint16_t requestId, const Bytes &scd);
Bytes ReadCommand(uint64_t address, uint16_t count, uint16_t requestId, uint16_t flags = 0x4000);
Bytes WriteCommand(uint64_t address, const Bytes &data, uint16_t requestId, uint16_t flags = 0x4000);

// A packet as it came in.
struct Reply {
    Bytes bytes;
    uint16_t Status() const { return uint16_t(bytes.at(8) << 8 | bytes.at(9)); }
    uint16_t Command() const { return uint16_t(bytes.at(10) << 8 | bytes.at(11)); }
    uint16_t Id() const { return uint16_t(bytes.at(14) << 8 | bytes.at(15)); }
    Bytes Scd() const { return Bytes(bytes.begin() + 16, bytes.end()); }
    bool ChecksumsHold() const;
};

// An open serial port of a board.
class SerialLink {
public:
    SerialLink(uint32_t port, uint32_t baud, uint32_t board = 0);
    uint64_t Device() const { return session_.Device(); }

    void Send(const Bytes &bytes) const;
    int32_t Waiting() const { return CountQueueWords(Device(), receive_); }
    // Up to `count` characters, waiting at most `bound` for them.
    Bytes Receive(size_t count, Ms bound) const;
    // The next packet, whole, within `bound`; nothing when none came.
    std::optional<Reply> NextReply(Ms bound = kAnswerBound) const;
    std::optional<Reply> Exchange(const Bytes &command) const {
        Send(command);
        return NextReply();
    }

private:
    Session session_;
    uint32_t receive_ = 0, transmit_ = 0;
};

}  // namespace simtest
