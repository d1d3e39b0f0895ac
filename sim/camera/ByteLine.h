#pragma once
#include <chrono>
#include <cstdint>
#include <span>

namespace vexo::sim {

// The line a serial camera answers on, whatever carries it: bytes leave one
// after the other at the camera's rate, and nothing waits for them (their
// times are worked out when they are sent).
class ByteLine {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~ByteLine() = default;
    // Sends bytes at `baud`, the first no earlier than `at` and after whatever
    // is still on the line; returns when the last one arrives.
    virtual Clock::time_point Send(std::span<const uint8_t> bytes, uint32_t baud, Clock::time_point at) = 0;
    // How long that many bytes take on the line at `baud`.
    virtual Clock::duration LineTime(size_t bytes, uint32_t baud) const = 0;
    // The camera's turn-around between a command's last byte and its answer.
    virtual Clock::duration TurnAround() const = 0;
};

}  // namespace vexo::sim
