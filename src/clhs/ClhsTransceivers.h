#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "clhs/ClhsBoardAccess.h"
#include "clhs/ClhsMdio.h"

namespace vexo::genicam::clhs {

// The transceivers and the physical layer chips of the board: the reset of
// the transceivers (one register for both ports, so one caller at a time)
// and the start-up of the chips over MDIO.
class ClhsTransceivers {
public:
    using Log = std::function<void(uint32_t level, const std::string &text)>;
    // How long a transceiver may take to enter and to leave its reset.
    static constexpr std::chrono::milliseconds kResetBound{100};
    // The physical layer chip of port p answers at MDIO address p.
    // Its setup: registers written in this order, each read back.
    struct ChipRegister {
        uint32_t device;
        uint32_t reg;
        uint32_t value;
    };
    static constexpr ChipRegister kChipSetup[] = {
        {1, 0x0000, 0x2040},  // PMA/PMD control: 10 Gbit/s, out of low power
        {1, 0x0009, 0x0000},  // transmitter enabled on every lane
    };

    ClhsTransceivers(const ClhsBoardAccess &board, ClhsMdio &mdio, Log log)
        : board_(board), mdio_(mdio), log_(std::move(log)) {}

    // Holds the transceivers of the mask in reset until their done bits
    // clear, then releases them and waits for the done bits. `suffix` ends
    // the failure messages (" on channel <p>" for one port, empty for all).
    // False when a wait ran out (the failure is logged).
    bool Reset(uint32_t portMask, const std::string &suffix);
    // Restarts the physical layer chips and sets each one up; false when a
    // register would not take its value (logged).
    bool StartPhysicalLayer();

    bool Locked(uint32_t port) const;

private:
    bool AwaitDone(uint32_t portMask, bool done) const;
    bool SetUpChip(uint32_t port);

    const ClhsBoardAccess &board_;
    ClhsMdio &mdio_;
    Log log_;
    std::mutex resetLock_;
};

}  // namespace vexo::genicam::clhs
