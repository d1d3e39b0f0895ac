#pragma once
#include <chrono>
#include <cstdint>

namespace vexo::sim {

// One MDIO bus of a Camera Link HS board and the physical layer chips on it:
// a 16-bit register per (physical address, device, register), 0 after a
// reset. A command takes a millisecond, during which the status reads busy;
// its result (read data, error bits) shows once it is done. Plain fixed
// storage: it lives in the simulator's shared memory, so the register file
// holds a bounded number of non-zero registers.
class MdioBus {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kCapacity = 256;
    static constexpr auto kCommandTime = std::chrono::milliseconds(1);

    // A command word written to "MdioWrite[_b]". `fail`: the command ends
    // with error bit 18 and does nothing.
    void Command(uint64_t word, Clock::time_point now, bool fail);
    // "MdioReadReg[_b]": bit 17 busy, bits 18-21 errors, bits 0-15 the data
    // of the last read.
    uint64_t Status(Clock::time_point now) const;
    // Every chip back to its power-on registers.
    void Reset();

private:
    struct Entry {
        uint32_t key;  // physical address, device, register
        uint16_t value;
    };
    Entry *Find(uint32_t key);
    // False when the register file has no room for another register.
    bool Store(uint32_t key, uint16_t value);

    Entry entries_[kCapacity]{};
    uint32_t used_ = 0;
    uint64_t result_ = 0;      // status bits once the last command is done
    uint64_t previous_ = 0;    // status bits while it runs
    Clock::time_point doneAt_{};
};

}  // namespace vexo::sim
