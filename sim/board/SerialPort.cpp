#include "board/SerialPort.h"

#include <cerrno>
#include <csignal>
#include <cstring>

namespace vexo::sim {
namespace {

bool ProcessRuns(int32_t process) { return process > 0 && (::kill(process, 0) == 0 || errno == EPERM); }

}  // namespace

bool SerialPort::HeldAgainst(int32_t process) const {
    return state_.claimed || (state_.open && state_.owner != process && ProcessRuns(state_.owner));
}

void SerialPort::Open(int32_t process, uint32_t baud, uint32_t receiveQueue, uint32_t transmitQueue) {
    state_.open = true;
    state_.owner = process;
    state_.hostBaud = baud;
    state_.receiveQueue = receiveQueue;
    state_.transmitQueue = transmitQueue;
    state_.received.head = state_.received.count = 0;
}

// A port whose queues are both released is closed.
void SerialPort::Release(uint32_t queue) {
    if (queue == state_.receiveQueue) state_.receiveQueue = 0;
    if (queue == state_.transmitQueue) state_.transmitQueue = 0;
    if (state_.receiveQueue == 0 && state_.transmitQueue == 0) {
        state_.open = false;
        state_.owner = 0;
    }
}

uint32_t SerialPort::TransmitBacklog(Clock::time_point now) const {
    const Clock::duration pace = CharacterTime();
    if (pace == Clock::duration::zero() || state_.transmitFreeAt <= now) return 0;
    // The byte on the line now has left the queue.
    return uint32_t((state_.transmitFreeAt - now) / pace);
}

uint32_t SerialPort::Transmit(uint32_t bytes, Clock::time_point now, Clock::time_point &first, Clock::duration &pace) {
    const uint32_t room = kSerialQueueBytes - std::min(kSerialQueueBytes, TransmitBacklog(now));
    const uint32_t taken = std::min(bytes, room);
    pace = CharacterTime();
    const Clock::time_point start = std::max(now, state_.transmitFreeAt);
    first = start + pace;
    state_.transmitFreeAt = start + pace * taken;
    return taken;
}

uint32_t SerialPort::Waiting(Clock::time_point now) const {
    const SerialReceiveQueue &queue = state_.received;
    uint32_t due = 0;
    while (due < queue.count && queue.due[(queue.head + due) % kSerialQueueBytes] <= now) ++due;
    return due;
}

uint32_t SerialPort::TakeWords(Clock::time_point now, uint8_t *words, uint32_t max) {
    SerialReceiveQueue &queue = state_.received;
    uint32_t taken = 0;
    while (taken < max && queue.count > 0 && queue.due[queue.head] <= now) {
        const uint32_t word = queue.chars[queue.head];
        std::memcpy(words + 4 * taken++, &word, 4);
        queue.head = (queue.head + 1) % kSerialQueueBytes;
        --queue.count;
    }
    return taken;
}

std::optional<SerialPort::Clock::time_point> SerialPort::NextDue() const {
    const SerialReceiveQueue &queue = state_.received;
    if (queue.count == 0) return std::nullopt;
    return queue.due[queue.head];
}

// Characters that reach a host listening at another rate, or find the
// receive queue full, are lost as framing errors.
SerialPort::Clock::time_point SerialPort::Send(std::span<const uint8_t> bytes, uint32_t baud, Clock::time_point at) {
    const Clock::duration pace = timing_.SerialCharacter(baud);
    const Clock::time_point start = std::max(at, state_.receiveFreeAt);
    state_.receiveFreeAt = start + pace * bytes.size();
    SerialReceiveQueue &queue = state_.received;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!state_.open || baud != state_.hostBaud || queue.count == kSerialQueueBytes) {
            ++traffic_.framingErrors;
            continue;
        }
        const uint32_t slot = (queue.head + queue.count++) % kSerialQueueBytes;
        queue.chars[slot] = bytes[i];
        queue.due[slot] = start + pace * (i + 1);
    }
    return state_.receiveFreeAt;
}

void SerialPort::Repair() {
    state_.received.head %= kSerialQueueBytes;
    state_.received.count = std::min(state_.received.count, kSerialQueueBytes);
}

void SerialPort::Describe(std::ostream &out, Clock::time_point now) const {
    if (!state_.open)
        out << "closed";
    else
        out << "open by process " << state_.owner << " at " << state_.hostBaud << " baud, queues "
            << state_.receiveQueue << " (receive, " << Waiting(now) << " waiting) and " << state_.transmitQueue
            << " (transmit, " << TransmitBacklog(now) << " waiting)";
    if (state_.claimed) out << ", held by another program";
}

}  // namespace vexo::sim
