#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>

#include "board/ClBoardState.h"
#include "board/LinkTiming.h"
#include "camera/ByteLine.h"
#include "camera/TrafficCounters.h"

namespace vexo::sim {

// A Camera Link serial port as the host sees it: who holds it, the host's
// line rate, the transmit line (bytes written leave one after the other, 4096
// of them may wait) and the receive queue (4096 characters, each readable
// once its time on the line is over). It is also the line the camera answers
// on. The object is this process's view of the port's state in shared memory.
class SerialPort final : public ByteLine {
public:
    SerialPort(SerialPortState &state, TrafficCounters &traffic, const LinkTiming &timing)
        : state_(state), traffic_(traffic), timing_(timing) {}

    SerialPortState &State() { return state_; }
    const SerialPortState &State() const { return state_; }
    // Opened by a process other than `process`, that still runs; or claimed.
    bool HeldAgainst(int32_t process) const;
    // Fresh queues for `process` at a host rate.
    void Open(int32_t process, uint32_t baud, uint32_t receiveQueue, uint32_t transmitQueue);
    void Release(uint32_t queue);

    // Bytes written and not yet on the line.
    uint32_t TransmitBacklog(Clock::time_point now) const;
    // Puts as many of the bytes on the line as the transmit queue has room
    // for; the first of them reaches the far end at `first`, each next one `pace` later.
    uint32_t Transmit(uint32_t bytes, Clock::time_point now, Clock::time_point &first, Clock::duration &pace);
    Clock::duration CharacterTime() const { return timing_.SerialCharacter(state_.hostBaud); }

    // Characters readable now.
    uint32_t Waiting(Clock::time_point now) const;
    // Pops up to `max` readable characters into words (the character in the low byte).
    uint32_t TakeWords(Clock::time_point now, uint8_t *words, uint32_t max);
    // When the next character not yet readable is due.
    std::optional<Clock::time_point> NextDue() const;
    void Repair();
    void Describe(std::ostream &out, Clock::time_point now) const;

    // The camera's side of the line.
    Clock::time_point Send(std::span<const uint8_t> bytes, uint32_t baud, Clock::time_point at) override;
    Clock::duration LineTime(size_t bytes, uint32_t baud) const override { return timing_.SerialCharacter(baud) * bytes; }
    Clock::duration TurnAround() const override { return timing_.SerialTurnAround(); }

private:
    SerialPortState &state_;
    TrafficCounters &traffic_;
    const LinkTiming &timing_;
};

}  // namespace vexo::sim
