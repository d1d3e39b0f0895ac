#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

#include "clhs/ClhsRegisterMap.h"

namespace vexo::genicam::clhs {

// The board registers of one Camera Link HS board: reads and writes by
// register and port through the board library, and the bounded waits of the
// controller. A wait the caller asks to run without limit ends when the board
// closes, and after kLongestWait at the latest.
class ClhsBoardAccess {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kLongestWait{10000};

    ClhsBoardAccess(uint64_t device, const ClhsRegisterMap &map) : device_(device), map_(map) {}

    // A status of the board library; an absent register reads as a failure (-1).
    int32_t Read(ClhsRegisterMap::Register reg, uint32_t port, uint64_t &value) const;
    int32_t Write(ClhsRegisterMap::Register reg, uint32_t port, uint64_t value) const;
    // Bit `bit` of a register shared by the ports, or of the port's own one.
    bool Bit(ClhsRegisterMap::Register reg, uint32_t port, uint32_t bit) const;

    const ClhsRegisterMap &Map() const { return map_; }
    uint64_t Device() const { return device_; }

    // Ends every wait under way and every wait to come.
    void Close() { closing_.store(true, std::memory_order_release); }
    bool Closing() const { return closing_.load(std::memory_order_acquire); }

    // The end of a wait of `timeoutMs` from `start`; 0 means without limit.
    static Clock::time_point Deadline(Clock::time_point start, uint32_t timeoutMs);
    // Sleeps for the time unless the board closes first; false when it closed.
    bool Pause(std::chrono::milliseconds time) const;

private:
    uint64_t device_;
    ClhsRegisterMap map_;
    std::atomic<bool> closing_{false};
};

}  // namespace vexo::genicam::clhs
