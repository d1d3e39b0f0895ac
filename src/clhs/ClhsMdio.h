#pragma once
#include <array>
#include <cstdint>
#include <mutex>

#include "clhs/ClhsBoardAccess.h"

namespace vexo::genicam::clhs {

// The MDIO buses to the physical layer chips. Physical addresses 1 and 15
// sit on bus 1 where the applet has two buses; every other address on bus 0.
class ClhsMdio {
public:
    static constexpr uint32_t kMaxAttempts = 10;
    static constexpr std::chrono::milliseconds kCommandTime{10};

    explicit ClhsMdio(const ClhsBoardAccess &board) : board_(board) {}

    // The word written to the command register: operation, physical address
    // and device in the high half, register and data in the low half.
    static uint64_t CommandWord(uint32_t operation, uint32_t physicalAddress, uint32_t device, uint32_t reg,
                                uint32_t data);
    static uint32_t BusOf(uint32_t physicalAddress, bool singleBus);

    // Runs one command (kMdioOperationRead or kMdioOperationWrite) and answers
    // the bus status read last: its low 16 bits hold a read's data. A command
    // that ends with an error bit is repeated, kMaxAttempts times in all; the
    // busy waits end after ClhsBoardAccess::kLongestWait or when the board
    // closes. A register that cannot be read answers with the busy bit set.
    uint64_t Access(uint32_t operation, uint32_t physicalAddress, uint32_t device, uint32_t reg, uint32_t data);

    static bool Failed(uint64_t status);

private:
    // The status once the busy bit clears, or with it set when the wait ends.
    uint64_t AwaitIdle(uint32_t bus) const;

    const ClhsBoardAccess &board_;
    std::array<std::mutex, kPorts> buses_;
};

}  // namespace vexo::genicam::clhs
