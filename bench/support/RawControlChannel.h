#pragma once
// The control channel of one applet port driven word by word through the
// board library's register entry points, without the library: the
// simulator's own cost of a camera transfer.
#include <cstdint>
#include <vector>

#include "grablib5.h"

namespace nox_bench {

// The words one command pushes into the transmit register, markers included.
using CommandWords = std::vector<uint64_t>;

class RawControlChannel {
public:
    // The channel of that applet port of the session's board.
    RawControlChannel(const GrabberSession *session, uint32_t appletPort);

    bool Ok() const { return tx_ != 0 && rx_ != 0 && sent_ != 0; }
    uint64_t Device() const { return device_; }
    // The applet register's address, 0 when the applet lacks it.
    uint32_t Address(const char *name) const;

    // Sends the command, sees it sent, collects its answer; true on a success code.
    bool Exchange(const CommandWords &command) const;
    bool ExchangeAll(const std::vector<CommandWords> &commands) const;

    // The commands of a read of `bytes` at `address` cut as the library cuts
    // it, and of a 4-byte write of a register value; tagged, as the library
    // sends them to the benchmark cameras (revision 2.0).
    static std::vector<CommandWords> ReadCommands(uint32_t address, uint32_t bytes);
    static CommandWords RegisterWrite(uint32_t address, uint32_t value);

private:
    uint32_t port_;
    uint64_t device_ = 0;
    uint64_t applet_ = 0;
    uint32_t tx_ = 0, rx_ = 0, sent_ = 0;
};

}  // namespace nox_bench
